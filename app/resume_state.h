// Where the player comes back to. The state file, $XDG_STATE_HOME/zindle/state
// (by default ~/.local/state/zindle/state), keeps for each of the 20 lists
// played last the module that was playing, and the last choices made with
// the buttons. A list is known by the real paths of the paths it was made
// from, in their order; a module by its real path. The file is rewritten
// (a temporary file renamed over it) each time a module starts, so that a
// player switched off mid-song comes back to that module. A missing,
// unreadable, unwritable or corrupt state never stops the player: it says
// so in one line on standard error at most, once per run.
#pragma once

#include <cstddef>
#include <string>

#include "app/settings_values.h"

// Reads the state file and takes the list as made by playlistBuild from the
// same count paths. Forgets any state read before.
void resumeOpen(int count, char* const* paths);
// The entry of the list that was playing when the list was last played;
// playlistSize() when the state has no such list, or that module is no
// longer in it.
std::size_t resumeEntry();
// The choices last made with the buttons (none before the first).
Settings resumeChoices();
// Takes choices as the last made with the buttons (written by resumeSave).
void resumeSetChoices(const Settings& choices);
// Writes the state: the list, now at the current entry (playlistCurrent()),
// first among the lists (a list of one entry, with nowhere else to start,
// is not kept), and the buttons' choices. Writes nothing when nothing changed.
void resumeSave();
// Forgets the state read and the list (as at program start).
void resumeClose();
