// The player's list of modules. It is made from directory entries alone, so
// that a card with thousands of files starts at once: only the module that
// plays is ever read, when its turn comes.
#include "app/playlist.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "player/folder_walk.h"

namespace {

struct Entry {
    std::string path;
    std::string folder;      // the folder argument it was found under; "" when named itself
    std::uint32_t argument;  // the command-line path it came from
    bool refused;            // no engine took it: not tried again
    int song = 0;            // the module's song it plays (0: the first)
    bool songs_known = false;  // its module's songs have their entries
};

std::vector<Entry> entries;
RepeatMode repeat = RepeatMode::kList;
std::size_t current = 0;
std::size_t refused_count = 0;

// Shuffled, the entries in the order this round plays them; empty in the
// list's own order (place and entry are then the same number).
bool shuffled = false;
std::vector<std::size_t> order;
// The current entry's place in the play order.
std::size_t place = 0;
std::uint64_t random_state = 0;

// splitmix64: the same numbers from the same seed on every machine.
std::uint64_t nextRandom() {
    std::uint64_t z = (random_state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// A number in 0..bound-1 (bound >= 1), each as likely: draws from the top
// end, which would favour the low numbers, are drawn again.
std::size_t randomBelow(std::size_t bound) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    std::uint64_t r = nextRandom();
    while (r >= limit) r = nextRandom();
    return static_cast<std::size_t>(r % bound);
}

// A new random order of all entries; lead (when an entry) goes first.
void shuffleOrder(std::size_t lead) {
    const std::size_t n = entries.size();
    order.resize(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    for (std::size_t i = n; i > 1; --i) std::swap(order[i - 1], order[randomBelow(i)]);
    if (lead < n) std::swap(order.front(), *std::find(order.begin(), order.end(), lead));
}

std::size_t entryAt(std::size_t at) { return shuffled ? order[at] : at; }

std::size_t placeOf(std::size_t entry) {
    return shuffled ? static_cast<std::size_t>(std::find(order.begin(), order.end(), entry) - order.begin()) : entry;
}

// Past the round's last entry: shuffled, a new order. (loadFrom keeps the
// entry that just played from leading it.)
void nextRound() {
    if (shuffled) shuffleOrder(entries.size());
}

// A new round's first entry that loads must not be the one that just played,
// or it plays twice in a row: the entries before it may be refused (known
// already, or found so now), so the rule is applied to the first entry not
// refused, not to the round's first. That entry goes to the last place of
// the round not refused, changing places with the entry there.
void keepFromLeading(std::size_t at) {
    for (std::size_t back = order.size(); back-- > at + 1;)
        if (!entries[order[back]].refused) {
            std::swap(order[at], order[back]);
            return;
        }
}

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

// playlistLoad from a place in the play order (entries.size(): the first
// place of the next round). Each entry not refused yet is either loaded or
// refused when its place comes, and a round holds every entry: the loop ends
// within two rounds.
LoadedSong* loadFrom(std::size_t at, int step, LoadRefusal* why) {
    const std::size_t n = entries.size();
    const std::size_t played = current;
    bool round_begun = false;   // a new round began here, and nothing of it loaded yet
    while (refused_count < n) {
        if (at >= n) {
            nextRound();
            at = 0;
            round_begun = shuffled;
        }
        if (round_begun && entryAt(at) == played && !entries[played].refused) {
            keepFromLeading(at);
            round_begun = false;
        }
        Entry& entry = entries[entryAt(at)];
        if (!entry.refused) {
            LoadRefusal refusal;
            LoadedSong* song = songLoad(entry.path.c_str(), &refusal);
            if (why) *why = refusal;
            if (song) {
                current = entryAt(at);
                place = at;
                return song;
            }
            entry.refused = true;
            ++refused_count;
            // A file named alone is reported by the caller, with the whole story.
            if (n > 1 || !entry.folder.empty()) reportRefused(entry.path, refusal);
        }
        at = step < 0 ? (at + n - 1) % n : at + 1;
    }
    return nullptr;
}

}  // namespace

std::size_t playlistBuild(int count, char* const* paths) {
    playlistClear();
    for (WalkedFile& file : folderWalk(std::vector<std::string>(paths, paths + count)))
        entries.push_back({std::move(file.path), std::move(file.folder), static_cast<std::uint32_t>(file.argument), false,
                           0, false});
    return entries.size();
}

std::size_t playlistSize() { return entries.size(); }

const std::string& playlistPath(std::size_t index) { return entries[index].path; }

std::size_t playlistArgument(std::size_t index) { return entries[index].argument; }

bool playlistFromFolder(std::size_t index) { return !entries[index].folder.empty(); }

std::size_t playlistCurrent() { return current; }

LoadedSong* playlistLoad(std::size_t from, int step, LoadRefusal* why) {
    if (entries.empty()) return nullptr;
    return loadFrom(placeOf(from % entries.size()), step, why);
}

LoadedSong* playlistStep(int step, LoadRefusal* why) {
    const std::size_t n = entries.size();
    if (n == 0) return nullptr;
    return loadFrom(step < 0 ? (place + n - 1) % n : place + 1, step, why);
}

bool playlistRefused(std::size_t index) { return index < entries.size() && entries[index].refused; }

std::string playlistName(std::size_t index) {
    const Entry& entry = entries[index];
    std::string name = entry.folder.empty() ? entry.path : folderRelativePath({entry.path, entry.folder});
    if (entry.song > 0) name += " #" + std::to_string(entry.song + 1);
    return name;
}

int playlistSong(std::size_t index) { return index < entries.size() ? entries[index].song : 0; }

std::size_t playlistSetSongs(std::size_t index, int songs) {
    if (index >= entries.size() || entries[index].song != 0 || entries[index].songs_known) return 0;
    entries[index].songs_known = true;
    if (songs <= 1) return 0;
    const auto added = static_cast<std::size_t>(songs - 1);
    std::vector<Entry> more(added, entries[index]);
    for (std::size_t k = 0; k < added; ++k) more[k].song = static_cast<int>(k + 1);
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(index + 1), more.begin(), more.end());
    // Entries after it move down; in a shuffled round its songs follow it.
    const auto moved = [&](std::size_t entry) { return entry > index ? entry + added : entry; };
    if (shuffled) {
        const std::size_t at = placeOf(index);
        for (std::size_t& entry : order) entry = moved(entry);
        std::vector<std::size_t> songs_order(added);
        for (std::size_t k = 0; k < added; ++k) songs_order[k] = index + 1 + k;
        order.insert(order.begin() + static_cast<std::ptrdiff_t>(at + 1), songs_order.begin(), songs_order.end());
        if (place > at) place += added;
    } else if (place > index) {
        place += added;
    }
    current = moved(current);
    return added;
}

bool playlistAtRoundEnd() {
    for (std::size_t at = place + 1; at < entries.size(); ++at)
        if (!entries[entryAt(at)].refused) return false;
    return true;
}

bool playlistOneModule() {
    const std::string* path = nullptr;
    for (const Entry& entry : entries) {
        if (entry.refused) continue;
        if (path && *path != entry.path) return false;
        path = &entry.path;
    }
    return true;
}

void playlistSetRepeat(RepeatMode mode) { repeat = mode; }

RepeatMode playlistRepeat() { return repeat; }

std::size_t playlistPlayable() { return entries.size() - refused_count; }

std::size_t playlistPosition() {
    std::size_t playable = 0;
    for (std::size_t at = 0; at < place && at < entries.size(); ++at)
        if (!entries[entryAt(at)].refused) ++playable;
    return playable;
}

std::size_t playlistFirst() { return entries.empty() ? 0 : entryAt(0); }

void playlistSetShuffle(bool on, std::size_t lead) {
    shuffled = on;
    if (on) {
        shuffleOrder(lead);
        place = lead < entries.size() ? 0 : placeOf(current);
    } else {
        std::vector<std::size_t>().swap(order);
        place = current;
    }
}

bool playlistShuffled() { return shuffled; }

void playlistSetSeed(std::uint64_t seed) { random_state = seed; }

void playlistClear() {
    std::vector<Entry>().swap(entries);
    std::vector<std::size_t>().swap(order);
    current = 0;
    place = 0;
    refused_count = 0;
    shuffled = false;
    random_state = 0;
    repeat = RepeatMode::kList;
}
