// What --info tells about a module, as text for a person or as one JSON
// object per line for scripts: title, format, song, samples and the length
// of one pass; or, for the player's module list, the three of them it shows
// on one tab-separated line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "player/folder_walk.h"

enum class InfoForm {
    kText,  // --info
    kJson,  // --json
    // --probe-line: FORMAT<TAB>CHANNELS<TAB>MILLISECONDS, the format as --info
    // names it (a MOD's tag, "" for an untagged one), the one-pass length
    // rounded to the millisecond, then <TAB>START/FRAMES/F0,F1,... per song
    // (Fi the frame of one pass of it at which position i first plays, "-"
    // for never); an empty line for a module that can't be loaded.
    kProbeLine,
};

// --info, --json and --probe-line: prints what each module among files
// holds, measuring one pass of each, to standard output, in form. A file
// found in a folder that is no module is skipped (said on standard error).
// Returns the exit status: 0, or 1 when a module couldn't be loaded (said on
// standard error, and with --json in an object of its own with an "error"
// member, with --probe-line as an empty line) or none was told of.
int printInfo(const std::vector<WalkedFile>& files, InfoForm form);

// Text from a module (its title, a sample's name; at most size bytes, up to
// the first zero) as UTF-8: the bytes read as ISO 8859-1, control
// characters, which would move a terminal's cursor, as '.'.
std::string moduleText(const char* text, std::size_t size);
