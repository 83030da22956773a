#include "app/folder_browser.h"

#include <unordered_map>

#include "app/playlist.h"

namespace {

// The entry's name below the folder it was found in, without the song's
// " #K" (a module's songs share its file).
std::string fileName(std::size_t entry) {
    std::string name = playlistName(entry);
    const int song = playlistSong(entry);
    if (song > 0) name.resize(name.size() - (" #" + std::to_string(song + 1)).size());
    return name;
}

// The folders of name ("a/b/" of "a/b/x.mod"; "" for "x.mod").
std::string dirOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

// The folder given that entry was found in, as given (without a closing '/').
std::string argumentFolder(std::size_t entry) {
    const std::string& path = playlistPath(entry);
    const std::string below = fileName(entry);
    std::string folder = below.size() < path.size() ? path.substr(0, path.size() - below.size()) : path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool oneArgument() {
    for (std::size_t i = 1; i < playlistSize(); ++i)
        if (playlistArgument(i) != playlistArgument(0)) return false;
    return true;
}

}  // namespace

FolderPlace folderRoot() {
    if (playlistSize() > 0 && playlistFromFolder(0) && oneArgument()) return {playlistArgument(0), ""};
    return {kTopArgument, ""};
}

bool folderOneFileNamed() { return playlistSize() > 0 && !playlistFromFolder(0) && oneArgument(); }

FolderPlace folderHolding(std::size_t entry) {
    if (entry >= playlistSize()) return folderRoot();
    if (!playlistFromFolder(entry)) return {kTopArgument, ""};
    return {playlistArgument(entry), dirOf(fileName(entry))};
}

std::vector<FolderRow> folderRows(const FolderPlace& place) {
    std::vector<FolderRow> folders, modules;
    std::unordered_map<std::string, std::size_t> folder_at;  // a folder's row, by its name
    const auto countIn = [&](const std::string& name, std::size_t entry) {
        const auto [it, fresh] = folder_at.emplace(name, folders.size());
        if (fresh) folders.push_back({true, entry, 0, name});
        if (playlistSong(entry) == 0) ++folders[it->second].modules;
    };
    const bool top = place.argument == kTopArgument;
    for (std::size_t i = 0; i < playlistSize(); ++i) {
        if (playlistRefused(i)) continue;
        if (top) {
            if (playlistFromFolder(i))
                countIn(argumentFolder(i), i);
            else
                modules.push_back({false, i, 0, playlistName(i)});
            continue;
        }
        if (playlistArgument(i) != place.argument || !playlistFromFolder(i)) continue;
        const std::string name = playlistName(i);
        if (name.compare(0, place.dir.size(), place.dir) != 0) continue;
        const std::size_t slash = name.find('/', place.dir.size());
        if (slash == std::string::npos)
            modules.push_back({false, i, 0, name.substr(place.dir.size())});
        else
            countIn(name.substr(place.dir.size(), slash - place.dir.size()), i);
    }
    folders.insert(folders.end(), modules.begin(), modules.end());
    return folders;
}

FolderPlace folderInside(const FolderPlace& place, const FolderRow& row) {
    if (place.argument == kTopArgument) return {playlistArgument(row.entry), ""};
    return {place.argument, place.dir + row.name + "/"};
}

FolderPlace folderAbove(const FolderPlace& place) {
    if (place == folderRoot() || place.argument == kTopArgument) return place;
    if (place.dir.empty()) return {kTopArgument, ""};
    const std::size_t slash = place.dir.rfind('/', place.dir.size() - 2);
    return {place.argument, slash == std::string::npos ? std::string() : place.dir.substr(0, slash + 1)};
}

std::string folderName(const FolderPlace& place) {
    if (folderRoot().argument != kTopArgument) return place.dir;
    for (std::size_t i = 0; i < playlistSize() && place.argument != kTopArgument; ++i)
        if (playlistArgument(i) == place.argument && playlistFromFolder(i)) return argumentFolder(i) + "/" + place.dir;
    return place.dir;
}
