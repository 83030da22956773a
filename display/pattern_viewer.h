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

// Repaints the whole screen from the background and the module's mirrored
// position. Up to 4 channels get a full cell each (note, sample, effect); 5 or
// more a compact one (note and sample) under a line of channel numbers, at
// most kChannelsShown at once. Draws nothing while nothing plays or the module
// isn't loaded. Does not present the screen.
void drawPattern(SDL_Surface* screen, SDL_Surface* background, Module* module);
