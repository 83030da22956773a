// The whole-number scaling of the screen: a row of the picture is widened
// once, each pixel converted to the display's format and written scale
// times, and the widened row then copied to the scale-1 rows under it.
#include "display/scaler.h"

#include <algorithm>
#include <cstring>

#include "display/screen.h"

namespace {

constexpr std::uint32_t kRedMask = 0xF800;
constexpr std::uint32_t kGreenMask = 0x07E0;
constexpr std::uint32_t kBlueMask = 0x001F;

// An RGB565 value (or a part of one) in format: each component widened to
// eight bits by a shift and narrowed to the format's by another, as SDL's own
// conversions do; shifts keep ORed parts apart, so a pixel's is the OR of its
// two bytes'.
std::uint32_t convert(std::uint32_t pixel, const SDL_PixelFormat* f) {
    const std::uint32_t r = (pixel & kRedMask) >> 11 << 3;
    const std::uint32_t g = (pixel & kGreenMask) >> 5 << 2;
    const std::uint32_t b = (pixel & kBlueMask) << 3;
    return (r >> f->Rloss << f->Rshift) | (g >> f->Gloss << f->Gshift) | (b >> f->Bloss << f->Bshift);
}

template <typename Pixel>
void blitRows(const SDL_Surface* from, SDL_Surface* to, const ScreenLayout& layout) {
    const int scale = layout.scale;
    const auto row_bytes = static_cast<std::size_t>(kScreenWidth * scale) * sizeof(Pixel);
    auto* target = static_cast<std::uint8_t*>(to->pixels) + layout.y * to->pitch +
                   layout.x * static_cast<int>(sizeof(Pixel));
    for (int y = 0; y < kScreenHeight; ++y) {
        const auto* source =
            reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(from->pixels) + y * from->pitch);
        auto* wide = reinterpret_cast<Pixel*>(target);
        for (int x = 0; x < kScreenWidth; ++x) {
            const Pixel p = layout.same_format ? static_cast<Pixel>(source[x])
                                               : static_cast<Pixel>(layout.from_high[source[x] >> 8] |
                                                                    layout.from_low[source[x] & 0xFF]);
            for (int i = 0; i < scale; ++i) *wide++ = p;
        }
        for (int i = 1; i < scale; ++i) std::memcpy(target + i * to->pitch, target, row_bytes);
        target += scale * to->pitch;
    }
}

}  // namespace

int scalerFit(int width, int height) {
    const int fit = std::min(width / kScreenWidth, height / kScreenHeight);
    return std::clamp(fit, 1, kMaxScale);
}

bool scalerTakes(const SDL_PixelFormat* format) {
    return format->BytesPerPixel == 2 || format->BytesPerPixel == 4;
}

ScreenLayout scalerLayout(int width, int height, int scale, const SDL_PixelFormat* format) {
    ScreenLayout layout;
    layout.width = width;
    layout.height = height;
    layout.scale = scale;
    layout.x = (width - kScreenWidth * scale) / 2;
    layout.y = (height - kScreenHeight * scale) / 2;
    layout.bytes_per_pixel = format->BytesPerPixel;
    layout.same_format = format->BytesPerPixel == 2 && format->Rmask == kRedMask && format->Gmask == kGreenMask &&
                         format->Bmask == kBlueMask;
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        layout.from_high[byte] = convert(byte << 8, format);
        layout.from_low[byte] = convert(byte, format);
    }
    return layout;
}

void scalerBlit(const SDL_Surface* from, SDL_Surface* to, const ScreenLayout& layout) {
    if (layout.bytes_per_pixel == 4)
        blitRows<std::uint32_t>(from, to, layout);
    else
        blitRows<std::uint16_t>(from, to, layout);
}
