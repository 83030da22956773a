// The state file. Text, one record a line:
//   zindle state 1
//   shuffle yes|no          (the buttons' last choices, when made)
//   separation 0..100
//   repeat list|one|none
//   list                    (then for each list, the most recent first:)
//   path REAL-PATH          (each path the list was made from, in order)
//   module REAL-PATH        (the module playing)
// Paths are written with '\' as "\\" and a line feed as "\n".
#include "app/resume_state.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/playlist.h"
#include "app/settings.h"
#include "audio/separation_text.h"
#include "platform/files.h"

namespace {

constexpr const char* kHeader = "zindle state 1";
// The lists the state remembers, the most recent first.
constexpr std::size_t kKeptLists = 20;
// A state bigger than this is no state of ours.
constexpr std::size_t kMaxStateBytes = std::size_t{16} << 20;

struct ListRecord {
    std::vector<std::string> paths;
    std::string module;
};

std::vector<ListRecord> lists;  // the most recent first
Settings choices;
// This run's list: the paths as given, and as the state knows them.
std::vector<std::string> given;
std::vector<std::string> list_paths;
// The state as last read or written: the same text is not written again.
std::string written;
bool complained = false;

// One line on standard error, the first time only.
void complain(const std::string& text) {
    if (complained) return;
    complained = true;
    std::fprintf(stderr, "zindle: %s\n", text.c_str());
}

std::string realPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

std::string escaped(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

bool unescape(const std::string& text, std::string& path) {
    path.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            path += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        if (text[i] == '\\')
            path += '\\';
        else if (text[i] == 'n')
            path += '\n';
        else
            return false;
    }
    return !path.empty();
}

// The text after "word " at the start of line, when line starts so.
bool field(const std::string& line, const char* word, std::string& rest) {
    const std::size_t n = std::strlen(word);
    if (line.compare(0, n, word) != 0 || line.size() <= n || line[n] != ' ') return false;
    rest = line.substr(n + 1);
    return true;
}

// Reads text into the lists and choices; false when it is not a whole state.
bool parse(const std::string& text) {
    std::vector<ListRecord> read;
    Settings read_choices;
    std::size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;  // cut short
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        std::string rest, path;
        int percent = 0;
        if (first) {
            if (line != kHeader) return false;
            first = false;
        } else if (line == "list") {
            read.emplace_back();
        } else if (field(line, "path", rest) && !read.empty() && read.back().module.empty() && unescape(rest, path)) {
            read.back().paths.push_back(path);
        } else if (field(line, "module", rest) && !read.empty() && !read.back().paths.empty() &&
                   read.back().module.empty() && unescape(rest, path)) {
            read.back().module = path;
        } else if (field(line, "shuffle", rest) && (rest == "yes" || rest == "no")) {
            read_choices.shuffle = rest == "yes";
        } else if (field(line, "separation", rest) && parseSeparation(rest, SeparationText::kShortDigits, percent)) {
            read_choices.separation = percent;
        } else if (RepeatMode mode{}; field(line, "repeat", rest) && parseRepeat(rest, mode)) {
            read_choices.repeat = mode;
        } else {
            return false;
        }
    }
    if (first) return false;
    for (const ListRecord& list : read)
        if (list.module.empty()) return false;
    if (read.size() > kKeptLists) read.resize(kKeptLists);
    lists = std::move(read);
    choices = read_choices;
    return true;
}

std::string serialize() {
    std::string text = std::string(kHeader) + "\n";
    if (choices.shuffle) text += std::string("shuffle ") + (*choices.shuffle ? "yes" : "no") + "\n";
    if (choices.separation) text += "separation " + std::to_string(*choices.separation) + "\n";
    if (choices.repeat) text += std::string("repeat ") + repeatWord(*choices.repeat) + "\n";
    for (const ListRecord& list : lists) {
        text += "list\n";
        for (const std::string& path : list.paths) text += "path " + escaped(path) + "\n";
        text += "module " + escaped(list.module) + "\n";
    }
    return text;
}

void readState(const std::string& file) {
    std::string text;
    const SmallFileRead read = readSmallFile(file, kMaxStateBytes, text);
    if (read == SmallFileRead::kCantOpen && errno == ENOENT) {
        written = serialize();  // nothing to keep yet: nothing to write either
    } else if (read == SmallFileRead::kCantOpen || read == SmallFileRead::kCantRead) {
        complain("can't read " + file + ": " + std::strerror(errno) + "; the list starts afresh");
    } else if (read == SmallFileRead::kTooLong || !parse(text)) {
        complain(file + " is no state Zindle can read; the list starts afresh");
    } else {
        written = text;
    }
}

// Writes text over the state file, making its folders (private to the user) first.
bool writeState(const std::string& file, const std::string& text) {
    return makeFolders(file.substr(0, file.rfind('/')), kPrivateFolders) && replaceFile(file, text);
}

// Entry index as the state knows it: the real path of the path it came
// from, and for an entry found in a folder its path below that folder.
std::string entryPath(std::size_t index) {
    const std::size_t argument = playlistArgument(index);
    if (argument >= list_paths.size()) return playlistPath(index);
    if (!playlistFromFolder(index)) return list_paths[argument];
    const std::string& path = playlistPath(index);
    std::size_t below = std::min(given[argument].size(), path.size());
    while (below < path.size() && path[below] == '/') ++below;
    return list_paths[argument] + "/" + path.substr(below);
}

// The state file's path; "" when neither XDG_STATE_HOME (absolute) nor HOME is set.
std::string resumeStatePath() { return userStateFile("state"); }

}  // namespace

void resumeOpen(int count, char* const* paths) {
    resumeClose();
    for (int i = 0; i < count; ++i) {
        given.emplace_back(paths[i]);
        list_paths.push_back(realPath(paths[i]));
    }
    const std::string file = resumeStatePath();
    if (!file.empty()) readState(file);
}

std::size_t resumeEntry() {
    for (const ListRecord& list : lists) {
        if (list.paths != list_paths) continue;
        for (std::size_t i = 0; i < playlistSize(); ++i)
            if (entryPath(i) == list.module) return i;
        break;
    }
    return playlistSize();
}

Settings resumeChoices() { return choices; }

void resumeSetChoices(const Settings& made) { choices = made; }

void resumeSave() {
    const std::string file = resumeStatePath();
    if (file.empty()) return;
    if (playlistSize() > 1) {
        for (auto it = lists.begin(); it != lists.end(); ++it) {
            if (it->paths == list_paths) {
                lists.erase(it);
                break;
            }
        }
        lists.insert(lists.begin(), ListRecord{list_paths, entryPath(playlistCurrent())});
        if (lists.size() > kKeptLists) lists.resize(kKeptLists);
    }
    const std::string text = serialize();
    if (text == written) return;
    if (!writeState(file, text)) {
        complain("can't keep the place in " + file + ": " + std::strerror(errno));
        return;
    }
    written = text;
}

void resumeClose() {
    lists.clear();
    choices = Settings{};
    given.clear();
    list_paths.clear();
    written.clear();
    complained = false;
}
