// Test helpers for pictures: off-screen 16-bit surfaces, a plain copy of a
// picture's RGB565 pixels, and reading text back from it cell by cell by
// matching the font's glyphs.
#pragma once

#include <SDL/SDL.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/textout.h"

namespace screentext {

using SurfacePtr = std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)>;

// A 320x240 RGB565 surface in memory (rows of 640 bytes), filled with fill.
inline SurfacePtr makeSurface(std::uint16_t fill = 0) {
    SurfacePtr s(SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 16, 0xF800, 0x07E0, 0x001F, 0), SDL_FreeSurface);
    if (s) SDL_FillRect(s.get(), nullptr, fill);
    return s;
}

inline std::uint16_t& pixelAt(SDL_Surface* s, int x, int y) {
    return static_cast<std::uint16_t*>(s->pixels)[y * (s->pitch / 2) + x];
}

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> pixels;  // RGB565, row by row
    std::uint16_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    bool operator==(const Image& o) const {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};

inline Image imageOf(SDL_Surface* s) {
    Image img;
    img.width = s->w;
    img.height = s->h;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) img.pixels.push_back(pixelAt(s, x, y));
    return img;
}

// The 64 ink bits of a glyph, bit r * 8 + k for row r, column k.
inline std::uint64_t glyphMask(int code) {
    std::uint64_t mask = 0;
    for (int r = 0; r < 8; ++r)
        for (int k = 0; k < 8; ++k)
            if (__bitmapFont[static_cast<std::size_t>(r * kFontSheetWidth + (code - 32) * 8 + k)] != 0)
                mask |= std::uint64_t{1} << (r * 8 + k);
    return mask;
}

// Reads count cells from (x, y): a cell whose ink matches a glyph gives its
// character, one without ink a space, anything else '@' (a code with no ink).
inline std::string readText(const Image& img, int x, int y, int count,
                            const std::function<bool(std::uint16_t)>& is_ink) {
    std::string text;
    for (int n = 0; n < count; ++n, x += 8) {
        std::uint64_t mask = 0;
        for (int r = 0; r < 8; ++r)
            for (int k = 0; k < 8; ++k)
                if (is_ink(img.at(x + k, y + r))) mask |= std::uint64_t{1} << (r * 8 + k);
        char found = mask == 0 ? ' ' : '@';
        for (int code = 33; code <= 126 && found == '@'; ++code)
            if (glyphMask(code) == mask) found = static_cast<char>(code);
        text += found;
    }
    return text;
}

inline std::string readText(const Image& img, int x, int y, int count, std::uint16_t colour) {
    return readText(img, x, y, count, [colour](std::uint16_t p) { return p == colour; });
}

// Reads count glyphs set 7 pixels apart (the compact pattern cells), matching
// each on its first seven columns: the eighth is the next glyph's first.
inline std::string readNarrowText(const Image& img, int x, int y, int count, std::uint16_t colour) {
    constexpr std::uint64_t kSevenColumns = 0x7F7F7F7F7F7F7F7Full;
    std::string text;
    for (int n = 0; n < count; ++n, x += 7) {
        std::uint64_t mask = 0;
        for (int r = 0; r < 8; ++r)
            for (int k = 0; k < 7; ++k)
                if (img.at(x + k, y + r) == colour) mask |= std::uint64_t{1} << (r * 8 + k);
        char found = mask == 0 ? ' ' : '@';
        for (int code = 33; code <= 126 && found == '@'; ++code)
            if ((glyphMask(code) & kSevenColumns) == mask) found = static_cast<char>(code);
        text += found;
    }
    return text;
}

// The two-digit numbers set 7 pixels apart along the line at y, wherever
// they stand, left to right, each followed by a space (the channel numbers
// over compact cells).
inline std::string readNarrowNumbers(const Image& img, int y, std::uint16_t colour) {
    std::string numbers;
    for (int x = 0; x + 14 <= img.width;) {
        const std::string two = readNarrowText(img, x, y, 2, colour);
        if (two.size() == 2 && std::isdigit(static_cast<unsigned char>(two[0])) &&
            std::isdigit(static_cast<unsigned char>(two[1]))) {
            numbers += two + " ";
            x += 14;
        } else {
            ++x;
        }
    }
    return numbers;
}

}  // namespace screentext
