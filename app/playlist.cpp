// The player's list of modules. It is made from directory entries alone, so
// that a card with thousands of files starts at once: only the module that
// plays is ever read, when its turn comes.
#include "app/playlist.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

struct Entry {
    std::string path;
    bool refused;  // the loader turned it down once: not tried again
};

std::vector<Entry> entries;
std::size_t current = 0;
std::size_t refused_count = 0;

// Folders already read, by device and inode: a folder reached again through
// a link, or a loop of links, is not read twice.
using Visited = std::set<std::pair<dev_t, ino_t>>;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

constexpr unsigned char foldCase(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Ignoring ASCII case first, then byte by byte, so that the order is the
// same on every machine whatever its locale.
bool nameBefore(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = foldCase(static_cast<unsigned char>(a[i]));
        const unsigned char y = foldCase(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // std::string compares bytes as unsigned
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

enum class Kind { kFile, kFolder, kOther };

// What an entry is. Only links and entries the file system doesn't type
// cost a stat; a broken link, a device, a pipe or a socket is kOther.
Kind kindOf(const std::string& path, unsigned char type) {
    if (type == DT_REG) return Kind::kFile;
    if (type == DT_DIR) return Kind::kFolder;
    if (type != DT_LNK && type != DT_UNKNOWN) return Kind::kOther;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return Kind::kOther;
    if (S_ISDIR(st.st_mode)) return Kind::kFolder;
    return S_ISREG(st.st_mode) ? Kind::kFile : Kind::kOther;
}

void addFolder(const std::string& folder, Visited& visited) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second) return;
    // The names are read and the folder closed before going down into it,
    // so that no depth of folders runs out of file descriptors. A path too
    // long to open ends the descent.
    std::vector<std::pair<std::string, unsigned char>> names;
    {
        const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
        if (!dir) return;
        while (const dirent* e = readdir(dir.get()))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name, e->d_type);
    }
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return nameBefore(a.first, b.first); });
    for (const auto& [name, type] : names) {
        const std::string path = joinPath(folder, name);
        switch (kindOf(path, type)) {
        case Kind::kFile: entries.push_back({path, false}); break;
        case Kind::kFolder: addFolder(path, visited); break;
        case Kind::kOther: break;
        }
    }
}

// Names a refused entry in one line, written at once (standard error is
// unbuffered), its control bytes shown as '?'.
void reportRefused(const std::string& path) {
    std::string name = path;
    for (char& ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
    std::fputs(("Couldn't load " + name + ": skipped\n").c_str(), stderr);
}

}  // namespace

std::size_t playlistBuild(int count, char* const* paths) {
    playlistClear();
    Visited visited;
    for (int i = 0; i < count; ++i) {
        const std::string path = paths[i];
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            addFolder(path, visited);
        else
            entries.push_back({path, false});  // the loader says what it is
    }
    return entries.size();
}

std::size_t playlistSize() { return entries.size(); }

const std::string& playlistPath(std::size_t index) { return entries[index].path; }

std::size_t playlistCurrent() { return current; }

Module* playlistLoad(std::size_t from, int step, LoadRefusal* why) {
    const std::size_t n = entries.size();
    if (n == 0) return nullptr;
    std::size_t i = from % n;
    for (std::size_t tried = 0; tried < n; ++tried, i = step < 0 ? (i + n - 1) % n : (i + 1) % n) {
        Entry& entry = entries[i];
        if (entry.refused) continue;
        if (Module* module = zindleLoad(entry.path.c_str(), why)) {
            current = i;
            return module;
        }
        entry.refused = true;
        ++refused_count;
        if (n > 1) reportRefused(entry.path);
    }
    return nullptr;
}

std::size_t playlistPlayable() { return entries.size() - refused_count; }

void playlistClear() {
    std::vector<Entry>().swap(entries);
    current = 0;
    refused_count = 0;
}
