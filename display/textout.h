// Text output with the built-in 8x8 bitmap font.
#pragma once

#include <array>
#include <cstdint>

#include <SDL/SDL.h>

constexpr int kFontFirstCode = 32;               // space
constexpr int kFontGlyphs = 95;                  // codes 32 (space) to 126 ('~')
constexpr int kFontSheetWidth = kFontGlyphs * 8;  // 760 columns, 8 rows

// The font sheet: 8 rows of 760 words, one per pixel, 1 = ink, 0 = paper.
// Row r of the glyph of code ch is at r * 760 + 8 * (ch - 32), 8 words.
extern const std::array<std::uint32_t, 8 * kFontSheetWidth> __bitmapFont;

// Draws text at (x, y), one 8x8 cell per byte, advancing x by 8. Ink pixels
// get colour; paper pixels get background_colour when opaque is 1, else stay.
// Codes outside 32..126 draw as blank cells, and so do those in it still
// without ink (" $ % & ; < = > @ [ backslash ] ^ `). Pixel (px, py) is the 16-bit
// word py * surface->w + px. No clipping: the caller keeps cells on the surface.
void textOut(SDL_Surface* surface, int x, int y, const char* text, int colour,
             int opaque, int background_colour);
