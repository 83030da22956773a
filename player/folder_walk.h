// The files under the paths given to a program, in the order the player
// plays them and the renderer renders them. Only directory entries are read:
// no file is opened.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct WalkedFile {
    std::string path;    // as given, or the folder given joined with the names below it
    std::string folder;  // the folder argument it was found under; "" when named itself
    std::size_t argument = 0;  // the index of that path, or of itself, among the paths given
};

// The files under paths: a path that is a folder gives the files it holds,
// read recursively (each folder's entries sorted by name, ignoring ASCII
// case, then byte order; names starting with '.' skipped; links followed,
// each folder entered once, so a loop of links ends; what is neither a file
// nor a folder skipped); any other path is listed as given.
std::vector<WalkedFile> folderWalk(const std::vector<std::string>& paths);

// path relative to the folder it was found under ("a/x.mod" for
// "songs/a/x.mod" under "songs"); its base name when named itself.
std::string folderRelativePath(const WalkedFile& file);
