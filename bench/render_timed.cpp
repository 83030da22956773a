// zindle-bench-render MODULE SECONDS: Zindle's entry in the peer comparison.
// Plays the module the way zindle-render does (voices cut, view 3, song from
// order position 0, mixaudio in 4096-byte device buffers) and times only the
// render loop, in CPU time. Prints frames per CPU second on standard output;
// the details and a check that the output wasn't silent go to standard error.
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "audio/volume.h"
#include "display/views.h"
#include "audio/audio_mixer.h"
#include "player/protracker_loader.h"
#include "player/engine.h"
#include "player/protracker_sequencer.h"

namespace {

constexpr int kBufferBytes = 4096;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: %s MODULE SECONDS\n", argv[0]);
        return 2;
    }
    const long seconds = std::strtol(argv[2], nullptr, 10);
    if (seconds <= 0) {
        std::fprintf(stderr, "%s: SECONDS must be a positive whole number\n", argv[0]);
        return 2;
    }
    Module* module = zindleLoad(argv[1]);
    if (!module) {
        std::fprintf(stderr, "%s: can't load %s\n", argv[0], argv[1]);
        return 1;
    }
    zindleReset();
    zindlePlay(module, 0);

    const std::uint64_t frames = static_cast<std::uint64_t>(seconds) * kOutputRate;
    const std::uint64_t buffers = frames * 4 / kBufferBytes;
    static std::uint8_t buffer[kBufferBytes];
    const double start = cpuSeconds();
    for (std::uint64_t i = 0; i < buffers; ++i) mixaudio(nullptr, buffer, kBufferBytes);
    const double elapsed = cpuSeconds() - start;

    int peak = 0;
    for (int i = 0; i < kBufferBytes; i += 2) {
        const int sample = static_cast<std::int16_t>(buffer[i] | buffer[i + 1] << 8);
        peak = std::max(peak, std::abs(sample));
    }
    const double rendered = static_cast<double>(buffers * kBufferBytes / 4);
    std::fprintf(stderr, "zindle: %.0f frames in %.6f CPU s, last buffer peak %d\n", rendered, elapsed, peak);
    std::printf("%.0f\n", rendered / elapsed);
    zindleFree(module);
    return 0;
}
