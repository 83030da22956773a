// The module list screen's state and keys: which entry the cursor is on,
// which entries it shows (those not refused so far), and what a key does
// there. The player carries out what the keys ask (play, close, shuffle,
// separation) and draws the page this module makes.
#pragma once

#include <SDL/SDL.h>

#include <cstddef>

#include "display/list_view.h"

enum class ListAction { kNone, kPlay, kClose, kToggleShuffle, kStepSeparation };

// Opens the list with the cursor on entry (the one playing).
void listOpen(std::size_t entry);
void listClose();
bool listIsOpen();
// What key does in the list; Up/Down and Left/Right move the cursor here.
ListAction listKey(SDLKey key);
// The list entry under the cursor.
std::size_t listCursorEntry();
// The page to draw: playing is the entry playing, shuffle and separation
// the settings the status line shows. Asks the probe for the cursor's
// module.
ListPage listPage(std::size_t playing, bool shuffle, int separation);
