// View 2 (a bar meter per sample) and view 4 (four oscilloscopes).
#pragma once

#include <SDL/SDL.h>

#include "player/protracker_loader.h"

// The rainbow: 768 RGB565 colours, a half-bright colour wheel.
extern const int coltab[768];
// Colour-cycling state: offsets into coltab and the counts that move them.
extern int colindex;
extern int c;
extern int colindex2;
extern int c2;

// Paints view 2 from the module's meters. Does not present the screen.
void drawSampleViewer(SDL_Surface* screen, Module* module);
// Paints view 4 from the module and the four voices, copied together under
// the audio lock so that each voice's fields belong together. Does not
// present the screen.
void drawQuadrascopes(SDL_Surface* screen, Module* module);
