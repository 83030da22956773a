// Text output with the built-in 8x8 bitmap font.
#pragma once

#include <cstdint>

#include <SDL/SDL.h>

constexpr int kFontGlyphs = 91;                  // codes 32 (space) to 122 ('z')
constexpr int kFontSheetWidth = kFontGlyphs * 8;  // 728 columns, 8 rows

// The font sheet: 8 rows of 728 words, one per pixel; non-zero = ink.
extern const std::uint32_t __bitmapFont[8 * kFontSheetWidth];

// Draws text at (x, y), one 8x8 cell per byte. Ink pixels get colour; paper
// pixels get background_colour when opaque is 1, else stay. Codes outside
// 32..122 draw as blank cells. No clipping: the caller keeps cells on the surface.
void textOut(SDL_Surface* surface, int x, int y, const char* text, int colour,
             int opaque, int background_colour);
