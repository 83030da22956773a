// View 2 (a bar meter per sample) and view 4 (an oscilloscope per channel).
#pragma once

#include <array>

#include <SDL/SDL.h>

#include "player/protracker_loader.h"

constexpr int kColtabSize = 768;
// The rainbow: a half-bright colour wheel of RGB565 values, in six segments
// of 128 entries (red, yellow, green, cyan, blue, magenta, back to red).
extern const std::array<int, kColtabSize> coltab;

// Paints view 2 from the module's meters: titles, and a column of '#' per
// sample, meter characters high, standing on the bottom line. Does not
// present the screen.
void drawSampleViewer(SDL_Surface* screen, Module* module);
// Paints view 4: titles and one trace per channel's voice of the next 256
// sample bytes it will play, scaled by its volume: up to 4 tall ones, or for
// 5 or more channels up to kChannelsShown of half the height, from
// firstShownChannel on (with the group named on the title line when the
// module has more than kChannelsShown). The voices and the module's title
// fields are copied together under the audio lock first, so that each
// voice's fields belong together. Does not present the screen.
void drawQuadrascopes(SDL_Surface* screen, Module* module);
