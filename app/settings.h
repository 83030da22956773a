// The player's settings, shuffle and the stereo separation: from the command
// line, from the last choice made with the buttons (kept in the state, see
// resume_state and list_choices) and from the settings file, in that order
// of precedence.
#pragma once

#include "app/settings_values.h"

// The settings file's settings: none when it is missing; one that can't be
// read is named on standard error. The file, $XDG_CONFIG_HOME/zindle/zindle.conf
// (by default ~/.config/zindle/zindle.conf), holds lines "separation = 0..100"
// and "shuffle = yes|no", '#' starting a comment, and blank lines; the last
// of a kind holds. Each other line is named on standard error with its
// number and why, and skipped.
Settings settingsReadFile();
// Of each kind, the first given of command line, buttons and file.
Settings settingsChoose(const Settings& command_line, const Settings& buttons, const Settings& file);
