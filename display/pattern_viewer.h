// View 1: the pattern being played, around the current row.
#pragma once

#include <SDL/SDL.h>

#include "player/protracker_loader.h"

extern const int period_tab[37];
extern const char name_tab[38][4];
extern const char hextable[17];

// Repaints the whole screen from the background and the module's mirrored
// position. Draws nothing while nothing plays or the module isn't loaded.
// Does not present the screen.
void drawPattern(SDL_Surface* screen, SDL_Surface* background, Module* module);
