// The list of modules the player goes through: made from the command line's
// paths by their names alone (no file is opened to make it), the order it
// plays them in (the list's own, or shuffled), the entry playing, and the
// entries the engines have refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/settings_values.h"
#include "player/engine.h"

// Replaces the list by the files under the paths, as folderWalk finds them,
// played in the list's own order. Returns the number of entries.
std::size_t playlistBuild(int count, char* const* paths);
// The number of entries.
std::size_t playlistSize();
// The entry at index (0 <= index < playlistSize()).
const std::string& playlistPath(std::size_t index);
// Which of the paths given to playlistBuild entry index came from (0..), and
// whether it was found in that folder (false: it is that path itself).
std::size_t playlistArgument(std::size_t index);
bool playlistFromFolder(std::size_t index);
// The entry last loaded by playlistLoad or playlistStep (0 before any).
std::size_t playlistCurrent();
// Loads the first entry an engine accepts (songLoad), trying each entry at most once,
// going from entry from by step (+1 or -1) through the play order: in the
// list's own order around the list; shuffled, forward past the round's last
// into a new round, backward from its first to its last. A refused entry is
// remembered and not tried again; while the list has more than one entry it
// is named on standard error. Returns the song, which becomes the current
// entry, or null when no entry loads; then *why (when given) says why the
// last entry tried was refused (and stays as it was when none was tried).
LoadedSong* playlistLoad(std::size_t from, int step, LoadRefusal* why = nullptr);
// As playlistLoad from the entry after (step +1) or before (step -1) the
// current one in the play order: Right, Left and the end of a pass.
LoadedSong* playlistStep(int step, LoadRefusal* why = nullptr);
// The entries not refused so far.
std::size_t playlistPlayable();
// Whether the loader has refused the entry at index.
bool playlistRefused(std::size_t index);
// The entry's name as a list shows it: its path below the folder it was found
// in, or the path as given.
std::string playlistName(std::size_t index);
// Where the current entry stands in the play order among the entries not
// refused so far (0..).
std::size_t playlistPosition();
// The first entry of the play order: where a list starts.
std::size_t playlistFirst();
// Shuffle on: the list plays in a random order, each entry once per round,
// in a new order each round (whose first is never the entry that ended the
// round before). Turning it on (again) begins a round led by entry lead, or
// by any entry when lead >= playlistSize(). Off: the list's own order, on
// from the current entry.
void playlistSetShuffle(bool on, std::size_t lead);
bool playlistShuffled();
// Seeds the random orders: the same seed gives the same orders (0 after
// playlistBuild and playlistClear).
void playlistSetSeed(std::uint64_t seed);
// The song of its module entry index plays (0: the first). A module of
// several songs holds one entry per song, once they are known:
// playlistSetSongs(index, songs) tells them for the module of entry index
// (its first song's), which is then followed by entries for songs 2..songs
// (named "NAME #2", ...), in the list and, shuffled, in the round. Returns
// the entries added (0 when they were told before); every entry after index
// moves down by as many.
int playlistSong(std::size_t index);
std::size_t playlistSetSongs(std::size_t index, int songs);
// Whether the current entry is the last of the play order's round that
// isn't refused: the end of the list, shuffled or not.
bool playlistAtRoundEnd();
// Whether every entry not refused plays the same module (its songs).
bool playlistOneModule();
// What follows a pass (RepeatMode): kList after playlistBuild.
void playlistSetRepeat(RepeatMode mode);
RepeatMode playlistRepeat();
// Empties the list and gives its memory back: no shuffle, seed 0.
void playlistClear();
