// zindle-render: plays a module through the player's own engine and mixer
// callback, offline, into a WAV file (or raw frames), optionally with a
// per-tick trace of the engine's state. No audio device or display is used.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_mixer.h"
#include "player/protracker_loader.h"
#include "platform/platform.h"
#include "player/protracker_sequencer.h"

namespace {

constexpr std::uint64_t kOnePassCapFrames = 30ull * 60 * kOutputRate;
constexpr int kBytesPerFrame = 4;

const char kUsage[] =
    "Usage: zindle-render [--seconds S] [--start ORDER] [--raw] [--trace] [--output FILE] MODULE\n"
    "Renders MODULE at 48000 Hz, 16-bit stereo, with the player's own engine.\n"
    "\n"
    "  --seconds S     render exactly S seconds (S may be fractional); default: one pass\n"
    "                  of the song, until it comes back to a row it has played (at most 30 min)\n"
    "  --start ORDER   start at order position ORDER (default 0)\n"
    "  --raw           write bare interleaved s16le frames instead of a WAV file\n"
    "  --trace         print one line per tick: FRAME ORDER ROW TICK SPEED BPM and, per voice,\n"
    "                  OFF:POS:RATE:VOL (on standard error when the audio goes to standard output)\n"
    "  --output FILE   where to write (default: the module's base name with .wav,\n"
    "                  also with --raw, in the current folder; \"-\" is standard output)\n"
    "  --help          show this text\n"
    "  --version       show the version\n";

struct Options {
    std::uint64_t frames = 0;  // 0 with seconds_given false: one pass
    bool seconds_given = false;
    int start = 0;
    bool raw = false;
    bool trace = false;
    std::string output;
    std::string module;
};

int usageError(const char* why) {
    std::fprintf(stderr, "zindle-render: %s\n%s", why, kUsage);
    return 2;
}

// Seconds as decimal digits with an optional fraction, turned into frames
// exactly: floor(S * 48000) without rounding errors.
bool parseSeconds(const char* text, std::uint64_t& frames) {
    std::uint64_t whole = 0;
    const char* p = text;
    if (!*p || *p == '.') return false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        whole = whole * 10 + static_cast<std::uint64_t>(*p - '0');
        if (whole > 100000000) return false;
    }
    std::uint64_t fraction = 0, scale = 1;
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p) {
            if (scale < 1000000000) {
                fraction = fraction * 10 + static_cast<std::uint64_t>(*p - '0');
                scale *= 10;
            }
        }
    }
    if (*p) return false;
    frames = whole * kOutputRate + fraction * kOutputRate / scale;
    return true;
}

bool parseInt(const char* text, int& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno || end == text || *end || parsed < 0 || parsed > 1000000) return false;
    value = static_cast<int>(parsed);
    return true;
}

std::string defaultOutput(const std::string& module) {
    std::string base = module.substr(module.find_last_of('/') + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.erase(dot);
    if (base.empty()) base = "zindle";
    return base + ".wav";
}

// --- The trace and the end of the pass, watched from the tick's redraw point.

struct Watch {
    bool trace = false;
    bool one_pass = false;
    std::FILE* trace_out = nullptr;
    std::uint64_t tick_frame = 0;   // frame at which the next tick starts
    std::uint64_t end_frame = 0;    // frames to render; lowered when the pass ends
};
Watch watch;

void traceTick(std::uint64_t frame) {
    std::fprintf(watch.trace_out, "%llu %d %d %d %d %d", static_cast<unsigned long long>(frame), mod_order,
                 mod_row, mod_tick, mod_speed, mod_bpm);
    for (int i = 0; i < source->channels; ++i) {
        const Voice& voice = v[i];
        const long long off = voice.data ? static_cast<long long>(voice.data - source->sample_data) : -1;
        std::fprintf(watch.trace_out, " %lld:%u:%u:%u", off, voice.position >> kPositionFractionBits, voice.rate,
                     static_cast<unsigned>(voice.volume));
    }
    std::fputc('\n', watch.trace_out);
}

// The first tick of the second pass is the first frame not rendered.
void onTick() {
    const std::uint64_t frame = watch.tick_frame;
    watch.tick_frame = frame + static_cast<std::uint64_t>(mod_samplespertick);
    if (frame >= watch.end_frame) return;
    if (watch.one_pass && mod_passes > 0) {
        watch.end_frame = frame;
        return;
    }
    if (watch.trace) traceTick(frame);
}

const Platform kRenderPlatform = [] {
    Platform p = kHeadlessPlatform;
    p.draw_tick = onTick;
    return p;
}();

// --- Output

void putLe(std::uint8_t* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> wavHeader(std::uint64_t frames) {
    const std::uint32_t data = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames * kBytesPerFrame, 0xFFFFFFFFull - 36));
    std::vector<std::uint8_t> h(44);
    std::memcpy(&h[0], "RIFF", 4);
    putLe(&h[4], 36 + data, 4);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    putLe(&h[16], 16, 4);                              // fmt chunk size
    putLe(&h[20], 1, 2);                               // PCM
    putLe(&h[22], 2, 2);                               // channels
    putLe(&h[24], kOutputRate, 4);                     // frames per second
    putLe(&h[28], kOutputRate * kBytesPerFrame, 4);    // bytes per second
    putLe(&h[32], kBytesPerFrame, 2);                  // block align
    putLe(&h[34], 16, 2);                              // bits per sample
    std::memcpy(&h[36], "data", 4);
    putLe(&h[40], data, 4);
    return h;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

class Progress {
  public:
    explicit Progress(bool enabled) : enabled_(enabled), start_(std::chrono::steady_clock::now()) {}
    void update(std::uint64_t done, std::uint64_t total, bool bounded) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - start_ < std::chrono::seconds(2) || now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        shown_ = true;
        if (bounded)
            std::fprintf(stderr, "\rRendering: %6.1f s of %6.1f s (%3d%%)", done / double(kOutputRate),
                         total / double(kOutputRate), static_cast<int>(done * 100 / std::max<std::uint64_t>(total, 1)));
        else
            std::fprintf(stderr, "\rRendering: %6.1f s", done / double(kOutputRate));
        std::fflush(stderr);
    }
    ~Progress() {
        if (shown_) std::fputs("\r\033[K", stderr);
    }

  private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_{};
};

// Loads the module fresh and plays it from the program-start state.
Module* startPlayback(const Options& options) {
    Module* module = zindleLoad(options.module.c_str());
    if (!module) return nullptr;
    zindleReset();
    zindlePlay(module, options.start);
    return module;
}

// Renders until end_frame, handing each buffer to sink. Returns the frames rendered.
template <typename Sink>
std::uint64_t render(Sink&& sink, Progress& progress) {
    std::uint8_t buffer[kChunkFrames * kBytesPerFrame];
    std::uint64_t written = 0;
    while (written < watch.end_frame) {
        const std::uint64_t want = std::min<std::uint64_t>(kChunkFrames, watch.end_frame - written);
        mixaudio(nullptr, buffer, static_cast<int>(want * kBytesPerFrame));
        // The pass may have ended inside this buffer.
        const std::uint64_t keep = std::min(want, watch.end_frame - written);
        if (!sink(buffer, keep)) return written;
        written += keep;
        progress.update(written, watch.end_frame, !watch.one_pass);
    }
    return written;
}

void resetWatch(const Options& options, bool trace) {
    watch.trace = trace;
    watch.one_pass = !options.seconds_given;
    watch.tick_frame = 0;
    watch.end_frame = options.seconds_given ? options.frames : kOnePassCapFrames;
}

// An interrupted render takes its partial file with it.
char partial_path[4096];

void removePartial(int signal) {
    if (partial_path[0]) unlink(partial_path);
    _exit(128 + signal);
}

void removeOnSignal(const std::string& path) {
    if (path.size() >= sizeof partial_path) return;
    std::memcpy(partial_path, path.c_str(), path.size() + 1);
    std::signal(SIGINT, removePartial);
    std::signal(SIGTERM, removePartial);
    std::signal(SIGHUP, removePartial);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool output_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("zindle-render %s\n", ZINDLE_VERSION);
            return 0;
        } else if (arg == "--seconds") {
            const char* text = value();
            if (!text || !parseSeconds(text, options.frames)) return usageError("--seconds needs a number of seconds");
            options.seconds_given = true;
        } else if (arg == "--start") {
            const char* text = value();
            if (!text || !parseInt(text, options.start)) return usageError("--start needs an order position (0 or more)");
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--output") {
            const char* text = value();
            if (!text || !*text) return usageError("--output needs a file name");
            options.output = text;
            output_given = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError(("unknown option " + arg).c_str());
        } else if (options.module.empty()) {
            options.module = arg;
        } else {
            return usageError("more than one module given");
        }
    }
    if (options.module.empty()) return usageError("no module given");
    if (!output_given) options.output = defaultOutput(options.module);
    const bool to_stdout = options.output == "-";
    // Devices and pipes are written straight through; regular files go
    // through a temporary file beside them.
    struct stat target {};
    const bool direct = to_stdout || (stat(options.output.c_str(), &target) == 0 && !S_ISREG(target.st_mode));

    platformUse(kRenderPlatform);
    watch.trace_out = to_stdout ? stderr : stdout;
    Progress progress(isatty(STDERR_FILENO) && !(options.trace && to_stdout));

    Module* module = startPlayback(options);
    if (!module) {
        zindleReportLoadFailure(stderr, options.module.c_str());
        return 1;
    }

    // A WAV header that can't be patched afterwards needs the length first:
    // learn the length of one pass with a silent run, then render for real.
    if (direct && !options.raw && !options.seconds_given) {
        resetWatch(options, false);
        Progress quiet(false);
        options.frames = render([](const std::uint8_t*, std::uint64_t) { return true; }, quiet);
        options.seconds_given = true;
        zindleFree(module);
        module = startPlayback(options);
        if (!module) {
            zindleReportLoadFailure(stderr, options.module.c_str());
            return 1;
        }
    }
    resetWatch(options, options.trace);

    std::unique_ptr<std::FILE, FileCloser> file;
    std::string temp;
    std::FILE* out = stdout;
    auto cantWrite = [&](const std::string& what) {
        std::fprintf(stderr, "zindle-render: can't write %s: %s\n", what.c_str(), std::strerror(errno));
    };
    if (direct && !to_stdout) {
        out = std::fopen(options.output.c_str(), "wb");
        if (!out) {
            cantWrite(options.output);
            zindleFree(module);
            return 1;
        }
        file.reset(out);
    } else if (!direct) {
        // Renamed when complete, so that an interrupted render never leaves
        // a truncated file under the final name.
        temp = options.output + ".partXXXXXX";
        const int fd = mkstemp(temp.data());
        if (fd < 0 || !(out = fdopen(fd, "wb"))) {
            cantWrite(options.output);
            if (fd >= 0) {
                close(fd);
                std::remove(temp.c_str());
            }
            zindleFree(module);
            return 1;
        }
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        file.reset(out);
        removeOnSignal(temp);
    }
    bool ok = true;
    if (!options.raw) {
        const std::vector<std::uint8_t> header = wavHeader(options.seconds_given ? options.frames : 0);
        ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();
    }
    const std::uint64_t frames = render(
        [&](const std::uint8_t* data, std::uint64_t count) {
            ok = ok && std::fwrite(data, kBytesPerFrame, count, out) == count;
            return ok;
        },
        progress);
    if (ok && !options.raw && !direct) {
        const std::vector<std::uint8_t> header = wavHeader(frames);
        ok = std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), out) == header.size();
    }
    ok = std::fflush(out) == 0 && ok;
    if (file) ok = std::fclose(file.release()) == 0 && ok;
    if (ok && !direct && std::rename(temp.c_str(), options.output.c_str()) != 0) ok = false;
    partial_path[0] = 0;
    if (!ok) {
        cantWrite(to_stdout ? "standard output" : options.output);
        if (!direct) std::remove(temp.c_str());
    }
    zindleFree(module);
    return ok ? 0 : 1;
}
