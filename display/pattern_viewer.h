// View 1: the pattern being played, around the current row.
#pragma once

#include <SDL/SDL.h>

#include <array>

#include "player/protracker_sequencer.h"

// The plain periods of the notes (row 0 of tab_tunes), after 0 for "no note".
inline constexpr std::array<int, kNotes + 1> period_tab = [] {
    std::array<int, kNotes + 1> periods{};
    for (int k = 0; k < kNotes; ++k) periods[static_cast<std::size_t>(k + 1)] = tab_tunes[0][k];
    return periods;
}();
// The names of period_tab's entries, then "???" for a period not in it.
extern const char name_tab[38][4];
extern const char hextable[17];

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

// Repaints the whole screen from the background and the module's mirrored
// position. Up to 4 channels get a full cell each (note, sample, effect); 5 or
// more a compact one (note and sample) under a line of channel numbers, at
// most kChannelsShown at once. Draws nothing while nothing plays or the module
// isn't loaded. Does not present the screen.
void drawPattern(SDL_Surface* screen, SDL_Surface* background, Module* module);
