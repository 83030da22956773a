// Bringing the 320x240 screen to a bigger display: where the picture stands
// and at which whole scale, and the nearest-neighbour copy that puts it there
// (each source pixel a square of scale x scale, so the pixels stay sharp).
#pragma once

#include <SDL/SDL.h>

#include <array>
#include <cstdint>

// The largest scale asked for or chosen.
constexpr int kMaxScale = 8;
// Scale 0 asks for the largest that fits.
constexpr int kAutoScale = 0;

// Where the scaled picture stands on the video surface, and how an RGB565
// pixel becomes one of the video surface's: the pixel of its high byte ORed
// with that of its low byte.
struct ScreenLayout {
    int width = 0;   // of the video surface
    int height = 0;
    int scale = 1;   // 1..kMaxScale
    int x = 0;       // the picture's top-left corner
    int y = 0;
    int bytes_per_pixel = 2;  // of the video surface: 2 or 4
    bool same_format = true;  // the video surface is RGB565: pixels are copied as they are
    std::array<std::uint32_t, 256> from_high{};
    std::array<std::uint32_t, 256> from_low{};
};

// The largest whole scale (1..kMaxScale) at which 320x240 fits in width x
// height; 1 when nothing bigger fits or the size is unknown (0).
int scalerFit(int width, int height);
// Whether scalerBlit draws on a surface of format: 16 or 32 bits a pixel.
bool scalerTakes(const SDL_PixelFormat* format);
// The picture at scale centred on a video surface of width x height (at
// least the picture's size) and format (one scalerTakes), the borders equal
// or the right/bottom one a pixel wider.
ScreenLayout scalerLayout(int width, int height, int scale, const SDL_PixelFormat* format);
// Copies the 320x240 RGB565 picture from onto to (locked, or not needing a
// lock; of the layout's format) at layout's place and scale, each pixel
// converted once; the borders are left alone.
void scalerBlit(const SDL_Surface* from, SDL_Surface* to, const ScreenLayout& layout);
