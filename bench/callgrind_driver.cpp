// zindle-callgrind-driver MODE [ARGS]: does a fixed amount of one kind of
// work inside a function of its own, so that callgrind, collecting only
// while that function runs (--toggle-collect=cg_MODE), counts exactly the
// instructions of the work. Prints "units N" (the frames, voice-frames or
// calls done), by which bench/callgrind.sh divides the count.
//
//   render MODULE SECONDS   whole render as zindle-render does it    (frames)
//   mix_looping BUFFERS     mixaudio, four looping voices            (frames)
//   mix_oneshot BUFFERS     mixaudio, four one-shot voices           (frames)
//   mix_silence BUFFERS     mixaudio, no voice                        (frames)
//   out_portable BUFFERS    the output step alone, portable way       (frames)
//   out_sse2 BUFFERS        the output step alone, SSE2 way (x86)     (frames)
//   draw_pattern CALLS      view 1, all 25 lines full                (calls)
//   blit CALLS              one full-screen copy of the background   (calls)
//   copy CALLS              the same copy as one memcpy per line     (calls)
//   draw_samples CALLS      view 2, every meter at 27                (calls)
//   draw_scopes CALLS       view 4, four looping voices              (calls)
//   text CALLS              textOut of a 39-character line           (calls)
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/volume.h"
#include "display/views.h"
#include "audio/audio_mixer.h"
#include "bench/bench_fixtures.h"
#include "tools/bench_modules.h"
#include "display/pattern_viewer.h"
#include "display/sample_viewer.h"
#include "display/textout.h"
#include "player/protracker_loader.h"
#include "player/engine.h"
#include "player/protracker_sequencer.h"

namespace {

constexpr int kFramesPerBuffer = benchfix::kBufferBytes / 4;
std::uint8_t out[benchfix::kBufferBytes];
Module* large = nullptr;
const char kText[] = "#005/128 - 125bpm (06 ticks) - Vol: 040";

}  // namespace

// The measured regions. noinline and C names, so that callgrind can be told
// to collect inside exactly one of them.
extern "C" {
__attribute__((noinline)) void cg_render(long buffers) {
    for (long i = 0; i < buffers; ++i) mixaudio(nullptr, out, benchfix::kBufferBytes);
}
__attribute__((noinline)) void cg_mix_looping(long buffers) {
    for (long i = 0; i < buffers; ++i) mixaudio(nullptr, out, benchfix::kBufferBytes);
}
__attribute__((noinline)) void cg_mix_oneshot() { mixaudio(nullptr, out, benchfix::kBufferBytes); }
__attribute__((noinline)) void cg_mix_silence(long buffers) {
    for (long i = 0; i < buffers; ++i) mixaudio(nullptr, out, benchfix::kBufferBytes);
}
__attribute__((noinline)) void cg_out_portable(long buffers) {
    for (long i = 0; i < buffers; ++i) mixOutputPortable(out, kFramesPerBuffer);
}
#if defined(__SSE2__)
__attribute__((noinline)) void cg_out_sse2(long buffers) {
    for (long i = 0; i < buffers; ++i) mixOutputSse2(out, kFramesPerBuffer);
}
#endif
__attribute__((noinline)) void cg_draw_pattern(long calls) {
    const NowPlaying now = benchfix::described(large);
    for (long i = 0; i < calls; ++i) drawPattern(screen, background, now);
}
__attribute__((noinline)) void cg_blit(long calls) {
    for (long i = 0; i < calls; ++i) SDL_BlitSurface(background, nullptr, screen, nullptr);
}
__attribute__((noinline)) void cg_copy(long calls) {
    for (long i = 0; i < calls; ++i)
        for (int y = 0; y < background->h; ++y)
            std::memcpy(static_cast<std::uint8_t*>(screen->pixels) + y * screen->pitch,
                        static_cast<const std::uint8_t*>(background->pixels) + y * background->pitch,
                        static_cast<std::size_t>(background->w) * 2);
}
__attribute__((noinline)) void cg_draw_samples(long calls) {
    const NowPlaying now = benchfix::described(large);
    for (long i = 0; i < calls; ++i) drawSampleViewer(screen, now);
}
__attribute__((noinline)) void cg_draw_scopes(long calls) {
    const NowPlaying now = benchfix::described(large);
    ScopeVoice voices[kChannelsShown];
    benchfix::scopeVoices(large, voices);
    for (long i = 0; i < calls; ++i) drawQuadrascopes(screen, now, voices);
}
__attribute__((noinline)) void cg_text(long calls) {
    for (long i = 0; i < calls; ++i) textOut(screen, 4, 19, kText, 0xFFFF, 0, 0);
}
}

namespace {

int usage(const char* program) {
    std::fprintf(stderr, "Usage: %s MODE [ARGS] (see the top of callgrind_driver.cpp)\n", program);
    return 2;
}

int render(const char* path, long seconds) {
    Module* module = zindleLoad(path);
    if (!module) {
        std::fprintf(stderr, "can't load %s\n", path);
        return 1;
    }
    zindleReset();
    zindlePlay(module, 0);
    const long buffers = seconds * kOutputRate / kFramesPerBuffer;
    cg_render(buffers);
    std::printf("units %ld\n", buffers * kFramesPerBuffer);
    zindleFree(module);
    return 0;
}

// The views draw the large module: every cell of its patterns is set.
bool openViews() {
    if (!benchfix::openScreen()) return false;
    const std::string path = benchfix::writeTemp(benchmods::largeModule());
    large = path.empty() ? nullptr : zindleLoad(path.c_str());
    if (!path.empty()) std::remove(path.c_str());
    if (!large) {
        std::fprintf(stderr, "can't write and load the large module\n");
        return false;
    }
    benchfix::showFullPattern(large);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage(argv[0]);
    const std::string mode = argv[1];
    if (mode == "render") {
        if (argc != 4) return usage(argv[0]);
        return render(argv[2], std::strtol(argv[3], nullptr, 10));
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    if (count <= 0) return usage(argv[0]);
    if (mode == "mix_looping") {
        benchfix::setLoopingVoices();
        cg_mix_looping(count);
        std::printf("units %ld\n", count * kFramesPerBuffer);
        return 0;
    }
    if (mode == "mix_oneshot") {
        benchfix::setOneShotVoices();
        for (long i = 0; i < count; ++i) {
            if (benchfix::oneShotNearEnd(kFramesPerBuffer)) benchfix::setOneShotVoices();
            cg_mix_oneshot();
        }
        std::printf("units %ld\n", count * kFramesPerBuffer);
        return 0;
    }
    if (mode == "mix_silence") {
        zindleReset();
        cg_mix_silence(count);
        std::printf("units %ld\n", count * kFramesPerBuffer);
        return 0;
    }
    if (mode == "out_portable" || mode == "out_sse2") {
        // The accumulators of one buffer of four looping voices.
        benchfix::setLoopingVoices();
        mixaudio(nullptr, out, benchfix::kBufferBytes);
        if (mode == "out_portable") {
            cg_out_portable(count);
        } else {
#if defined(__SSE2__)
            cg_out_sse2(count);
#else
            std::fprintf(stderr, "no SSE2 output on this target\n");
            return 1;
#endif
        }
        std::printf("units %ld\n", count * kFramesPerBuffer);
        return 0;
    }
    if (!openViews()) return 1;
    if (mode == "draw_pattern") {
        mod_playing = 1;
        cg_draw_pattern(count);
        mod_playing = 0;
    } else if (mode == "blit") {
        cg_blit(count);
    } else if (mode == "copy") {
        cg_copy(count);
    } else if (mode == "draw_samples") {
        benchfix::fillMeters();
        cg_draw_samples(count);
    } else if (mode == "draw_scopes") {
        benchfix::setLoopingVoices();
        cg_draw_scopes(count);
    } else if (mode == "text") {
        cg_text(count);
    } else {
        return usage(argv[0]);
    }
    std::printf("units %ld\n", count);
    zindleFree(large);
    benchfix::closeScreen();
    return 0;
}
