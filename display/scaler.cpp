// The whole-number scaling of the screen: a row of the picture is widened
// once, each pixel written scale times, and the widened row then copied to
// the scale-1 rows under it.
#include "display/scaler.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "display/screen.h"

int scalerFit(int width, int height) {
    const int fit = std::min(width / kScreenWidth, height / kScreenHeight);
    return std::clamp(fit, 1, kMaxScale);
}

ScreenLayout scalerLayout(int width, int height, int scale) {
    ScreenLayout layout;
    layout.width = width;
    layout.height = height;
    layout.scale = scale;
    layout.x = (width - kScreenWidth * scale) / 2;
    layout.y = (height - kScreenHeight * scale) / 2;
    return layout;
}

void scalerBlit(const SDL_Surface* from, SDL_Surface* to, const ScreenLayout& layout) {
    const int scale = layout.scale;
    const auto row_bytes = static_cast<std::size_t>(kScreenWidth * scale) * sizeof(std::uint16_t);
    auto* target = static_cast<std::uint8_t*>(to->pixels) + layout.y * to->pitch +
                   layout.x * static_cast<int>(sizeof(std::uint16_t));
    for (int y = 0; y < kScreenHeight; ++y) {
        const auto* source =
            reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(from->pixels) + y * from->pitch);
        auto* wide = reinterpret_cast<std::uint16_t*>(target);
        for (int x = 0; x < kScreenWidth; ++x)
            for (int i = 0; i < scale; ++i) *wide++ = source[x];
        for (int i = 1; i < scale; ++i) std::memcpy(target + i * to->pitch, target, row_bytes);
        target += scale * to->pitch;
    }
}
