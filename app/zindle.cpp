// The main program: brings up SDL, the player and the module, prepares the
// background, then runs the event loop until Escape or a quit event. The
// replay engine and views 1 and 2 run on the audio thread; this thread
// handles keys, draws view 4 and presents the screen.
#include "app/zindle.h"

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

#include <cstdio>
#include <cstring>

#include "audio/audio_mixer.h"
#include "audio/volume.h"
#include "display/pattern_viewer.h"
#include "display/sample_viewer.h"
#include "display/textout.h"
#include "platform/platform.h"
#include "player/protracker_loader.h"
#include "player/protracker_sequencer.h"

SDL_Surface* screen = nullptr;
SDL_Surface* background = nullptr;
int base_volume = 0;
std::uint32_t next_tick = 0;
std::mutex screen_mutex;
std::atomic<bool> screen_dirty{false};

namespace {

// SDL's audio device and lock behind the engine's platform table.
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

const Platform kSdlPlatform = {sdlLockAudio, sdlUnlockAudio, sdlStartAudio, sdlStopAudio,
                               sdlSleep,     zindleDrawTick, zindleResetViews};

void zindleDrawTick() {
    if (display_mode != kViewPattern && display_mode != kViewMeters) return;
    std::lock_guard<std::mutex> lock(screen_mutex);
    if (display_mode == kViewPattern) {
        drawPattern(screen, background, source);
    } else {
        drawSampleViewer(screen, source);
        for (Sample& sample : source->samples)
            if (sample.meter != 0) --sample.meter;
    }
    screen_dirty = true;
}

void zindleResetViews() {
    base_volume = 0;
    next_tick = 0;
    screen_dirty = false;
    first_shown_channel = 0;
    sampleViewerReset();
}

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kDepth = 16;
constexpr std::uint32_t kPassMs = 16;
constexpr int kVolumeStep = 5;

// The background picture, or plain black when there is none of the right
// size or it can't be converted. Null only when no surface can be made.
SDL_Surface* makeBackground() {
    SDL_Surface* picture = IMG_Load("background.png");
    SDL_Surface* made = nullptr;
    if (picture && picture->w == kWidth && picture->h == kHeight)
        made = SDL_ConvertSurface(picture, screen->format, screen->flags);
    if (picture) SDL_FreeSurface(picture);
    if (made) return made;
    made = SDL_CreateRGBSurface(screen->flags, kWidth, kHeight, kDepth, 0, 0, 0, 0);
    if (made) SDL_FillRect(made, nullptr, 0);
    return made;
}

// View keys and the volume are read by the audio thread's tick: change
// them under the audio lock.
void setDisplayMode(int mode) {
    AudioLock lock;
    display_mode = mode;
}

void changeVolume(int step) {
    {
        AudioLock lock;
        base_volume += step;
    }
    setVolume(base_volume & 255);
}

// The order position as the audio thread last mirrored it.
int playingOrder(const Module* module) {
    AudioLock lock;
    return module->order;
}

// Views 1 and 4 move on to the next group of eight channels (a module of
// more than eight shows them a group at a time).
void showNextChannels(const Module* module) {
    AudioLock lock;
    first_shown_channel = nextChannelGroup(first_shown_channel, module->channels);
}

void handleKey(SDLKey key, Module* module, bool& running) {
    switch (key) {
    case SDLK_BACKSPACE: zindleJump(playingOrder(module) + 1); break;
    case SDLK_TAB: zindleJump(playingOrder(module) - 1); break;
    case SDLK_ESCAPE: running = false; break;
    case SDLK_SPACE: setDisplayMode(kViewNone); break;
    case SDLK_UP:
        if (base_volume < 96) changeVolume(kVolumeStep);
        break;
    case SDLK_DOWN:
        if (base_volume >= 5) changeVolume(-kVolumeStep);
        break;
    case SDLK_LSHIFT: setDisplayMode(kViewMeters); break;
    case SDLK_LCTRL: setDisplayMode(kViewPattern); break;
    case SDLK_LALT: setDisplayMode(kViewScopes); break;
    case SDLK_c: showNextChannels(module); break;
    default: break;
    }
}

// Draws view 4 when it is shown and brings a new picture to the display.
// The scopes take the audio lock and then the screen's, one after the other;
// presenting holds the screen's alone, so no lock waits on the other here.
void present(Module* module) {
    if (display_mode == kViewScopes) {
        drawQuadrascopes(screen, module);
        screen_dirty = true;
    }
    std::lock_guard<std::mutex> lock(screen_mutex);
    if (screen_dirty.exchange(false)) SDL_UpdateRect(screen, 0, 0, 0, 0);
}

}  // namespace

void syncframe() {
    const std::uint32_t now = SDL_GetTicks();
    if (now < next_tick) {
        const std::uint32_t fresh = SDL_GetTicks();
        if (fresh < next_tick) SDL_Delay(next_tick - fresh);
    }
    next_tick = SDL_GetTicks() + kPassMs;
}

namespace {

const char kHelp[] =
    "Usage: zindle <module.mod>\n"
    "Plays a four-channel ProTracker module (MOD file) at 48000 Hz, without end,\n"
    "and shows it in a 320x240 window.\n"
    "\n"
    "Keys:\n"
    "  Left Ctrl    view 1: the pattern being played\n"
    "  Left Shift   view 2: a bar meter per sample\n"
    "  Left Alt     view 4: four oscilloscopes, one per voice\n"
    "  Space        view 3: freeze the picture on the screen\n"
    "  Backspace    next order position\n"
    "  Tab          previous order position (from the first, the last)\n"
    "  Up / Down    master volume up / down by 5\n"
    "  Escape       quit (closing the window quits too)\n"
    "\n"
    "Exit status: 0 after a normal quit, 1 when it can't start (the module can't be\n"
    "loaded, no window or audio device), 255 without a module.\n"
    "\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "A module file named like an option plays as ./--help.\n";

// --help or --version among the arguments: the text on standard output and
// exit status 0, before any window or device is opened. -1 otherwise.
int infoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zindle %s\n", ZINDLE_VERSION);
            return 0;
        }
    }
    return -1;
}

}  // namespace

int zindleMain(int argc, char** argv) {
    if (const int status = infoOption(argc, argv); status >= 0) return status;
    platformUse(kSdlPlatform);
    mod_playing = 0;
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s <module.mod>\n", argv[0]);
        return -1;
    }
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_ShowCursor(0);
    SDL_WM_SetCaption("Zindle SDL", nullptr);
    screen = SDL_SetVideoMode(kWidth, kHeight, kDepth, 0);
    if (!screen) {
        std::fprintf(stderr, "Couldn't set video mode: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    if (!zindleInit()) {
        std::fprintf(stderr, "Couldn't initialize zindle!\n");
        SDL_Quit();
        return 1;
    }
    Module* module = zindleLoad(argv[1]);
    if (!module) {
        zindleReportLoadFailure(stderr, argv[1]);
        zindleClose();
        SDL_Quit();
        return 1;
    }
    base_volume = getVolume();
    background = makeBackground();
    if (!background) {
        std::fprintf(stderr, "Couldn't create the background: %s\n", SDL_GetError());
        zindleClose();
        zindleFree(module);
        SDL_Quit();
        return 1;
    }
    char song_name[32];
    std::snprintf(song_name, sizeof song_name, "Song name: %.20s", module->name);
    textOut(background, 4, 10, song_name, 0xFFFF, 0, 0);
    textOut(background, 4, 1, "Zindle - The simple ProTracker player", 0xFFFF, 0, 0);
    zindlePlay(module, 0);

    bool running = true;
    while (running) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) {
                running = false;
                break;
            }
            if (event.type == SDL_KEYDOWN) handleKey(event.key.keysym.sym, module, running);
        }
        present(module);
        syncframe();
    }

    zindleClose();
    zindleFree(module);
    SDL_FreeSurface(background);
    background = nullptr;
    SDL_Quit();
    return 0;
}
