// View 1: the pattern being played.
#pragma once

#include <SDL/SDL.h>

#include "player/now_playing.h"

// Repaints the whole screen from the background and what plays: the header
// (position, tempo, volume) and 25 rows of the playing pattern around the
// current row. Up to 4 channels get a full cell each (note, instrument,
// effect); 5 or more a compact one (note and instrument) under a line of
// channel numbers, at most kChannelsShown at once. Draws nothing while nothing
// plays. Does not present the screen.
void drawPattern(SDL_Surface* screen, SDL_Surface* background, const NowPlaying& now);
