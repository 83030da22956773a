// zindle-bench: Google Benchmark suite for the code that runs inside the
// audio callback (the mixer, a whole render with the replay engine, views 1
// and 2) and for view 4, text output and the loader. Figures per frame and
// per call are reported as counters beside the time per iteration.
#include <benchmark/benchmark.h>

#include <SDL/SDL.h>

#include <cstdio>
#include <string>

#include "audio/volume.h"
#include "display/views.h"
#include "audio/audio_mixer.h"
#include "bench/bench_fixtures.h"
#include "tools/bench_modules.h"
#include "display/pattern_viewer.h"
#include "display/sample_viewer.h"
#include "display/scaler.h"
#include "display/textout.h"
#include "player/protracker_loader.h"
#include "player/engine.h"
#include "player/protracker_sequencer.h"

namespace {

constexpr int kFramesPerBuffer = benchfix::kBufferBytes / 4;
constexpr int kRenderSeconds = 60;

std::string large_path;        // the large module on disk, for the loader
long large_bytes = 0;
Module* large = nullptr;       // the same, loaded: full patterns for the views
Module* demo = nullptr;
std::uint8_t out[benchfix::kBufferBytes];

// Throughput and its inverse, e.g. "frames=94M/s" and "per_frame=10.6ns".
void perUnit(benchmark::State& state, const std::string& unit, double per_iteration) {
    using benchmark::Counter;
    state.counters[unit + "s"] = Counter(per_iteration, Counter::kIsIterationInvariantRate);
    state.counters["per_" + unit] = Counter(per_iteration, Counter::kIsIterationInvariantRate | Counter::kInvert);
}

void BM_MixLoopingVoices(benchmark::State& state) {
    benchfix::setLoopingVoices();
    for (auto _ : state) {
        mixaudio(nullptr, out, benchfix::kBufferBytes);
        benchmark::DoNotOptimize(out);
    }
    perUnit(state, "frame", kFramesPerBuffer);
    perUnit(state, "voice_frame", kFramesPerBuffer * benchfix::kVoices);
}
BENCHMARK(BM_MixLoopingVoices);

void BM_MixOneShotVoices(benchmark::State& state) {
    benchfix::setOneShotVoices();
    for (auto _ : state) {
        // Voices are started again before any of them could end in this buffer.
        if (benchfix::oneShotNearEnd(kFramesPerBuffer)) {
            state.PauseTiming();
            benchfix::setOneShotVoices();
            state.ResumeTiming();
        }
        mixaudio(nullptr, out, benchfix::kBufferBytes);
        benchmark::DoNotOptimize(out);
    }
    perUnit(state, "frame", kFramesPerBuffer);
    perUnit(state, "voice_frame", kFramesPerBuffer * benchfix::kVoices);
}
BENCHMARK(BM_MixOneShotVoices);

void BM_MixSilence(benchmark::State& state) {
    zindleReset();
    for (auto _ : state) {
        mixaudio(nullptr, out, benchfix::kBufferBytes);
        benchmark::DoNotOptimize(out);
    }
    perUnit(state, "frame", kFramesPerBuffer);
}
BENCHMARK(BM_MixSilence);

// The last step of every chunk alone, each way it can be done: the
// accumulators of four looping voices written out as s16le frames. The
// portable way is what a target without SSE2 runs; set either beside the
// other, a change to one shows.
void timeMixOutput(benchmark::State& state, void (*output)(std::uint8_t*, int)) {
    benchfix::setLoopingVoices();
    mixaudio(nullptr, out, benchfix::kBufferBytes);
    for (auto _ : state) {
        output(out, kFramesPerBuffer);
        benchmark::DoNotOptimize(out);
    }
    perUnit(state, "frame", kFramesPerBuffer);
}

void BM_MixOutputPortable(benchmark::State& state) { timeMixOutput(state, mixOutputPortable); }
BENCHMARK(BM_MixOutputPortable);

#if defined(__SSE2__)
void BM_MixOutputSse2(benchmark::State& state) { timeMixOutput(state, mixOutputSse2); }
BENCHMARK(BM_MixOutputSse2);
#endif

// The demo song from its start, replay engine included, view 3 as in zindle-render.
void BM_RenderDemo(benchmark::State& state) {
    if (!demo) {
        state.SkipWithError("demo module not loaded");
        return;
    }
    constexpr int kBuffers = kRenderSeconds * kOutputRate / kFramesPerBuffer;
    for (auto _ : state) {
        state.PauseTiming();
        zindleReset();
        zindlePlay(demo, 0);
        state.ResumeTiming();
        for (int i = 0; i < kBuffers; ++i) mixaudio(nullptr, out, benchfix::kBufferBytes);
        benchmark::DoNotOptimize(out);
    }
    zindleReset();
    perUnit(state, "frame", static_cast<double>(kBuffers) * kFramesPerBuffer);
}
BENCHMARK(BM_RenderDemo)->Unit(benchmark::kMillisecond);

// View 1 with all 25 lines full (row 32 of a pattern with every cell set).
void BM_DrawPattern(benchmark::State& state) {
    zindleReset();
    mod_playing = 1;
    benchfix::showFullPattern(large);
    const NowPlaying now = benchfix::described(large);
    for (auto _ : state) {
        drawPattern(screen, background, now);
        benchmark::ClobberMemory();
    }
    mod_playing = 0;
}
BENCHMARK(BM_DrawPattern);

// The floor under view 1: one full-screen copy of the background.
void BM_BlitBackground(benchmark::State& state) {
    for (auto _ : state) {
        SDL_BlitSurface(background, nullptr, screen, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlitBackground);

// Presenting at a whole scale: the 320x240 screen copied onto a display of
// 320N x 240N, RGB565 or 32 bits, as the main thread does for each new picture.
void BM_ScaleScreen(benchmark::State& state) {
    const int scale = static_cast<int>(state.range(0));
    const bool wide = state.range(1) == 32;
    SDL_Surface* display = wide ? SDL_CreateRGBSurface(SDL_SWSURFACE, 320 * scale, 240 * scale, 32, 0xFF0000, 0xFF00, 0xFF, 0)
                                : SDL_CreateRGBSurface(SDL_SWSURFACE, 320 * scale, 240 * scale, 16, 0xF800, 0x07E0, 0x001F, 0);
    const ScreenLayout layout = scalerLayout(display->w, display->h, scale, display->format);
    for (auto _ : state) {
        scalerBlit(screen, display, layout);
        benchmark::DoNotOptimize(display->pixels);
    }
    perUnit(state, "pixel", 320.0 * 240 * scale * scale);
    SDL_FreeSurface(display);
}
BENCHMARK(BM_ScaleScreen)->Args({2, 16})->Args({2, 32})->Args({3, 32});

void BM_DrawSampleViewer(benchmark::State& state) {
    benchfix::fillMeters();
    const NowPlaying now = benchfix::described(large);
    for (auto _ : state) {
        drawSampleViewer(screen, now);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawSampleViewer);

void BM_DrawQuadrascopes(benchmark::State& state) {
    benchfix::setLoopingVoices();
    const NowPlaying now = benchfix::described(large);
    ScopeVoice voices[kChannelsShown];
    benchfix::scopeVoices(large, voices);
    for (auto _ : state) {
        drawQuadrascopes(screen, now, voices);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawQuadrascopes);

// A header-sized line of text, transparent (state.range(0) == 0) or opaque.
void BM_TextOut(benchmark::State& state) {
    static const char kText[] = "#005/128 - 125bpm (06 ticks) - Vol: 040";
    constexpr int kChars = sizeof kText - 1;
    const int opaque = static_cast<int>(state.range(0));
    for (auto _ : state) {
        textOut(screen, 4, 19, kText, 0xFFFF, opaque, 0x43D3);
        benchmark::ClobberMemory();
    }
    perUnit(state, "char", kChars);
}
BENCHMARK(BM_TextOut)->Arg(0)->Arg(1);

// Reading the largest module the loader accepts; the release is not timed.
void BM_ZindleLoad(benchmark::State& state) {
    for (auto _ : state) {
        Module* module = zindleLoad(large_path.c_str());
        state.PauseTiming();
        if (!module) {
            state.SkipWithError("load failed");
            break;
        }
        zindleFree(module);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * large_bytes);
}
BENCHMARK(BM_ZindleLoad)->Unit(benchmark::kMillisecond);

long fileSize(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 0;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return size;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!benchfix::openScreen()) return 1;
    large_path = benchfix::writeTemp(benchmods::largeModule());
    large = large_path.empty() ? nullptr : zindleLoad(large_path.c_str());
    if (!large) {
        std::fprintf(stderr, "zindle-bench: can't write and load the large module\n");
        return 1;
    }
    large_bytes = fileSize(large_path);
    demo = zindleLoad(ZINDLE_DEMO_MOD);
    if (!demo) std::fprintf(stderr, "zindle-bench: can't load %s\n", ZINDLE_DEMO_MOD);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (demo) zindleFree(demo);
    zindleFree(large);
    std::remove(large_path.c_str());
    benchfix::closeScreen();
    return 0;
}
