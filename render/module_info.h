// What --info tells about a module, as text for a person or as one JSON
// object per line for scripts: title, format, song, samples and the length
// of one pass.
#pragma once

#include <string>
#include <vector>

// --info and --json: prints what each module at paths holds, measuring one
// pass of each, to standard output. Returns the exit status: 0, or 1 when
// a module couldn't be loaded (which is said on standard error).
int printInfo(const std::vector<std::string>& paths, bool json);
