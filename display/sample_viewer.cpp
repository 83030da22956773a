#include "display/sample_viewer.h"

const int coltab[768] = {};
int colindex = 0;
int c = 0;
int colindex2 = 0;
int c2 = 0;

void drawSampleViewer(SDL_Surface*, Module*) {}
void drawQuadrascopes(SDL_Surface*, Module*) {}
