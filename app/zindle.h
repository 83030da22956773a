// The main program: start-up, the event loop with its keys, frame pacing
// and shutdown, and the state it shares with the audio thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include <SDL/SDL.h>

#include "platform/platform.h"
#include "player/protracker_sequencer.h"

extern SDL_Surface* screen;
extern SDL_Surface* background;
// Hardware master volume as last read or set, shown in view 1.
extern int base_volume;
// Earliest SDL_GetTicks time of the next event-loop pass.
extern std::uint32_t next_tick;

// Keeps the audio thread's drawing of views 1 and 2 apart from the main
// thread's drawing of view 4 and from presenting the screen.
extern std::mutex screen_mutex;
// Set when the screen's pixels hold a new picture not yet presented.
extern std::atomic<bool> screen_dirty;

// The player's platform: SDL's audio device and lock, the views drawn below.
extern const Platform kSdlPlatform;
// At the tick's redraw point (audio thread): draws view 1, or view 2 and lets
// its meters fall by one, when that view is shown.
void zindleDrawTick();
// Program-start state of the views: volume 0, the colour cycles at rest,
// nothing waiting to be presented. The surfaces stay with whoever made them.
void zindleResetViews();

// Sleeps so that event-loop passes are at least 16 ms apart.
void syncframe();
// The whole program; returns its exit status.
int zindleMain(int argc, char** argv);
