// The player's settings, shuffle and the stereo separation: from the command
// line, from the last choice made with the buttons (kept in the state, see
// resume_state) and from the settings file, in that order of precedence.
// The buttons' actions live here too.
#pragma once

#include <optional>
#include <string>

// Each kind of setting, when given.
struct Settings {
    std::optional<bool> shuffle;    // the list in a random order
    std::optional<int> separation;  // stereo separation in percent, 0..100
};

// The settings file: $XDG_CONFIG_HOME/zindle/zindle.conf, by default
// ~/.config/zindle/zindle.conf.
std::string settingsFilePath();
// The settings in the text of a settings file named name: lines
// "separation = 0..100" and "shuffle = yes|no", '#' starting a comment, blank
// lines; the last of a kind holds. Each other line is named on standard
// error with its number and why, and skipped.
Settings settingsParse(const std::string& text, const std::string& name);
// The settings file's settings: none when it is missing; one that can't be
// read is named on standard error.
Settings settingsReadFile();
// Of each kind, the first given of command line, buttons and file.
Settings settingsChoose(const Settings& command_line, const Settings& buttons, const Settings& file);

// The separation's steps on the button, from full to mono and round again.
constexpr int kSeparationStep = 25;
// The step after percent: 100, 75, 50, 25, 0, then 100 again; from a value
// between two steps, the lower one.
int settingsNextSeparation(int percent);

// The buttons. Each changes the setting at once and keeps it in the state
// as the last choice, written at once.
// Shuffle on or off (on: the module playing leads a new round); returns the
// setting now.
bool settingsToggleShuffle();
// The mixer's separation to its next step; returns the value now.
int settingsStepSeparation();
