// The player's list of modules. It is made from directory entries alone, so
// that a card with thousands of files starts at once: only the module that
// plays is ever read, when its turn comes.
#include "app/playlist.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "player/folder_walk.h"

namespace {

struct Entry {
    std::string path;
    std::string folder;  // the folder argument it was found under; "" when named itself
    bool refused;      // no engine took it: not tried again
};

std::vector<Entry> entries;
std::size_t current = 0;
std::size_t refused_count = 0;

// Names a refused entry and why in one line, written at once (standard
// error is unbuffered), its control bytes shown as '?'.
void reportRefused(const std::string& path, const LoadRefusal& why) {
    std::string name = path;
    for (char& ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
    char reason[kRefusalTextBytes];
    zindleDescribeRefusal(why, reason, sizeof reason);
    std::fputs(("Couldn't load " + name + ": " + reason + ", skipped\n").c_str(), stderr);
}

}  // namespace

std::size_t playlistBuild(int count, char* const* paths) {
    playlistClear();
    for (WalkedFile& file : folderWalk(std::vector<std::string>(paths, paths + count)))
        entries.push_back({std::move(file.path), std::move(file.folder), false});
    return entries.size();
}

std::size_t playlistSize() { return entries.size(); }

const std::string& playlistPath(std::size_t index) { return entries[index].path; }

std::size_t playlistCurrent() { return current; }

LoadedSong* playlistLoad(std::size_t from, int step, LoadRefusal* why) {
    const std::size_t n = entries.size();
    if (n == 0) return nullptr;
    std::size_t i = from % n;
    for (std::size_t tried = 0; tried < n; ++tried, i = step < 0 ? (i + n - 1) % n : (i + 1) % n) {
        Entry& entry = entries[i];
        if (entry.refused) continue;
        LoadRefusal refusal;
        LoadedSong* song = songLoad(entry.path.c_str(), &refusal);
        if (why) *why = refusal;
        if (song) {
            current = i;
            return song;
        }
        entry.refused = true;
        ++refused_count;
        // A file named alone is reported by the caller, with the whole story.
        if (n > 1 || !entry.folder.empty()) reportRefused(entry.path, refusal);
    }
    return nullptr;
}

bool playlistRefused(std::size_t index) { return index < entries.size() && entries[index].refused; }

std::string playlistName(std::size_t index) {
    const Entry& entry = entries[index];
    return entry.folder.empty() ? entry.path : folderRelativePath({entry.path, entry.folder});
}

std::size_t playlistPlayable() { return entries.size() - refused_count; }

std::size_t playlistPosition() {
    const auto end = entries.begin() + static_cast<std::ptrdiff_t>(std::min(current, entries.size()));
    return static_cast<std::size_t>(std::count_if(entries.begin(), end, [](const Entry& e) { return !e.refused; }));
}

void playlistClear() {
    std::vector<Entry>().swap(entries);
    current = 0;
    refused_count = 0;
}
