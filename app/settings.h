// The player's settings, shuffle and the stereo separation: from the command
// line, from the last choice made with the buttons (kept in the state, see
// resume_state and list_choices) and from the settings file, in that order
// of precedence.
#pragma once

#include <string>
#include <vector>

#include "app/settings_values.h"

// The words of a repeat mode and of the status line's setting, as the
// command line, the settings file and the state write them: "list", "one",
// "none"; "auto", "on", "off". The parsers take those words alone.
const char* repeatWord(RepeatMode mode);
bool parseRepeat(const std::string& word, RepeatMode& mode);
bool parseStatus(const std::string& word, StatusMode& mode);
// A scale as the command line and the settings file write it: "auto"
// (kAutoScale) or 1..kMaxScale.
bool parseScale(const std::string& word, int& scale);

// The settings file's settings: none when it is missing; one that can't be
// read is named on standard error. The file, $XDG_CONFIG_HOME/zindle/zindle.conf
// (by default ~/.config/zindle/zindle.conf), holds lines "separation = 0..100",
// "amiga = a500|a1200|off",
// "shuffle = yes|no", "repeat = list|one|none", "status = auto|on|off",
// "scale = auto|1..8" and "fullscreen = yes|no",
// '#' starting a comment, and blank lines; the last
// of a kind holds. Each other line is named on standard error with its
// number and why, and skipped. Lines "key.ACTION = NAME[, NAME]..." are kept
// in keys for settingsGiveKeys.
Settings settingsReadFile();
// Every action's keys: its defaults, then the key lines' in their order,
// each line's keys in place of its action's (and taken from any other action
// of the same place). A line naming a key SDL doesn't know is named on
// standard error and skipped. SDL names its keys once its video has started.
void settingsGiveKeys(const std::vector<KeyLine>& lines);
// Of each kind, the first given of command line, buttons and file.
Settings settingsChoose(const Settings& command_line, const Settings& buttons, const Settings& file);
