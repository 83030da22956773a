// The folder walk shared by the player and the renderer.
#include "player/folder_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

namespace {

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

void addFolder(const std::string& root, std::size_t argument, const std::string& folder, Visited& visited,
               std::vector<WalkedFile>& out) {
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
        case Kind::kFile: out.push_back({path, root, argument}); break;
        case Kind::kFolder: addFolder(root, argument, path, visited, out); break;
        case Kind::kOther: break;
        }
    }
}

}  // namespace

std::vector<WalkedFile> folderWalk(const std::vector<std::string>& paths) {
    std::vector<WalkedFile> out;
    Visited visited;
    for (std::size_t argument = 0; argument < paths.size(); ++argument) {
        const std::string& path = paths[argument];
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            addFolder(path, argument, path, visited, out);
        else
            out.push_back({path, "", argument});  // the loader says what it is
    }
    return out;
}

std::string folderRelativePath(const WalkedFile& file) {
    if (file.folder.empty()) {
        const std::size_t slash = file.path.rfind('/');
        return slash == std::string::npos ? file.path : file.path.substr(slash + 1);
    }
    std::string rest = file.path.substr(file.folder.size());
    while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    return rest;
}
