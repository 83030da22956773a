#include "display/pattern_viewer.h"

const int period_tab[37] = {};
const char name_tab[38][4] = {};
const char hextable[17] = "0123456789ABCDEF";

void drawPattern(SDL_Surface*, SDL_Surface*, Module*) {}
