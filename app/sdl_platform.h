// The player's platform: SDL's audio device and lock behind the engine's
// platform table, with the views drawn at the tick's redraw point.
#pragma once

#include "platform/platform.h"

extern const Platform kSdlPlatform;
