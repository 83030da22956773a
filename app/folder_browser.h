// The module list seen one folder at a time: the folders of the list's
// entries, found from their names below the paths given (no folder is read
// again), each folder's rows — its folders first, then its modules — and the
// way up and down between them. The list itself (its order, shuffle, N) is
// the playlist's; this is only a view of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A folder of the view: below the path given argument, the folder dir
// ("" for that path itself, else "a/b/"); the top level (kTopArgument)
// lists the paths given.
struct FolderPlace {
    std::size_t argument;
    std::string dir;
    bool operator==(const FolderPlace& other) const { return argument == other.argument && dir == other.dir; }
};
constexpr std::size_t kTopArgument = SIZE_MAX;

// One row of a folder: a folder below it, or a module entry (a song of it).
struct FolderRow {
    bool folder;
    std::size_t entry;    // the module's entry; a folder's first entry in the list's order
    std::size_t modules;  // a folder's modules below it, at any depth (songs counted once)
    std::string name;     // the module's name or the folder's, as the list shows them
};

// Where leaving stops: the one folder given, or the top level listing the paths given.
FolderPlace folderRoot();
// The folder that holds entry (the top level for a file given by name).
FolderPlace folderHolding(std::size_t entry);
// The rows of place: its folders, each where its first entry comes in the
// list, then its module entries in the list's order; refused entries (and
// folders holding nothing else) are left out.
std::vector<FolderRow> folderRows(const FolderPlace& place);
// The folder row opens from place.
FolderPlace folderInside(const FolderPlace& place, const FolderRow& row);
// The folder above place; the root stays where it is.
FolderPlace folderAbove(const FolderPlace& place);
// The folder's name as a title shows it: the folders below the one folder
// given ("a/b/"), or below a top level the path given, then those.
std::string folderName(const FolderPlace& place);
// Whether the list is one file given by name (its songs too): then it shows as a plain list.
bool folderOneFileNamed();
