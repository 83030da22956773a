// The player's video mode and how the screen reaches it: the window or the
// full screen, at which scale, and the presenting of each new picture.
#pragma once

#include <optional>

// Whether SDL's video driver (by SDL_VideoDriverName) draws on a console or
// framebuffer, as a handheld's does, where the player takes the full screen
// unless told otherwise.
bool videoDriverIsConsole(const char* driver);
// After SDL_Init, before any other video mode: sets the mode for scale
// (1..kMaxScale, or kAutoScale: the largest that fits the display, or three
// quarters of it in a window; 1 on the dummy and text drivers) and full screen
// (unset: videoDriverIsConsole), black where the picture isn't, and makes
// `screen`: the video surface itself at 320x240, else a 320x240 RGB565 surface
// of its own. A mode that can't be set falls back, saying so in a line, to a
// 320x240 window. False after saying why when no mode can be set.
bool videoOpen(int scale, std::optional<bool> fullscreen);
// Main thread, under screen_mutex: brings screen's picture to the display,
// scaled and centred.
void videoPresent();
// Frees what videoOpen made (before SDL_Quit); screen is null.
void videoClose();
