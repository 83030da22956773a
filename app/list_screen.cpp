#include "app/list_screen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/folder_browser.h"
#include "app/key_map.h"
#include "app/module_probe.h"
#include "app/playlist.h"
#include "app/settings.h"
#include "audio/audio_mixer.h"
#include "player/shown_text.h"

namespace {

constexpr int kNameColumns = kListColumns - 1;  // after the mark of the one playing
constexpr long kMsPerSecond = 1000;
constexpr long kSecondsPerMinute = 60;

bool open_now = false;
// The folder shown, and the cursor's row there: a module entry, or the
// folder whose first entry it is (kept by entry, so that it stays on its row
// as entries are added before it or refused).
FolderPlace place{kTopArgument, ""};
bool cursor_on_folder = false;
std::size_t cursor_entry = 0;

// The rows of the folder shown, found again only when it changes or the
// list does (songs' entries added, entries refused): a list of thousands
// of names is not walked again for each page drawn.
std::vector<FolderRow> rows_now;
FolderPlace rows_place{kTopArgument, ""};
std::size_t rows_size = 0, rows_playable = 0;
bool rows_known = false;

const std::vector<FolderRow>& rowsShown() {
    if (!rows_known || !(rows_place == place) || rows_size != playlistSize() || rows_playable != playlistPlayable()) {
        rows_now = folderRows(place);
        rows_place = place;
        rows_size = playlistSize();
        rows_playable = playlistPlayable();
        rows_known = true;
    }
    return rows_now;
}

// The cursor's row among rows: the first of its kind from its entry on (the
// entry may have been refused), else the last of its kind, else the first.
std::size_t cursorRow(const std::vector<FolderRow>& rows) {
    std::size_t last_of_kind = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].folder != cursor_on_folder) continue;
        if (rows[i].entry >= cursor_entry) return i;
        last_of_kind = i;
    }
    return last_of_kind;
}

void putCursor(const FolderRow& row) {
    cursor_on_folder = row.folder;
    cursor_entry = row.entry;
}

// The entry's place in the whole list among the entries not refused (0..):
// the list's "n/N" is the whole list's, whatever folder it shows.
std::size_t shownBefore(std::size_t entry) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < entry && i < playlistSize(); ++i)
        if (!playlistRefused(i)) ++n;
    return n;
}

// The seconds of one pass of song (0..) of a module; -1 while not known.
long songSeconds(const ModuleFacts& facts, int song) {
    if (!facts.known || facts.failed) return -1;
    const auto k = static_cast<std::size_t>(song);
    return k < facts.songs.size() && k > 0 ? static_cast<long>(facts.songs[k].pass_frames / kOutputRate)
                                           : facts.duration_ms / kMsPerSecond;
}

// A row as the list shows it: its name read as UTF-8 and drawn as the font
// draws it (player/shown_text.h), a folder's with a '/'; at the right end
// what follows the name (a folder's modules, a module's length), the name
// cut at the front when both don't fit.
void lineOf(const std::string& name, const std::string& right, char (&out)[kListColumns + 1]) {
    const std::size_t room = right.empty() ? kNameColumns : kNameColumns - right.size() - 1;
    std::string text = shownFromUtf8(name);
    if (text.size() > room) text = ".." + text.substr(text.size() - room + 2);
    if (!right.empty()) text += std::string(kNameColumns - text.size() - right.size(), ' ') + right;
    std::snprintf(out, sizeof out, "%s", text.c_str());
}

// What the list tells of song (0..) of a module: its format, channels and
// the song's one-pass length.
void describe(const ModuleFacts& facts, int song, char (&out)[kListColumns + 1]) {
    const long seconds = songSeconds(facts, song);
    if (!facts.known) {
        std::snprintf(out, sizeof out, "...");
    } else if (seconds < 0) {
        std::snprintf(out, sizeof out, "?");
    } else {
        char text[96];
        std::snprintf(text, sizeof text, "%.12s, %d channels, %ld:%02ld", facts.format.c_str(), facts.channels,
                      seconds / kSecondsPerMinute, seconds % kSecondsPerMinute);
        std::memcpy(out, text, sizeof out - 1);
        out[sizeof out - 1] = '\0';
    }
}

}  // namespace

void listOpen(std::size_t entry) {
    open_now = true;
    rows_known = false;
    place = folderHolding(entry);
    cursor_on_folder = false;
    cursor_entry = entry;
}

void listClose() {
    open_now = false;
    probeWantPage({});
}

bool listIsOpen() { return open_now; }

std::size_t listCursorEntry() { return cursor_entry; }

ListAction listKey(SDLKey key) {
    const KeyAction action = keyAction(key, KeyPlace::kList);
    if (action == KeyAction::kLeaveFolder) {
        const FolderPlace left = place;
        place = folderAbove(place);
        for (const FolderRow& row : rowsShown())
            if (row.folder && folderInside(place, row) == left) putCursor(row);
        return ListAction::kNone;
    }
    const std::vector<FolderRow>& rows = rowsShown();
    if (rows.empty()) return action == KeyAction::kClose ? ListAction::kClose : ListAction::kNone;
    const std::size_t at = cursorRow(rows);
    const std::size_t last = rows.size() - 1;
    std::size_t to = at;
    switch (action) {
    case KeyAction::kUp: to = at == 0 ? last : at - 1; break;
    case KeyAction::kDown: to = at == last ? 0 : at + 1; break;
    case KeyAction::kPageUp: to = at < kListLines ? 0 : at - kListLines; break;
    case KeyAction::kPageDown: to = std::min(at + kListLines, last); break;
    case KeyAction::kEnterFolder:
        if (!rows[at].folder) return ListAction::kNone;
        place = folderInside(place, rows[at]);  // rows is found again below
        if (!rowsShown().empty()) putCursor(rowsShown().front());
        return ListAction::kNone;
    case KeyAction::kPlay: putCursor(rows[at]); return ListAction::kPlay;
    case KeyAction::kClose: return ListAction::kClose;
    case KeyAction::kShuffle: return ListAction::kToggleShuffle;
    case KeyAction::kSeparation: return ListAction::kStepSeparation;
    case KeyAction::kRepeat: return ListAction::kStepRepeat;
    case KeyAction::kSleep: return ListAction::kStepSleep;
    default: return ListAction::kNone;
    }
    putCursor(rows[to]);
    return ListAction::kNone;
}

void listEntriesAdded(std::size_t after, std::size_t count) {
    if (cursor_entry > after) cursor_entry += count;
}

ListPage listPage(std::size_t playing, const ListModes& modes) {
    ListPage page{};
    const std::vector<FolderRow>& rows = rowsShown();
    page.cursor = -1;
    std::snprintf(page.status, sizeof page.status, "Shuffle: %s  Separation: %d", modes.shuffle ? "on" : "off",
                  modes.separation);
    char sleep[16] = "off";
    if (modes.sleep_minutes > 0) std::snprintf(sleep, sizeof sleep, "%d min", modes.sleep_minutes);
    std::snprintf(page.modes, sizeof page.modes, "Repeat: %s  Sleep: %s", repeatWord(modes.repeat), sleep);
    std::string title = modes.at_end ? "End of the list" : "Modules";
    if (rows.empty()) {
        std::snprintf(page.title, sizeof page.title, "%s", title.c_str());
        return page;
    }
    const std::size_t at = cursorRow(rows);
    putCursor(rows[at]);
    std::snprintf(page.position, sizeof page.position, "%zu/%zu", shownBefore(cursor_entry) + 1,
                  playlistPlayable());
    // Below the root the title names the folder shown, cut at the front to
    // leave a blank before the position.
    if (!modes.at_end && !(place == folderRoot())) {
        const std::size_t room = kListColumns - 2 - std::strlen(page.position);
        title = shownFromUtf8(folderName(place));
        if (title.size() > room) title = ".." + title.substr(title.size() - room + 2);
    }
    std::snprintf(page.title, sizeof page.title, "%s", title.c_str());
    const bool lengths = !folderOneFileNamed();
    std::vector<std::string> wanted;  // the probe's: the cursor's module first, then the page's
    if (!rows[at].folder) wanted.push_back(playlistPath(rows[at].entry));
    const std::size_t first = at / kListLines * kListLines;
    for (std::size_t i = first; i < rows.size() && page.count < kListLines; ++i) {
        const FolderRow& row = rows[i];
        ListLine& line = page.lines[page.count];
        std::string right;
        if (row.folder) {
            right = std::to_string(row.modules);
        } else if (lengths) {
            const long seconds = songSeconds(probeFacts(playlistPath(row.entry)), playlistSong(row.entry));
            if (seconds >= 0) {
                char length[24];
                std::snprintf(length, sizeof length, "%ld:%02ld", seconds / kSecondsPerMinute,
                              seconds % kSecondsPerMinute);
                right = length;
            }
            wanted.push_back(playlistPath(row.entry));
        }
        lineOf(row.folder ? row.name + "/" : row.name, right, line.text);
        line.playing = !row.folder && row.entry == playing;
        if (i == at) page.cursor = page.count;
        ++page.count;
    }
    probeWantPage(wanted);
    if (rows[at].folder)
        std::snprintf(page.info, sizeof page.info, "%zu module%s", rows[at].modules, rows[at].modules == 1 ? "" : "s");
    else
        describe(probeFacts(playlistPath(cursor_entry)), playlistSong(cursor_entry), page.info);
    return page;
}
