// zindle-render: plays modules through the player's own engine and mixer
// callback, offline, into WAV, FLAC or raw files, optionally with a per-tick
// trace of the engine's state, or tells what a module holds (--info). No
// audio device or display is used. The engine is one per process: a batch
// renders each module in a worker process of its own.
#include <getopt.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio_mixer.h"
#include "platform/platform.h"
#include "player/protracker_loader.h"
#include "player/protracker_sequencer.h"
#include "tools/module_info.h"
#include "tools/render_output.h"

namespace {

// One pass lasts at most this long; --loops N at most N times as long.
constexpr std::uint64_t kPassCapFrames = 30ull * 60 * kOutputRate;
constexpr int kMaxLoops = 1000;
constexpr int kMaxJobs = 256;
constexpr int kMaxStart = 1000000;
// Frames handed to the output at once: ten minutes take about 290 writes.
constexpr std::uint64_t kBlockFrames = 96 * kChunkFrames;

const char kUsage[] =
    "Usage: zindle-render [OPTION]... MODULE...\n"
    "Renders each MODULE at 48000 Hz, 16-bit stereo, with the player's own engine,\n"
    "to a file of its own, or tells what it holds (--info).\n"
    "\n"
    "  -s, --seconds S     render exactly S seconds (S may be fractional); default: one pass\n"
    "                      of the song, until it comes back to a row it has played (at most 30 min)\n"
    "      --loops N       render N passes of the song (default 1)\n"
    "      --start ORDER   start at order position ORDER (default 0)\n"
    "  -f, --format F      wav, flac or raw (bare interleaved s16le frames); default: the\n"
    "                      output's extension, else wav\n"
    "      --raw           the same as --format raw\n"
    "  -o, --output FILE   where to write, with one MODULE (\"-\" is standard output)\n"
    "      --output-dir DIR  where to write each module's file (default: the current folder);\n"
    "                      the file is the module's base name with the format's extension\n"
    "  -j, --jobs N        render N modules at once (default: the number of processors)\n"
    "      --trace         print one line per tick, with one MODULE: FRAME ORDER ROW TICK SPEED BPM\n"
    "                      and, per voice, OFF:POS:RATE:VOL (on standard error when the audio goes\n"
    "                      to standard output)\n"
    "  -i, --info          print each module's title, format, song, samples and one-pass length\n"
    "      --json          the same as --info, as one JSON object per line\n"
    "  -h, --help          show this text\n"
    "      --version       show the version\n";

struct Options {
    std::uint64_t frames = 0;  // with seconds_given
    bool seconds_given = false;
    int loops = 1;
    bool loops_given = false;
    int start = 0;
    OutputFormat format = OutputFormat::kWav;
    bool format_given = false;
    bool trace = false;
    bool info = false;
    bool json = false;
    std::string output;  // with one module
    std::string output_dir;
    int jobs = 1;
    std::vector<std::string> modules;
};

int usageError(const std::string& why) {
    std::fprintf(stderr, "zindle-render: %s\n%s", why.c_str(), kUsage);
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

bool parseInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno || end == text || *end || parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

// --- Options

enum LongOnly { kOptStart = 256, kOptLoops, kOptOutputDir, kOptRaw, kOptTrace, kOptJson, kOptVersion };

const option kLongOptions[] = {
    {"seconds", required_argument, nullptr, 's'},  {"loops", required_argument, nullptr, kOptLoops},
    {"start", required_argument, nullptr, kOptStart}, {"format", required_argument, nullptr, 'f'},
    {"raw", no_argument, nullptr, kOptRaw},          {"output", required_argument, nullptr, 'o'},
    {"output-dir", required_argument, nullptr, kOptOutputDir}, {"jobs", required_argument, nullptr, 'j'},
    {"trace", no_argument, nullptr, kOptTrace},      {"info", no_argument, nullptr, 'i'},
    {"json", no_argument, nullptr, kOptJson},        {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kOptVersion},  {nullptr, 0, nullptr, 0},
};

// Fills options from the command line. Returns -1 to go on, or the exit
// status: 0 after --help or --version, 2 after a usage error.
int parseOptions(int argc, char** argv, Options& options) {
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    options.jobs = static_cast<int>(std::clamp<long>(processors, 1, kMaxJobs));
    bool output_given = false;
    opterr = 0;
    int opt;
    while ((opt = getopt_long(argc, argv, ":s:f:o:j:ih", kLongOptions, nullptr)) != -1) {
        switch (opt) {
            case 's':
                if (!parseSeconds(optarg, options.frames)) return usageError("--seconds needs a number of seconds");
                options.seconds_given = true;
                break;
            case kOptLoops:
                if (!parseInt(optarg, 1, kMaxLoops, options.loops)) return usageError("--loops needs a number of passes (1 to 1000)");
                options.loops_given = true;
                break;
            case kOptStart:
                if (!parseInt(optarg, 0, kMaxStart, options.start)) return usageError("--start needs an order position (0 or more)");
                break;
            case 'f':
                if (!outputFormatNamed(optarg, options.format)) return usageError("--format needs wav, flac or raw");
                options.format_given = true;
                break;
            case kOptRaw:
                options.format = OutputFormat::kRaw;
                options.format_given = true;
                break;
            case 'o':
                if (!*optarg) return usageError("--output needs a file name");
                options.output = optarg;
                output_given = true;
                break;
            case kOptOutputDir:
                if (!*optarg) return usageError("--output-dir needs a folder");
                options.output_dir = optarg;
                break;
            case 'j':
                if (!parseInt(optarg, 1, kMaxJobs, options.jobs)) return usageError("--jobs needs a number of modules (1 to 256)");
                break;
            case kOptTrace:
                options.trace = true;
                break;
            case kOptJson:
                options.json = true;
                options.info = true;
                break;
            case 'i':
                options.info = true;
                break;
            case 'h':
                std::fputs(kUsage, stdout);
                return 0;
            case kOptVersion:
                std::printf("zindle-render %s\n", ZINDLE_VERSION);
                return 0;
            case ':':
                return usageError(std::string(argv[optind - 1]) + " needs a value");
            default:
                return usageError(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    options.modules.assign(argv + optind, argv + argc);
    if (options.modules.empty()) return usageError("no module given");
    if (options.seconds_given && options.loops_given) return usageError("--seconds and --loops exclude each other");
    if (options.info) return -1;
    if (output_given && options.modules.size() > 1) return usageError("--output takes one module; --output-dir takes many");
    if (output_given && !options.output_dir.empty()) return usageError("--output and --output-dir exclude each other");
    if (options.trace && options.modules.size() > 1) return usageError("--trace takes one module");
    if (output_given && !options.format_given) outputFormatOfPath(options.output, options.format);
    return -1;
}

// The file a module is written to, unless --output names one: its base
// name with the format's extension, in --output-dir or the current folder.
std::string defaultOutput(const Options& options, const std::string& module) {
    std::string base = module.substr(module.find_last_of('/') + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.erase(dot);
    if (base.empty()) base = "zindle";
    std::string folder = options.output_dir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + base + outputExtension(options.format);
}

// --- The trace and the end of the render, watched from the tick's redraw point.

struct Watch {
    bool trace = false;
    int passes = 0;                 // passes to render; 0: end_frame alone ends the render
    std::FILE* trace_out = nullptr;
    std::uint64_t tick_frame = 0;   // frame at which the next tick starts
    std::uint64_t end_frame = 0;    // frames to render; lowered when the last pass ends
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

// The first tick of the pass after the last is the first frame not rendered.
void onTick() {
    const std::uint64_t frame = watch.tick_frame;
    watch.tick_frame = frame + static_cast<std::uint64_t>(mod_samplespertick);
    if (frame >= watch.end_frame) return;
    if (watch.passes > 0 && mod_passes >= watch.passes) {
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

// Plays module from the program-start state and sets the watch for it:
// the frames of --seconds, or the passes of --loops (at most frames).
void startPlayback(Module* module, const Options& options, std::uint64_t frames, bool trace) {
    zindleReset();
    watch.trace = trace;
    watch.passes = options.seconds_given ? 0 : options.loops;
    watch.tick_frame = 0;
    watch.end_frame = frames;
    zindlePlay(module, options.start);
}

// The most frames a render with these options can take.
std::uint64_t framesBound(const Options& options) {
    return options.seconds_given ? options.frames : kPassCapFrames * static_cast<std::uint64_t>(options.loops);
}

// The frames a render of module will take, found by running its ticks
// without mixing. The ticks change the module (E5 sets a finetune, EF
// rewrites sample data): render from a fresh load afterwards.
std::uint64_t renderLength(Module* module, const Options& options) {
    startPlayback(module, options, framesBound(options), false);
    while (watch.tick_frame < watch.end_frame) {
        if (zindlePulse(INT_MAX) <= 0) break;
    }
    return watch.end_frame;
}

// What starts a message on standard error: on a terminal, during a batch,
// a return to the start of the progress line and its erasure.
const char* message_start = "";

// Says that path wasn't loaded; why (from zindleLoad) is wanted unless batch.
void loadFailed(const std::string& path, bool batch, const LoadRefusal& why = {}) {
    if (batch)
        std::fprintf(stderr, "%szindle-render: couldn't load the module %s\n", message_start, path.c_str());
    else
        zindleReportLoadFailure(stderr, path.c_str(), why);
}

// --- Rendering one module

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

// Mixes device-sized buffers, exactly as the audio device asks for them,
// into large blocks and hands each block to the output. False when the
// output fails.
bool renderFrames(RenderOutput& output, Progress& progress) {
    static std::int16_t block[kBlockFrames * 2];
    std::uint64_t written = 0;
    while (written < watch.end_frame) {
        std::uint64_t filled = 0;
        while (filled < kBlockFrames && written + filled < watch.end_frame) {
            const std::uint64_t want = std::min<std::uint64_t>(kChunkFrames, watch.end_frame - written - filled);
            mixaudio(nullptr, reinterpret_cast<std::uint8_t*>(block + 2 * filled), static_cast<int>(want * kBytesPerFrame));
            // The last pass may have ended inside this buffer.
            filled += std::min(want, watch.end_frame - written - filled);
        }
        if (!output.write(block, filled)) return false;
        written += filled;
        progress.update(written, watch.end_frame, watch.passes == 0);
    }
    return true;
}

// Renders one module to path. Returns the exit status: 0 done, 1 failed
// (after saying why on standard error).
int renderModule(const Options& options, const std::string& module_path, const std::string& path, bool batch,
                 bool show_progress) {
    LoadRefusal why;
    Module* module = zindleLoad(module_path.c_str(), &why);
    if (!module) {
        loadFailed(module_path, batch, why);
        return 1;
    }
    std::uint64_t frames = framesBound(options);
    bool exact = options.seconds_given;
    if (!exact && RenderOutput::needsExactLength(path, options.format, frames)) {
        frames = renderLength(module, options);
        exact = true;
        zindleFree(module);
        if (!(module = zindleLoad(module_path.c_str(), &why))) {
            loadFailed(module_path, batch, why);
            return 1;
        }
    }
    RenderOutput output;
    bool ok = output.open(path, options.format, frames, exact);
    if (ok) {
        watch.trace_out = path == "-" ? stderr : stdout;
        Progress progress(show_progress && !(options.trace && path == "-"));
        startPlayback(module, options, frames, options.trace);
        ok = renderFrames(output, progress) && output.finish();
    }
    if (!ok) std::fprintf(stderr, "%s%s\n", message_start, output.error().c_str());
    zindleFree(module);
    return ok ? 0 : 1;
}

// --- --info

int printInfo(const Options& options) {
    Options one_pass = options;
    one_pass.seconds_given = false;
    one_pass.loops = 1;
    one_pass.start = 0;
    int status = 0;
    for (const std::string& path : options.modules) {
        Module* module = zindleLoad(path.c_str());
        if (!module) {
            loadFailed(path, true);
            status = 1;
            continue;
        }
        // What the file said, before the ticks can change it.
        const Module as_loaded = *module;
        const std::uint64_t frames = renderLength(module, one_pass);
        if (options.json)
            printInfoJson(stdout, path, as_loaded, frames);
        else
            printInfoText(stdout, path, as_loaded, frames);
        zindleFree(module);
    }
    return status;
}

// --- A batch: one worker process per module, jobs at a time.

// The running workers, for the signal handler: an interrupted batch stops
// them, and each takes its partial file with it.
pid_t workers[kMaxJobs];

void stopWorkers(int signal) {
    for (pid_t pid : workers)
        if (pid > 0) kill(pid, signal);
    for (pid_t pid : workers)
        if (pid > 0) waitpid(pid, nullptr, 0);
    _exit(128 + signal);
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds the stop signals off while the worker table changes.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kStopSignals) sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { release(); }
    void release() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t old_;
};

// One line on a terminal (modules done, the latest started, time left),
// else one plain line per module finished.
class BatchProgress {
  public:
    BatchProgress(std::size_t total) : total_(total), terminal_(isatty(STDERR_FILENO)), start_(std::chrono::steady_clock::now()) {}
    void started(const std::string& module) {
        current_ = module;
        show();
    }
    bool terminal() const { return terminal_; }
    void finished(const std::string& module, const std::string& output, bool ok) {
        ++done_;
        if (terminal_) {
            show();
        } else if (ok) {
            std::fprintf(stderr, "zindle-render: [%zu/%zu] %s -> %s\n", done_, total_, module.c_str(), output.c_str());
        } else {
            std::fprintf(stderr, "zindle-render: [%zu/%zu] %s failed\n", done_, total_, module.c_str());
        }
    }
    ~BatchProgress() {
        if (terminal_) std::fputs("\r\033[K", stderr);
    }

  private:
    void show() const {
        if (!terminal_) return;
        std::fprintf(stderr, "\r\033[K%zu of %zu done, %s", done_, total_, current_.c_str());
        if (done_ > 0 && done_ < total_) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
            const auto left = static_cast<long>(elapsed / static_cast<double>(done_) * static_cast<double>(total_ - done_) + 0.5);
            std::fprintf(stderr, ", about %ld:%02ld left", left / 60, left % 60);
        }
        std::fflush(stderr);
    }

    std::size_t total_;
    std::size_t done_ = 0;
    bool terminal_;
    std::string current_;
    std::chrono::steady_clock::time_point start_;
};

int renderBatch(const Options& options) {
    const std::size_t total = options.modules.size();
    std::vector<std::string> outputs;
    for (const std::string& module : options.modules) outputs.push_back(defaultOutput(options, module));
    std::vector<std::size_t> order(total);
    for (std::size_t i = 0; i < total; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return outputs[a] < outputs[b]; });
    for (std::size_t i = 1; i < total; ++i) {
        if (outputs[order[i]] == outputs[order[i - 1]])
            return usageError(options.modules[order[i - 1]] + " and " + options.modules[order[i]] + " would both write " +
                              outputs[order[i]]);
    }

    for (int signal : kStopSignals) std::signal(signal, stopWorkers);
    BatchProgress progress(total);
    if (progress.terminal()) message_start = "\r\033[K";
    std::vector<std::size_t> slot_module(static_cast<std::size_t>(options.jobs));
    std::size_t next = 0, finished = 0;
    int running = 0, status = 0;
    while (finished < total) {
        while (running < options.jobs && next < total) {
            std::fflush(nullptr);
            SignalsHeld held;
            const pid_t parent = getpid();
            const pid_t pid = fork();
            if (pid == 0) {
                for (int signal : kStopSignals) std::signal(signal, SIG_DFL);
                std::fill(std::begin(workers), std::end(workers), 0);
                // A batch that dies without a word (SIGKILL) stops its workers too.
                prctl(PR_SET_PDEATHSIG, SIGTERM);
                if (getppid() != parent) std::_Exit(1);
                held.release();
                std::exit(renderModule(options, options.modules[next], outputs[next], true, false));
            }
            if (pid < 0) {
                std::fprintf(stderr, "%szindle-render: can't start a worker for %s: %s\n", message_start, options.modules[next].c_str(),
                             std::strerror(errno));
                progress.finished(options.modules[next], outputs[next], false);
                status = 1;
                ++finished;
            } else {
                const auto slot = static_cast<std::size_t>(std::find(workers, workers + options.jobs, 0) - workers);
                workers[slot] = pid;
                slot_module[slot] = next;
                ++running;
                progress.started(options.modules[next]);
            }
            ++next;
        }
        if (running == 0) continue;
        int wait_status = 0;
        const pid_t pid = waitpid(-1, &wait_status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        SignalsHeld held;
        const auto slot = static_cast<std::size_t>(std::find(workers, workers + options.jobs, pid) - workers);
        if (slot == static_cast<std::size_t>(options.jobs)) continue;
        workers[slot] = 0;
        --running;
        ++finished;
        const std::size_t m = slot_module[slot];
        const bool ok = WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0;
        if (WIFSIGNALED(wait_status))
            std::fprintf(stderr, "%szindle-render: %s: stopped by signal %d\n", message_start, options.modules[m].c_str(),
                         WTERMSIG(wait_status));
        if (!ok) status = 1;
        progress.finished(options.modules[m], outputs[m], ok);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const int status = parseOptions(argc, argv, options);
    if (status >= 0) return status;
    platformUse(kRenderPlatform);
    if (options.info) return printInfo(options);
    if (options.modules.size() > 1) return renderBatch(options);
    const std::string& module = options.modules.front();
    const std::string path = options.output.empty() ? defaultOutput(options, module) : options.output;
    return renderModule(options, module, path, false, isatty(STDERR_FILENO));
}
