#include "app/list_screen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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
std::size_t cursor_entry = 0;

// The entries the list shows: those not refused so far, in list order.
std::vector<std::size_t> shown() {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < playlistSize(); ++i)
        if (!playlistRefused(i)) out.push_back(i);
    return out;
}

std::size_t cursorIndex(const std::vector<std::size_t>& entries) {
    const auto it = std::lower_bound(entries.begin(), entries.end(), cursor_entry);
    return it == entries.end() ? entries.size() - 1 : static_cast<std::size_t>(it - entries.begin());
}

// The entry's name as the list shows it: its path below the folder it was
// found in, read as UTF-8 and drawn as the font draws it (player/shown_text.h),
// cut at the front when it doesn't fit.
void nameOf(std::size_t entry, char (&out)[kListColumns + 1]) {
    std::string name = shownFromUtf8(playlistName(entry));
    if (name.size() > static_cast<std::size_t>(kNameColumns)) name = ".." + name.substr(name.size() - kNameColumns + 2);
    std::snprintf(out, sizeof out, "%s", name.c_str());
}

// What the list tells of song (0..) of a module: its format, channels and
// the song's one-pass length.
void describe(const ModuleFacts& facts, int song, char (&out)[kListColumns + 1]) {
    if (!facts.known) {
        std::snprintf(out, sizeof out, "...");
    } else if (facts.failed) {
        std::snprintf(out, sizeof out, "?");
    } else {
        const auto k = static_cast<std::size_t>(song);
        const long seconds = k < facts.songs.size() && k > 0
                                 ? static_cast<long>(facts.songs[k].pass_frames / kOutputRate)
                                 : facts.duration_ms / kMsPerSecond;
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
    cursor_entry = entry;
}

void listClose() { open_now = false; }

bool listIsOpen() { return open_now; }

std::size_t listCursorEntry() { return cursor_entry; }

ListAction listKey(SDLKey key) {
    const KeyAction action = keyAction(key, KeyPlace::kList);
    const std::vector<std::size_t> entries = shown();
    if (entries.empty()) return action == KeyAction::kClose ? ListAction::kClose : ListAction::kNone;
    const std::size_t at = cursorIndex(entries);
    const std::size_t last = entries.size() - 1;
    std::size_t to = at;
    switch (action) {
    case KeyAction::kUp: to = at == 0 ? 0 : at - 1; break;
    case KeyAction::kDown: to = std::min(at + 1, last); break;
    case KeyAction::kPageUp: to = at < kListLines ? 0 : at - kListLines; break;
    case KeyAction::kPageDown: to = std::min(at + kListLines, last); break;
    case KeyAction::kPlay: return ListAction::kPlay;
    case KeyAction::kClose: return ListAction::kClose;
    case KeyAction::kShuffle: return ListAction::kToggleShuffle;
    case KeyAction::kSeparation: return ListAction::kStepSeparation;
    case KeyAction::kRepeat: return ListAction::kStepRepeat;
    case KeyAction::kSleep: return ListAction::kStepSleep;
    default: return ListAction::kNone;
    }
    cursor_entry = entries[to];
    return ListAction::kNone;
}

void listEntriesAdded(std::size_t after, std::size_t count) {
    if (cursor_entry > after) cursor_entry += count;
}

ListPage listPage(std::size_t playing, const ListModes& modes) {
    ListPage page{};
    const std::vector<std::size_t> entries = shown();
    page.cursor = -1;
    std::snprintf(page.title, sizeof page.title, "%s", modes.at_end ? "End of the list" : "Modules");
    std::snprintf(page.status, sizeof page.status, "Shuffle: %s  Separation: %d", modes.shuffle ? "on" : "off",
                  modes.separation);
    char sleep[16] = "off";
    if (modes.sleep_minutes > 0) std::snprintf(sleep, sizeof sleep, "%d min", modes.sleep_minutes);
    std::snprintf(page.modes, sizeof page.modes, "Repeat: %s  Sleep: %s", repeatWord(modes.repeat), sleep);
    if (entries.empty()) return page;
    const std::size_t at = cursorIndex(entries);
    cursor_entry = entries[at];
    std::snprintf(page.position, sizeof page.position, "%zu/%zu", at + 1, entries.size());
    const std::size_t first = at / kListLines * kListLines;
    for (std::size_t i = first; i < entries.size() && page.count < kListLines; ++i) {
        ListLine& line = page.lines[page.count];
        nameOf(entries[i], line.text);
        line.playing = entries[i] == playing;
        if (i == at) page.cursor = page.count;
        ++page.count;
    }
    probeWant(playlistPath(cursor_entry));
    describe(probeFacts(playlistPath(cursor_entry)), playlistSong(cursor_entry), page.info);
    return page;
}
