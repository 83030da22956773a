// SDL's audio device and lock as the engine's platform table sees them. The
// device's callback is the mixer's; SDL runs it on its own audio thread.
#include "app/sdl_platform.h"

#include <SDL/SDL.h>

#include <cstdio>

#include "audio/audio_mixer.h"
#include "display/views.h"

namespace {

void sdlLockAudio() { SDL_LockAudio(); }
void sdlUnlockAudio() { SDL_UnlockAudio(); }
void sdlSleep(std::uint32_t ms) { SDL_Delay(ms); }

int sdlStartAudio(AudioFill fill) {
    SDL_AudioSpec wanted{};
    wanted.freq = kOutputRate;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = kChunkFrames;
    wanted.callback = fill;
    wanted.userdata = nullptr;
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        std::fprintf(stderr, "Unable to open audio: %s\n", SDL_GetError());
        return 0;
    }
    SDL_PauseAudio(0);
    return 1;
}

void sdlStopAudio() {
    SDL_PauseAudio(1);
    SDL_CloseAudio();
}

}  // namespace

const Platform kSdlPlatform = {sdlLockAudio, sdlUnlockAudio, sdlStartAudio,      sdlStopAudio,
                               sdlSleep,     viewsDrawTick,  viewsNoteTriggered, viewsReset};
