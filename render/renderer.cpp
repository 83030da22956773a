// One module rendered to a file, or measured for --info.
#include "render/renderer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

#include "audio/audio_mixer.h"
#include "audio/paula.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "render/module_info.h"
#include "render/render_output.h"
#include "render/stop_signals.h"

const char* render_message_start = "";

namespace {

// One pass lasts at most this long; --loops N at most N times as long.
constexpr std::uint64_t kPassCapFrames = 30ull * 60 * kOutputRate;
// Frames handed to the output at once: ten minutes take about 290 writes.
constexpr std::uint64_t kBlockFrames = 96 * kChunkFrames;

// --- The trace and the end of the render, watched from the tick's redraw point.

struct Watch {
    bool trace = false;
    int passes = 0;                 // passes to render; 0: end_frame alone ends the render
    std::FILE* trace_out = nullptr;
    std::uint64_t tick_frame = 0;   // frame at which the next tick starts
    std::uint64_t end_frame = 0;    // frames to render; lowered when the last pass ends
    // When set, each order position's first frame in the render, -1 until
    // it plays; sized to the module's positions beforehand.
    std::vector<std::int64_t>* first_frames = nullptr;
};
Watch watch;

void traceTick(std::uint64_t frame) {
    std::fprintf(watch.trace_out, "%llu", static_cast<unsigned long long>(frame));
    songTrace(watch.trace_out);
}

// The first tick of the pass after the last is the first frame not rendered.
void onTick() {
    const std::uint64_t frame = watch.tick_frame;
    watch.tick_frame = frame + static_cast<std::uint64_t>(songTickFrames());
    if (frame >= watch.end_frame) return;
    // A song that stops for good (libxmp has no more to play) ends its last pass early.
    if (watch.passes > 0 && (songPasses() >= watch.passes || !songPlaying())) {
        watch.end_frame = frame;
        return;
    }
    if (watch.trace) traceTick(frame);
    if (watch.first_frames) {
        const auto order = static_cast<std::size_t>(songOrder());
        if (order < watch.first_frames->size() && (*watch.first_frames)[order] < 0)
            (*watch.first_frames)[order] = static_cast<std::int64_t>(frame);
    }
}

const Platform kRenderPlatform = [] {
    Platform p = kHeadlessPlatform;
    p.draw_tick = onTick;
    return p;
}();

// The stereo separation every render plays at (--separation).
int render_separation = kFullSeparation;
// The Amiga's own sound, or our mixer (--amiga).
AmigaModel render_amiga = AmigaModel::kOff;

// Plays song from the program-start state at order position start and
// sets the watch for it: frames frames, or passes passes (0: frames alone)
// when they end first; first_frames, when given, to note each position's
// first frame in.
void startPlayback(LoadedSong* song, int start, int passes, std::uint64_t frames, bool trace,
                   std::vector<std::int64_t>* first_frames = nullptr) {
    zindleReset();
    audioSetSeparation(render_separation);
    paulaSetModel(render_amiga);
    watch.trace = trace;
    watch.passes = passes;
    watch.tick_frame = 0;
    watch.end_frame = frames;
    watch.first_frames = first_frames;
    songPlay(song, start);
}

// The passes of a render with these options: 0 with --seconds.
int passesToRender(const RenderOptions& options) { return options.seconds_given ? 0 : options.loops; }

// The most frames a render with these options can take.
std::uint64_t framesBound(const RenderOptions& options) {
    return options.seconds_given ? options.frames : kPassCapFrames * static_cast<std::uint64_t>(options.loops);
}

// The frames a render of song will take, found by running its ticks
// without writing frames, noting each position's first frame in
// first_frames when given. The ticks may change the song: render from a
// fresh load afterwards.
std::uint64_t renderLength(LoadedSong* song, int start, int passes, std::uint64_t bound,
                           std::vector<std::int64_t>* first_frames = nullptr) {
    startPlayback(song, start, passes, bound, false, first_frames);
    while (watch.tick_frame < watch.end_frame) {
        // A song that stopped for good runs no more ticks: it ends here.
        if (!songPlaying()) watch.end_frame = watch.tick_frame;
        if (songSkip(INT_MAX) <= 0) break;
    }
    watch.first_frames = nullptr;
    return watch.end_frame;
}

class Progress {
  public:
    explicit Progress(bool enabled) : enabled_(enabled), start_(std::chrono::steady_clock::now()) {}
    void update(std::uint64_t done, std::uint64_t total, bool bounded) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - start_ < std::chrono::seconds(2) || now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        if (!shown_) stopEraseLineOnSignal(true);
        shown_ = true;
        if (bounded)
            std::fprintf(stderr, "\rRendering: %6.1f s of %6.1f s (%3d%%)", done / double(kOutputRate),
                         total / double(kOutputRate), static_cast<int>(done * 100 / std::max<std::uint64_t>(total, 1)));
        else
            std::fprintf(stderr, "\rRendering: %6.1f s", done / double(kOutputRate));
        std::fflush(stderr);
    }
    ~Progress() {
        if (!shown_) return;
        std::fputs("\r\033[K", stderr);
        stopEraseLineOnSignal(false);
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

// Makes the folders path is in, as mkdir -p does. False after setting error.
bool makeFoldersOf(const std::string& path, std::string& error) {
    const std::size_t slash = path.rfind('/');
    std::string folder;
    if (slash == std::string::npos || slash == 0 || makeFolders(path.substr(0, slash), kUmaskFolders, &folder))
        return true;
    error = "zindle-render: can't write " + path + ": can't make the folder " + folder + ": " + std::strerror(errno);
    return false;
}

}  // namespace

void rendererUsePlatform() { platformUse(kRenderPlatform); }

void rendererUseSeparation(int percent) { render_separation = percent; }

void rendererUseAmiga(AmigaModel model) { render_amiga = model; }

std::uint64_t onePassFrames(LoadedSong* song) { return renderLength(song, 0, 1, kPassCapFrames); }

PassTimes onePassTimes(LoadedSong* song, int start) {
    PassTimes times;
    times.position_frames.assign(static_cast<std::size_t>(std::max(songFacts(song).positions, 0)), -1);
    times.frames = renderLength(song, start, 1, kPassCapFrames, &times.position_frames);
    return times;
}

std::string refusalText(const LoadRefusal& why) {
    char text[kRefusalTextBytes];
    zindleDescribeRefusal(why, text, sizeof text);
    return text;
}

void loadFailed(const std::string& path, bool batch, const LoadRefusal& why) {
    if (batch)
        std::fprintf(stderr, "%szindle-render: couldn't load the module %s: %s\n", render_message_start, path.c_str(),
                     refusalText(why).c_str());
    else
        zindleReportLoadFailure(stderr, path.c_str(), why);
}

bool recognisedAsModule(const std::string& path, LoadRefusal& why) {
    if (songProbe(path.c_str(), &why)) return true;
    switch (why.reason) {
    case LoadRefusalReason::kFolder:
    case LoadRefusalReason::kNotRegularFile:
    case LoadRefusalReason::kTooShort:
    case LoadRefusalReason::kUnknownTag: return false;
    default: return true;
    }
}

void reportSkipped(const std::string& path, const LoadRefusal& why) {
    std::fprintf(stderr, "zindle-render: skipped %s: %s\n", path.c_str(), refusalText(why).c_str());
}

int renderModule(const RenderOptions& options, const std::string& module_path, const std::string& path, bool batch,
                 bool show_progress) {
    LoadRefusal why;
    LoadedSong* module = songLoad(module_path.c_str(), &why);
    if (!module) {
        loadFailed(module_path, batch, why);
        return 1;
    }
    const int positions = songFacts(module).positions;
    const std::vector<int>& song_starts = songFacts(module).song_starts;
    if (options.song > static_cast<int>(song_starts.size())) {
        std::fprintf(stderr, "%szindle-render: %s: --song %d but the module has %zu song%s\n", render_message_start,
                     module_path.c_str(), options.song, song_starts.size(), song_starts.size() == 1 ? "" : "s");
        songFree(module);
        return 1;
    }
    const int start = options.song > 0 ? song_starts[static_cast<std::size_t>(options.song - 1)] : options.start;
    if (options.start > 0 && options.start >= positions) {
        std::fprintf(stderr, "%szindle-render: %s: --start %d is past the end of the song (%d positions)\n",
                     render_message_start, module_path.c_str(), options.start, positions);
        songFree(module);
        return 1;
    }
    const std::string damage = songDamageWarning(module, DamageHeard::kRendered);
    if (!damage.empty())
        std::fprintf(stderr, "%szindle-render: %s: %s\n", render_message_start, module_path.c_str(), damage.c_str());
    const std::string title = moduleText(songFacts(module).title.c_str(), songFacts(module).title.size());
    std::uint64_t frames = framesBound(options);
    bool exact = options.seconds_given;
    if (!exact && RenderOutput::needsExactLength(path, options.format, frames)) {
        frames = renderLength(module, start, passesToRender(options), frames);
        exact = true;
        songFree(module);
        if (!(module = songLoad(module_path.c_str(), &why))) {
            loadFailed(module_path, batch, why);
            return 1;
        }
    }
    RenderOutput output;
    std::string folder_error;
    if (options.output.empty() && !makeFoldersOf(path, folder_error)) {
        std::fprintf(stderr, "%s%s\n", render_message_start, folder_error.c_str());
        songFree(module);
        return 1;
    }
    bool ok = output.open(path, options.format, frames, exact, title);
    if (ok) {
        watch.trace_out = path == "-" ? stderr : stdout;
        Progress progress(show_progress && !(options.trace && path == "-"));
        startPlayback(module, start, passesToRender(options), frames, options.trace);
        ok = renderFrames(output, progress) && output.finish();
    }
    if (!ok) std::fprintf(stderr, "%s%s\n", render_message_start, output.error().c_str());
    songFree(module);
    return ok ? 0 : 1;
}

