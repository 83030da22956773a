// The module list screen, drawn by the main thread while the list is open:
// a title line with the cursor's "n/N", two status lines, one module a line
// (the one under the cursor highlighted, the one playing marked) and what is
// known of the module under the cursor.
#pragma once

#include <SDL/SDL.h>

constexpr int kListColumns = 40;
constexpr int kListLines = 22;  // module lines on one page

struct ListLine {
    char text[kListColumns + 1];  // the module's name, cut to fit after the mark
    bool playing;
};

struct ListPage {
    char title[kListColumns + 1];        // "Modules", or why the list opened
    char position[24];                   // "n/N" of the cursor
    char status[kListColumns + 1];       // shuffle and separation
    char modes[kListColumns + 1];        // repeat and the sleep timer
    ListLine lines[kListLines];
    int count;                           // lines in use
    int cursor;                          // the highlighted line, -1 for none
    char info[kListColumns + 1];         // the cursor's module: format, channels, length
};

// Paints the whole screen with page. Does not present it.
void drawModuleList(SDL_Surface* screen, const ListPage& page);
