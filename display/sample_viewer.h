// View 2 (a bar meter per sample) and view 4 (an oscilloscope per channel).
#pragma once

#include <array>

#include <SDL/SDL.h>

#include "player/now_playing.h"

constexpr int kColtabSize = 768;
// The rainbow: a half-bright colour wheel of RGB565 values, in six segments
// of 128 entries (red, yellow, green, cyan, blue, magenta, back to red).
extern const std::array<int, kColtabSize> coltab;

// Paints view 2 from what plays and the views' meters: titles, and a column
// of '#' per instrument, meter characters high, standing on the bottom line;
// up to kMeterColumns at once, from firstShownInstrument on (the group named
// on the title line when there are more). Nothing when nothing is shown.
// Does not present the screen.
void drawSampleViewer(SDL_Surface* screen, const NowPlaying& now);
// Paints view 4: titles and one trace per channel, from firstShownChannel
// on, of the next 256 sample points its voice will play, scaled by its
// volume: up to 4 tall ones, or for 5 or more channels up to kChannelsShown
// of half the height (with the group named on the title line when the module
// has more than kChannelsShown). voices holds the shown channels' voices,
// copied under the audio lock together with now. Nothing when nothing is
// shown. Does not present the screen.
void drawQuadrascopes(SDL_Surface* screen, const NowPlaying& now, const ScopeVoice* voices);
