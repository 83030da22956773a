// The video mode and the presenting of the screen. The views draw at
// 320x240 whatever the display; here the picture is brought to the display
// at a whole scale, centred on black, by the main thread alone.
#include "app/video_out.h"

#include <SDL/SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "display/scaler.h"
#include "display/screen.h"
#include "display/views.h"

namespace {

// Drivers that draw on a console or framebuffer: full screen by default.
constexpr std::array<std::string_view, 7> kConsoleDrivers = {"fbcon", "directfb", "svgalib", "ggi",
                                                              "vgl",   "wscons",   "ps2gs"};
// Drivers that show nothing (dummy) or the picture as characters (caca,
// aalib): the picture stays 320x240 unless a scale is asked for.
constexpr std::array<std::string_view, 3> kPlainDrivers = {"dummy", "caca", "aalib"};
// A window takes at most this share of the display, in each dimension.
constexpr int kWindowShareNumerator = 3;
constexpr int kWindowShareDenominator = 4;

constexpr std::uint32_t kRedMask = 0xF800;
constexpr std::uint32_t kGreenMask = 0x07E0;
constexpr std::uint32_t kBlueMask = 0x001F;

SDL_Surface* video = nullptr;
// The picture at its scale in the screen's format, for a video surface of
// a depth the scaler doesn't write (8 or 24 bits): SDL converts it from
// there. Null when not needed.
SDL_Surface* stretched = nullptr;
ScreenLayout layout;
ScreenLayout stretched_layout;  // the picture filling stretched

template <std::size_t N>
bool isOneOf(const char* driver, const std::array<std::string_view, N>& names) {
    for (const std::string_view name : names)
        if (name == driver) return true;
    return false;
}

SDL_Surface* makeRgb565(int width, int height) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, kScreenDepth, kRedMask, kGreenMask, kBlueMask, 0);
}

}  // namespace

bool videoDriverIsConsole(const char* driver) { return isOneOf(driver, kConsoleDrivers); }

bool videoOpen(int scale, std::optional<bool> fullscreen) {
    char driver[32] = "";
    SDL_VideoDriverName(driver, sizeof driver);
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    const int display_w = info ? info->current_w : 0;
    const int display_h = info ? info->current_h : 0;
    const bool full = fullscreen.value_or(videoDriverIsConsole(driver));
    if (scale == kAutoScale) {
        if (isOneOf(driver, kPlainDrivers))
            scale = 1;
        else if (full)
            scale = scalerFit(display_w, display_h);
        else
            scale = scalerFit(display_w * kWindowShareNumerator / kWindowShareDenominator,
                              display_h * kWindowShareNumerator / kWindowShareDenominator);
    }
    int width = kScreenWidth * scale;
    int height = kScreenHeight * scale;
    if (full) {
        // The display as it is; a picture bigger than it asks for more.
        width = std::max(width, display_w);
        height = std::max(height, display_h);
    }
    // The views draw on a surface of 320x240 alone; a bigger one takes the
    // display's own format, which SDL brings to the display without a
    // conversion of every pixel of it: the scaler converts each of the
    // screen's pixels once instead.
    const bool own_screen = width != kScreenWidth || height != kScreenHeight;
    video = SDL_SetVideoMode(width, height, kScreenDepth,
                             (full ? SDL_FULLSCREEN : 0) | (own_screen ? SDL_ANYFORMAT : 0));
    // A mode smaller than asked would cut the picture: as good as none.
    if (video && (video->w < kScreenWidth * scale || video->h < kScreenHeight * scale)) video = nullptr;
    if (!video && (width != kScreenWidth || height != kScreenHeight || full)) {
        std::fprintf(stderr, "zindle: can't set a %dx%d video mode (%s), %dx%d instead\n", width, height,
                     SDL_GetError(), kScreenWidth, kScreenHeight);
        scale = 1;
        video = SDL_SetVideoMode(kScreenWidth, kScreenHeight, kScreenDepth, 0);
    }
    if (!video) {
        std::fprintf(stderr, "Couldn't set video mode: %s\n", SDL_GetError());
        return false;
    }
    layout = scalerLayout(video->w, video->h, scale, video->format);
    if (video->w == kScreenWidth && video->h == kScreenHeight) {
        screen = video;  // nothing to scale: the views draw on the display's surface
        return true;
    }
    screen = makeRgb565(kScreenWidth, kScreenHeight);
    if (screen && !scalerTakes(video->format)) stretched = makeRgb565(kScreenWidth * scale, kScreenHeight * scale);
    if (!screen || (!scalerTakes(video->format) && !stretched)) {
        std::fprintf(stderr, "Couldn't create the screen: %s\n", SDL_GetError());
        return false;
    }
    if (stretched) stretched_layout = scalerLayout(stretched->w, stretched->h, scale, stretched->format);
    SDL_FillRect(screen, nullptr, 0);
    SDL_FillRect(video, nullptr, 0);
    SDL_UpdateRect(video, 0, 0, 0, 0);
    return true;
}

void videoPresent() {
    if (!video) return;
    if (screen == video) {
        SDL_UpdateRect(video, 0, 0, 0, 0);
        return;
    }
    const int w = kScreenWidth * layout.scale;
    const int h = kScreenHeight * layout.scale;
    if (stretched) {
        scalerBlit(screen, stretched, stretched_layout);
        SDL_Rect at{static_cast<Sint16>(layout.x), static_cast<Sint16>(layout.y), 0, 0};
        SDL_BlitSurface(stretched, nullptr, video, &at);
    } else if (SDL_LockSurface(video) == 0) {
        scalerBlit(screen, video, layout);
        SDL_UnlockSurface(video);
    }
    SDL_UpdateRect(video, layout.x, layout.y, static_cast<Uint32>(w), static_cast<Uint32>(h));
}

void videoClose() {
    if (screen != video && screen) SDL_FreeSurface(screen);
    if (stretched) SDL_FreeSurface(stretched);
    stretched = nullptr;
    screen = nullptr;
    video = nullptr;
}
