// The module list screen's state and keys: the folder it shows
// (app/folder_browser.h), which row the cursor is on, and what a key does
// there. The player carries out what the keys ask (play, close, shuffle,
// separation) and draws the page this module makes.
#pragma once

#include <SDL/SDL.h>

#include <cstddef>

#include "app/settings_values.h"
#include "display/list_view.h"

enum class ListAction { kNone, kPlay, kClose, kToggleShuffle, kStepSeparation, kStepRepeat, kStepSleep };

// What the list's status lines show, and whether it opened at the end of
// the list (its title then says so).
struct ListModes {
    bool shuffle = false;
    int separation = 100;
    RepeatMode repeat = RepeatMode::kList;
    int sleep_minutes = 0;  // left; 0: off
    bool at_end = false;
};

// Opens the list on the folder holding entry (the one playing), the cursor on it.
void listOpen(std::size_t entry);
void listClose();
bool listIsOpen();
// What key does in the list (key_map's list actions); the cursor's moves
// (up and down around the folder, page_up, page_down) and the folder's
// (enter_folder, leave_folder) are made here.
ListAction listKey(SDLKey key);
// The list entry under the cursor: its module, or a folder's first module.
std::size_t listCursorEntry();
// The page to draw: playing is the entry playing, modes what the status
// lines show. Asks the probe for the cursor's module, then the page's.
ListPage listPage(std::size_t playing, const ListModes& modes);
// count entries were put in after entry after: the cursor stays on its entry.
void listEntriesAdded(std::size_t after, std::size_t count);
