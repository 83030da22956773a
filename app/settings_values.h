// What the player's settings are: shuffle, the stereo separation, repeat and
// the status line, each as
// the command line, the buttons' last choice or the settings file gives it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/paula.h"

// What follows a module's pass: the next in the list, and after the last the
// first (kList); the same module, without end (kOne); the next, and after
// the last nothing more (kNone).
enum class RepeatMode : std::uint8_t { kList, kOne, kNone };
// Whether the status line shows: with several modules, while paused or while
// a sleep timer runs (kAuto); always; never.
enum class StatusMode : std::uint8_t { kAuto, kOn, kOff };

// A settings file's line "key.ACTION = NAME[, NAME]...": its action and
// the number of its names checked as it is read; the names themselves once
// SDL names its keys.
struct KeyLine {
    std::string file;    // the settings file
    int number = 0;      // the line's number in it
    std::string text;    // the line, as a message shows it
    std::string action;  // a name of key_map's table
    std::string names;   // NAME[, NAME]...
};

// Each kind of setting, when given.
struct Settings {
    std::optional<bool> shuffle;    // the list in a random order
    std::optional<int> separation;  // stereo separation in percent, 0..100
    std::optional<AmigaModel> amiga = std::nullopt;  // the Amiga's own sound for our engine's MODs
    std::optional<RepeatMode> repeat = std::nullopt;
    std::optional<StatusMode> status = std::nullopt;
    std::optional<int> scale = std::nullopt;        // the picture's scale, 1..8; 0: the largest that fits
    std::optional<bool> fullscreen = std::nullopt;  // the full screen rather than a window
    std::vector<KeyLine> keys = {};  // the settings file's alone, in its order
};
