// zindle-render opens no audio device, window or picture: it calls the
// mixer callback itself. The few SDL entry points that the player's code
// refers to are answered here instead, as SDL answers them when no device
// or display is open, so that the renderer runs the player's very code
// without loading SDL and the forty-odd libraries it brings with it.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

#include <chrono>
#include <thread>

namespace {
const auto kStart = std::chrono::steady_clock::now();
}

extern "C" {

// Audio: there is no device, so there is nothing to lock, pause or close.
void SDL_LockAudio() {}
void SDL_UnlockAudio() {}
int SDL_OpenAudio(SDL_AudioSpec*, SDL_AudioSpec*) { return -1; }
void SDL_PauseAudio(int) {}
void SDL_CloseAudio() {}

// Time.
void SDL_Delay(Uint32 ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
Uint32 SDL_GetTicks() {
    return static_cast<Uint32>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - kStart).count());
}

// Video and events: no display. The renderer shows no view, so none of
// these is reached; they answer as a failed or absent display would.
char* SDL_GetError() {
    static char message[] = "no display in the offline renderer";
    return message;
}
int SDL_Init(Uint32) { return -1; }
void SDL_Quit() {}
SDL_Surface* SDL_SetVideoMode(int, int, int, Uint32) { return nullptr; }
int SDL_ShowCursor(int) { return 0; }
void SDL_WM_SetCaption(const char*, const char*) {}
int SDL_PollEvent(SDL_Event*) { return 0; }
void SDL_UpdateRect(SDL_Surface*, Sint32, Sint32, Uint32, Uint32) {}
SDL_Surface* SDL_CreateRGBSurface(Uint32, int, int, int, Uint32, Uint32, Uint32, Uint32) { return nullptr; }
SDL_Surface* SDL_ConvertSurface(SDL_Surface*, SDL_PixelFormat*, Uint32) { return nullptr; }
void SDL_FreeSurface(SDL_Surface*) {}
int SDL_FillRect(SDL_Surface*, SDL_Rect*, Uint32) { return -1; }
int SDL_UpperBlit(SDL_Surface*, SDL_Rect*, SDL_Surface*, SDL_Rect*) { return -1; }
SDL_Surface* IMG_Load(const char*) { return nullptr; }

}  // extern "C"
