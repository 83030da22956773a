// What --info tells about a module, as text for a person or as one JSON
// object per line for scripts: title, format, song, samples and the length
// of one pass.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "player/protracker_loader.h"

// The kind of MOD file a module was read from.
struct ModuleFormat {
    std::string tag;  // the four tag bytes as in the file
    int channels;
    int samples;      // sample slots in the file's header: 31 or 15
};

// The format of module, loaded from the file at path.
ModuleFormat moduleFormat(const Module& module, const std::string& path);

// Prints what is known of module (loaded from path; one pass lasts
// pass_frames frames at 48000 Hz) for a person, ending with an empty line.
void printInfoText(std::FILE* out, const std::string& path, const Module& module, std::uint64_t pass_frames);
// The same as one JSON object on one line. Strings are ASCII: control bytes
// and bytes above 126 are escaped, the latter read as ISO 8859-1.
void printInfoJson(std::FILE* out, const std::string& path, const Module& module, std::uint64_t pass_frames);
