// What the player's settings are: shuffle and the stereo separation, each as
// the command line, the buttons' last choice or the settings file gives it.
#pragma once

#include <optional>

// Each kind of setting, when given.
struct Settings {
    std::optional<bool> shuffle;    // the list in a random order
    std::optional<int> separation;  // stereo separation in percent, 0..100
};
