// The views: which one is shown, what they keep between frames (the meters
// and their fall, the colour cycles, the channel and instrument groups), the screen
// and background surfaces with the lock that keeps their drawing apart, and
// how the views are drawn, at the tick's redraw point, from what plays. The drawing of each
// view is in pattern_viewer (view 1) and sample_viewer (views 2 and 4).
#pragma once

#include <SDL/SDL.h>

#include <atomic>
#include <mutex>

#include "platform/platform.h"
#include "player/now_playing.h"

// The views, as display_mode numbers them.
constexpr int kViewPattern = 1;  // the pattern being played
constexpr int kViewMeters = 2;   // a bar meter per sample
constexpr int kViewNone = 3;     // nothing drawn
constexpr int kViewScopes = 4;   // an oscilloscope per channel
constexpr int kViewList = 5;     // the module list, drawn by the main thread
constexpr int kViewOff = 6;      // the screen is off: nothing drawn

// The view shown (0 before start-up). The tick reads it: meters rise and
// fall only while view 2 shows. Written on the main thread under the audio lock.
extern int display_mode;

// The window's surface and the picture each view 1 frame starts from. Owned
// by whoever made them (the player, a test); null when there is none.
extern SDL_Surface* screen;
extern SDL_Surface* background;
// Keeps the audio thread's drawing of views 1 and 2 apart from the main
// thread's drawing of view 4 and from presenting the screen.
extern std::mutex screen_mutex;
// Set when the screen's pixels hold a new picture not yet presented.
extern std::atomic<bool> screen_dirty;

// Views 1 and 4 show at most this many channels at once; a module with more
// shows them a group at a time.
constexpr int kChannelsShown = 8;
// The first channel of the group views 1 and 4 show (0, 8, 16 or 24).
// Written on the main thread under the audio lock; 0 at program start.
extern int first_shown_channel;
// The first channel of the group after the one starting at `first`, for a
// module of `channels`: wraps to 0 after the last group.
int nextChannelGroup(int first, int channels);
// The first channel a module of `channels` shows now: first_shown_channel, or
// 0 when that lies past the module's channels.
int firstShownChannel(int channels);

// A meter is at most this many lines tall; it falls by one line a tick.
constexpr int kMaxMeter = 27;
// View 2 shows at most this many meters at once, one per character column;
// a module with more instruments shows them a group at a time.
constexpr int kMeterColumns = 40;
// The first instrument's index (0-based) of the group view 2 shows. Written on
// the main thread under the audio lock; 0 at program start.
extern int first_shown_instrument;
// The first instrument of the group after the one starting at first, for a
// module of instruments: wraps to 0 after the last group.
int nextInstrumentGroup(int first, int instruments);
// The first instrument a module of instruments shows now.
int firstShownInstrument(int instruments);
// The meter of instrument (1..kMaxInstruments): its height 0..kMaxMeter; 0
// for any other number.
int viewsMeter(int instrument);
// Sets the meter of instrument (1..kMaxInstruments), clamped to 0..kMaxMeter.
void viewsSetMeter(int instrument, int height);

// Colour-cycling state: offsets into coltab (even, 0..766) and the counts
// that move them. colindex/c belong to view 2 (audio thread), colindex2/c2
// to view 4 (main thread).
extern int colindex;
extern int c;
extern int colindex2;
extern int c2;

// At the tick's redraw point (audio thread): draws view 1, or view 2 and lets
// its meters fall by one, when that view is shown, then the status line.
void viewsDrawTick();
// A note was triggered on instrument (1..kMaxInstruments) at volume (0..64),
// on the audio thread: while view 2 shows, its meter jumps to volume / 2.
void viewsNoteTriggered(int instrument, int volume);
// Main thread: draws view 4 when it is shown (with the status line), from what
// plays and its voices, copied under the audio lock.
void viewsDrawScopes();
// Main thread, once a pass: while no tick draws the view (view 3, or views
// 1 and 2 while paused), draws what changed: view 1 or 2 when it was chosen
// (or its group) while paused, and the status line when its text changed.
// View 3 keeps its picture but for the status line.
void viewsDrawIdle();
// The screen was painted over while no tick draws: viewsDrawIdle draws all
// it draws again.
void viewsForgetIdle();
// The song-name line of view 1's background.
constexpr const char* kSongName = "Song name: %.20s";
// A new module: the channel and instrument groups, the meters and the colour
// cycles back at their start; the view shown stays.
void viewsNewModule();
// Program-start state of the views: no view chosen, nothing waiting to be
// presented, no status line, the channel group and colour cycles at their start.
// The surfaces stay with whoever made them.
void viewsReset();

// No device and one thread, as kHeadlessPlatform, but the views are drawn
// from the tick and meters rise: the engine as the player runs it, for the
// tests, fuzzer and benchmarks. (A function, so that tables other files
// build from it at start-up never see it unmade.)
Platform headlessViewsPlatform();
