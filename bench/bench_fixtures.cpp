#include "bench/bench_fixtures.h"

#include <SDL/SDL.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "audio/volume.h"
#include "display/views.h"
#include "audio/audio_mixer.h"
#include "display/textout.h"
#include "player/engine.h"
#include "player/protracker_engine.h"
#include "player/protracker_sequencer.h"

namespace benchfix {

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

std::array<std::int8_t, kLoopBytes> loop_data[kVoices];
std::array<std::int8_t, kOneShotBytes> oneshot_data[kVoices];

// Four voices as a song would set them: C-2, G-2, C-3, E-1 at differing volumes.
constexpr std::int32_t kPeriods[kVoices] = {428, 285, 214, 678};
constexpr std::uint8_t kVolumes[kVoices] = {64, 48, 40, 56};

void fillSaw(std::int8_t* data, std::size_t size, int cycle) {
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::int8_t>(static_cast<int>(i % static_cast<std::size_t>(cycle)) * 250 / cycle - 125);
}

void setVoices(bool looping) {
    zindleReset();
    for (int i = 0; i < kVoices; ++i) {
        if (looping) {
            fillSaw(loop_data[i].data(), loop_data[i].size(), 32 + 16 * i);
            audioSetSource(i, loop_data[i].data(), kLoopBytes, 0, kLoopBytes);
        } else {
            fillSaw(oneshot_data[i].data(), oneshot_data[i].size(), 40 + 8 * i);
            audioSetSource(i, oneshot_data[i].data(), kOneShotBytes, 0, 0);
        }
        audioSetRate(i, periodToRate(kPeriods[i]));
        audioSetVolume(i, kVolumes[i]);
    }
}

}  // namespace

bool openScreen() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "SDL_Init failed: %s\n", SDL_GetError());
        return false;
    }
    screen = SDL_SetVideoMode(kWidth, kHeight, 16, SDL_SWSURFACE);
    if (!screen) {
        std::fprintf(stderr, "SDL_SetVideoMode failed: %s\n", SDL_GetError());
        return false;
    }
    background = SDL_CreateRGBSurface(screen->flags, kWidth, kHeight, 16, screen->format->Rmask,
                                      screen->format->Gmask, screen->format->Bmask, 0);
    if (!background) {
        std::fprintf(stderr, "SDL_CreateRGBSurface failed: %s\n", SDL_GetError());
        return false;
    }
    SDL_FillRect(background, nullptr, 0);
    textOut(background, 4, 1, "Zindle SDL", 0xFFFF, 0, 0);
    textOut(background, 4, 10, "bench large", 0xFFFF, 0, 0);
    return true;
}

void closeScreen() {
    if (background) SDL_FreeSurface(background);
    background = nullptr;
    screen = nullptr;
    SDL_Quit();
}

std::string writeTemp(const modwriter::Song& song) {
    char path[] = "/tmp/zindle-bench-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    if (!song.write(path)) {
        std::remove(path);
        return {};
    }
    return path;
}

void setLoopingVoices() { setVoices(true); }

void setOneShotVoices() { setVoices(false); }

bool oneShotNearEnd(int frames) {
    for (const Voice& voice : v) {
        if (!voice.data) return true;
        const std::uint64_t reach = voice.position + static_cast<std::uint64_t>(voice.rate) * (frames + 1);
        if ((reach >> kPositionFractionBits) >= voice.length) return true;
    }
    return false;
}

void fillMeters() {
    for (int i = 1; i <= kNumSamples; ++i) viewsSetMeter(i, kMaxMeter);
}

NowPlaying described(const Module* module) {
    NowPlaying now;
    modDescribe(module, &now);
    return now;
}

void scopeVoices(const Module* module, ScopeVoice* voices) {
    const int first = firstShownChannel(module->channels);
    modDescribeVoices(voices, first, std::min(kChannelsShown, module->channels - first));
}

void showFullPattern(Module* module) {
    module->row = 32;
    module->order = 5;
    module->pattern = module->orders[5];
    module->bpm = 125;
    module->speed = 6;
    base_volume = 40;
}

}  // namespace benchfix
