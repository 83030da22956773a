// The module list screen's state and keys: which entry the cursor is on,
// which entries it shows (those not refused so far), and what a key does
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

// Opens the list with the cursor on entry (the one playing).
void listOpen(std::size_t entry);
void listClose();
bool listIsOpen();
// What key does in the list (key_map's list actions); the cursor's moves
// (up, down, page_up, page_down) are made here.
ListAction listKey(SDLKey key);
// The list entry under the cursor.
std::size_t listCursorEntry();
// The page to draw: playing is the entry playing, modes what the status
// lines show. Asks the probe for the cursor's module.
ListPage listPage(std::size_t playing, const ListModes& modes);
// count entries were put in after entry after: the cursor stays on its entry.
void listEntriesAdded(std::size_t after, std::size_t count);
