// The list of modules the player goes through: made from the command line's
// paths by their names alone (no file is opened to make it), the entry
// playing, and the entries the engines have refused.
#pragma once

#include <cstddef>
#include <string>

#include "player/engine.h"

// Replaces the list by the files under the paths, as folderWalk finds them.
// Returns the number of entries.
std::size_t playlistBuild(int count, char* const* paths);
// The number of entries.
std::size_t playlistSize();
// The entry at index (0 <= index < playlistSize()).
const std::string& playlistPath(std::size_t index);
// The entry last loaded by playlistLoad (0 before any).
std::size_t playlistCurrent();
// Loads the first entry an engine accepts (songLoad), trying each entry once,
// going from index from by step (+1 or -1) around the list. A refused entry
// is remembered and not tried again; while the list has more than one entry
// it is named on standard error. Returns the song, which becomes the current
// entry, or null when no entry loads; then *why (when given) says why the
// last entry tried was refused (and stays as it was when none was tried).
LoadedSong* playlistLoad(std::size_t from, int step, LoadRefusal* why = nullptr);
// The entries not refused so far.
std::size_t playlistPlayable();
// Whether the loader has refused the entry at index.
bool playlistRefused(std::size_t index);
// The entry's name as a list shows it: its path below the folder it was found
// in, or the path as given.
std::string playlistName(std::size_t index);
// Where the current entry stands among the entries not refused so far (0..).
std::size_t playlistPosition();
// Empties the list and gives its memory back.
void playlistClear();
