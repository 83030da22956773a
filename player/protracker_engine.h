// Our own engine behind the engine table: a thin wrapper of the loader, the
// sequencer and the mixer's voices, and what the views are told of a MOD.
#pragma once

#include <array>
#include <cstddef>

#include "player/now_playing.h"
#include "player/protracker_loader.h"
#include "player/protracker_sequencer.h"

// The plain periods of the notes (row 0 of tab_tunes), after 0 for "no note".
inline constexpr std::array<int, kNotes + 1> period_tab = [] {
    std::array<int, kNotes + 1> periods{};
    for (int k = 0; k < kNotes; ++k) periods[static_cast<std::size_t>(k + 1)] = tab_tunes[0][k];
    return periods;
}();
// The names of period_tab's entries, then "???" for a period not in it.
extern const char name_tab[38][4];

// What the views show of module: its mirrored position and tempo, its
// pattern's cells (note by period, sample in two digits, effect in three hex
// digits) and 31 meter columns. Null: nothing shown.
void modDescribe(const Module* module, NowPlaying* now);
// The mixer's voices first..first+count-1 as the scopes read them.
void modDescribeVoices(ScopeVoice* out, int first, int count);
