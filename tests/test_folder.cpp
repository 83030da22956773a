// Playing a folder of modules: the list made from names (order, hidden
// entries, links, loops, what is not a file), refused files skipped, one
// pass of each module bit for bit as zindle-render plays it alone, fast
// switching, shuffle, coming back where a list was left, the settings, and
// the arrow keys in a real window.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/key_map.h"
#include "app/list_choices.h"
#include "app/list_screen.h"
#include "app/module_probe.h"
#include "app/playlist.h"
#include "app/resume_state.h"
#include "app/settings.h"
#include "tools/module_sets.h"
#include "audio/separation_text.h"
#include "tests/engine_harness.h"
#include "tests/process.h"
#include "tests/x11_session.h"

namespace {

using harness::TempDir;
using screentext::Image;

const std::string kZindle = ZINDLE_BIN;
const std::string kRender = ZINDLE_RENDER_BIN;
constexpr std::size_t kBufferBytes = 1024 * kBytesPerFrame;  // the device's buffer

std::string writeSong(const std::string& path, const modwriter::Song& song) {
    EXPECT_TRUE(song.write(path)) << path;
    return path;
}

std::string makeFolder(const std::string& path) {
    mkdir(path.c_str(), 0755);
    return path;
}

// The list playlistBuild makes of paths, as paths relative to base.
std::vector<std::string> listed(const std::string& base, std::vector<std::string> paths) {
    std::vector<char*> args;
    for (std::string& p : paths) args.push_back(p.data());
    playlistBuild(static_cast<int>(args.size()), args.data());
    std::vector<std::string> out;
    for (std::size_t i = 0; i < playlistSize(); ++i) {
        const std::string& p = playlistPath(i);
        out.push_back(p.compare(0, base.size() + 1, base + "/") == 0 ? p.substr(base.size() + 1) : p);
    }
    playlistClear();
    return out;
}

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A folder of everything that is not a playable module, around one module:
// a 0-byte file, a text file, one without read permission, a broken link,
// a link back to the folder, two links pointing at each other, a folder
// named like a module holding only a hidden module, a hidden module, and
// many empty files.
constexpr int kManyFiles = 10000;
void makeHostileFolder(const std::string& songs, int many) {
    makeFolder(songs);
    harness::writeBytes(songs + "/0-empty.mod", {});
    harness::writeBytes(songs + "/1-text.mod", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', '\n'});
    harness::writeBytes(songs + "/2-locked.mod", std::vector<std::uint8_t>(2000, 7));
    chmod((songs + "/2-locked.mod").c_str(), 0);
    EXPECT_EQ(symlink("no-such-file.mod", (songs + "/broken.mod").c_str()), 0);
    EXPECT_EQ(symlink(".", (songs + "/loop").c_str()), 0);
    EXPECT_EQ(symlink("pong", (songs + "/ping").c_str()), 0);
    EXPECT_EQ(symlink("ping", (songs + "/pong").c_str()), 0);
    makeFolder(songs + "/x.mod");
    writeSong(songs + "/x.mod/.hidden.mod", harness::shortSong("hidden", 125, 6));
    writeSong(songs + "/.hidden.mod", harness::shortSong("hidden", 125, 6));
    makeFolder(songs + "/many");
    for (int i = 0; i < many; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/many/e%05d.mod", i);
        std::FILE* f = std::fopen((songs + name).c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    writeSong(songs + "/z-good.mod", harness::shortSong("good", 125, 6));
}

// The offset of the first byte of sound at or after from, moved back to the
// start of its device buffer, where a module starts.
std::size_t startOfSound(const std::vector<std::uint8_t>& played, std::size_t from) {
    std::size_t at = from;
    while (at < played.size() && played[at] == 0) ++at;
    return at - at % kBufferBytes;
}

// Waits until the file at path holds a byte of sound; false on timeout.
bool waitForSound(const std::string& path, int timeout_s) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    std::size_t checked = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::vector<std::uint8_t> bytes = harness::readBytes(path);
        for (; checked < bytes.size(); ++checked)
            if (bytes[checked] != 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A module of four ticks (80 ms) whose first note, one of 13, tells it
// apart; with speed 6, 64 rows and two orders it plays 15 s.
modwriter::Song tune(int n, int speed = 1, int stop_row = 3, int orders = 1) {
    static const char* const kNotes[] = {"C-1", "D-1", "E-1", "F-1", "G-1", "A-1", "B-1",
                                         "D-2", "E-2", "F-2", "G-2", "A-2", "B-2"};
    modwriter::Song song = harness::shortSong("tune " + std::to_string(n), 125, speed, stop_row, orders);
    song.at(0, 0, 0).period = modwriter::notePeriod(kNotes[n % 13]);
    return song;
}

// What zindle-render writes for module, raw, for one pass or `seconds`.
std::vector<std::uint8_t> rendered(const TempDir& dir, const std::string& module, const std::string& seconds = "") {
    std::vector<std::string> argv = {kRender, "--raw", "--output", dir.file("r.raw"), module};
    if (!seconds.empty()) argv.insert(argv.begin() + 1, {"--seconds", seconds});
    const harness::Result r = harness::run(argv);
    EXPECT_EQ(r.status, 0) << r.err;
    return harness::readBytes(dir.file("r.raw"));
}

// The modules played, in order, by their renders (index in renders): each
// starts on a buffer boundary after the silence that ends the one before.
// Ends at the first sound no render matches whole.
std::vector<int> modulesPlayed(const std::vector<std::uint8_t>& played,
                               const std::vector<std::vector<std::uint8_t>>& renders) {
    std::vector<int> out;
    for (std::size_t at = startOfSound(played, 0); at < played.size(); at = startOfSound(played, at)) {
        int found = -1;
        for (std::size_t i = 0; i < renders.size() && found < 0; ++i)
            if (at + renders[i].size() <= played.size() &&
                std::equal(renders[i].begin(), renders[i].end(), played.begin() + static_cast<std::ptrdiff_t>(at)))
                found = static_cast<int>(i);
        if (found < 0) break;
        out.push_back(found);
        at += renders[static_cast<std::size_t>(found)].size();
    }
    return out;
}

// Waits until the player has played `count` modules (or module `until`,
// when given); returns those played.
std::vector<int> waitForModules(const std::string& audio, const std::vector<std::vector<std::uint8_t>>& renders,
                                std::size_t count, int until = -1) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<int> played;
    while (std::chrono::steady_clock::now() < deadline) {
        played = modulesPlayed(harness::readBytes(audio), renders);
        if (until >= 0 ? std::count(played.begin(), played.end(), until) > 0 : played.size() >= count) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return played;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// --- The list

TEST(Playlist, FoldersAreReadRecursivelyByNameFromNamesAlone) {
    TempDir dir;
    const std::string base = makeFolder(dir.file("songs"));
    for (const char* name : {"b.mod", "A.mod", "a.mod", "_x.mod", "B2.mod", "Zed.mod", "sub/c.mod", "sub/.d.mod",
                             ".hidden/e.mod", "\xC3\xA9t\xC3\xA9.mod", "../outside/f.mod"}) {
        const std::string path = base + "/" + name;
        makeFolder(path.substr(0, path.find_last_of('/')));
        harness::writeBytes(path, {});
    }
    mkfifo((base + "/pipe.mod").c_str(), 0644);  // never opened: it would block
    ASSERT_EQ(symlink("../outside", (base + "/ext").c_str()), 0);
    ASSERT_EQ(symlink("sub", (base + "/zz-sub").c_str()), 0);
    ASSERT_EQ(symlink("..", (base + "/sub/up").c_str()), 0);
    ASSERT_EQ(symlink("b.mod", (base + "/link.mod").c_str()), 0);
    // Case folded first ('_' before letters), then bytes ('A' before 'a');
    // a linked folder is followed, a folder already read (through zz-sub, or
    // the loop through sub/up) is not read again.
    EXPECT_EQ(listed(dir.path(), {base}),
              (std::vector<std::string>{"songs/_x.mod", "songs/A.mod", "songs/a.mod", "songs/b.mod", "songs/B2.mod",
                                        "songs/ext/f.mod", "songs/link.mod", "songs/sub/c.mod", "songs/Zed.mod",
                                        "songs/\xC3\xA9t\xC3\xA9.mod"}));
    // Paths are taken in the order given; a file, hidden or missing, as given.
    EXPECT_EQ(listed(dir.path(), {base + "/.hidden/", base + "/sub/.d.mod", dir.file("missing.mod")}),
              (std::vector<std::string>{"songs/.hidden/e.mod", "songs/sub/.d.mod", "missing.mod"}));
    // Everything that is not a module file (the player's test lists 10,000 files).
    TempDir hostile;
    makeHostileFolder(hostile.file("songs"), 2);
    EXPECT_EQ(listed(hostile.path(), {hostile.file("songs")}),
              (std::vector<std::string>{"songs/0-empty.mod", "songs/1-text.mod", "songs/2-locked.mod",
                                        "songs/many/e00000.mod", "songs/many/e00001.mod", "songs/z-good.mod"}));
}

TEST(Playlist, LoadSkipsRefusedEntriesEachWayAndRemembersThem) {
    TempDir dir;
    const std::string base = makeFolder(dir.file("songs"));
    writeSong(base + "/1.mod", harness::shortSong("one", 125, 6));
    harness::writeBytes(base + "/2.mod", {});
    writeSong(base + "/3.mod", harness::shortSong("three", 125, 6));
    std::string path = base;
    char* args[] = {path.data()};
    ASSERT_EQ(playlistBuild(1, args), 3u);

    const auto load = [](std::size_t from, int step, std::string& err) {
        testing::internal::CaptureStderr();
        LoadedSong* song = playlistLoad(from, step);
        err = testing::internal::GetCapturedStderr();
        const std::string title = song ? songFacts(song).title : "";
        songFree(song);
        return title;
    };
    std::string err;
    EXPECT_EQ(load(1, 1, err), "three");
    EXPECT_EQ(err, "Couldn't load " + base + "/2.mod: too short to be a MOD file (0 bytes), skipped\n");
    EXPECT_EQ(playlistCurrent(), 2u);
    EXPECT_EQ(load(3, 1, err), "one");  // past the last: the first
    EXPECT_EQ(load(1, -1, err), "one");
    EXPECT_EQ(err, "") << "a refused entry is tried once";
    EXPECT_EQ(load(0 + 3 - 1, -1, err), "three");  // before the first: the last
    EXPECT_EQ(playlistPlayable(), 2u);
    playlistClear();
    EXPECT_EQ(playlistLoad(0, 1), nullptr);
}

// Shuffled, each round plays every entry not refused once, in a new order;
// the same seed gives the same orders; the counter's n is the place in the
// round; Left goes back in the round; off and on again go on from the entry
// playing.
TEST(Playlist, ShufflePlaysEachEntryOncePerRound) {
    TempDir dir;
    const std::string base = makeFolder(dir.file("songs"));
    for (int i = 0; i < 5; ++i) writeSong(base + "/" + std::to_string(i) + ".mod", tune(i));
    harness::writeBytes(base + "/2-refused.mod", {});  // entry 2, sorted before 2.mod
    std::string path = base;
    char* args[] = {path.data()};
    const auto play = [&](std::uint64_t seed, int rounds) {
        playlistBuild(1, args);
        playlistSetSeed(seed);
        playlistSetShuffle(true, playlistSize());
        std::vector<std::size_t> order;
        testing::internal::CaptureStderr();
        songFree(playlistLoad(playlistFirst(), 1));
        for (int i = 0; i < 5 * rounds; ++i) {
            order.push_back(playlistCurrent());
            EXPECT_EQ(playlistPosition(), static_cast<std::size_t>(i % 5)) << i;
            songFree(playlistStep(1));
        }
        testing::internal::GetCapturedStderr();
        return order;
    };
    const std::vector<std::size_t> order = play(7, 4);
    EXPECT_EQ(playlistPlayable(), 5u);
    std::set<std::vector<std::size_t>> rounds;
    for (std::size_t r = 0; r < 4; ++r) {
        std::vector<std::size_t> round(order.begin() + 5 * r, order.begin() + 5 * r + 5);
        rounds.insert(round);
        std::sort(round.begin(), round.end());
        EXPECT_EQ(round, (std::vector<std::size_t>{0, 1, 3, 4, 5})) << "round " << r;
    }
    EXPECT_GT(rounds.size(), 1u) << "the same order every round";
    for (std::size_t i = 1; i < order.size(); ++i) EXPECT_NE(order[i], order[i - 1]) << "twice in a row at " << i;
    EXPECT_EQ(play(7, 4), order);
    EXPECT_NE(play(8, 4), order);

    // In round 5 now, at its first: Left goes to its last, and from there
    // Right begins round 6.
    songFree(playlistStep(-1));
    EXPECT_EQ(playlistPosition(), 4u);
    const std::size_t last = playlistCurrent();
    songFree(playlistStep(1));
    EXPECT_EQ(playlistPosition(), 0u);
    EXPECT_NE(playlistCurrent(), last);
    const std::size_t first = playlistCurrent();
    // Off: the list's own order from the entry playing; on: it leads a round.
    playlistSetShuffle(false, playlistSize());
    EXPECT_EQ(playlistPosition(), first - (first > 2 ? 1 : 0));
    songFree(playlistStep(1));
    EXPECT_EQ(playlistCurrent(), first == 1 ? 3u : (first + 1) % 6);
    const std::size_t playing = playlistCurrent();
    playlistSetShuffle(true, playing);
    EXPECT_EQ(playlistPosition(), 0u);
    EXPECT_EQ(playlistCurrent(), playing);
    playlistClear();
}

// Shuffled, no module plays twice in a row, on any seed, also where a new
// round's first entries are refused: the entry that ended the round is kept
// from leading the next as its first that loads, with two modules as with five.
TEST(Playlist, ShuffleNeverPlaysAModuleTwiceInARow) {
    struct Case {
        int modules;
        const char* refused;  // a file in the folder that no engine takes
    };
    for (const Case& k : {Case{2, "0-empty.mod"}, Case{2, "9-empty.mod"}, Case{5, "README.txt"}}) {
        TempDir dir;
        const std::string base = makeFolder(dir.file("songs"));
        for (int i = 0; i < k.modules; ++i) writeSong(base + "/" + std::to_string(i + 1) + ".mod", tune(i));
        harness::writeBytes(base + "/" + k.refused, {'n', 'o'});
        std::string path = base;
        char* args[] = {path.data()};
        testing::internal::CaptureStderr();
        int repeats = 0;
        for (std::uint64_t seed = 0; seed < 200; ++seed) {
            playlistBuild(1, args);
            playlistSetSeed(seed);
            playlistSetShuffle(true, playlistSize());
            songFree(playlistLoad(playlistFirst(), 1));
            for (int step = 0; step < 20; ++step) {
                const std::size_t before = playlistCurrent();
                songFree(playlistStep(1));
                if (playlistCurrent() == before) ++repeats;
            }
        }
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(repeats, 0) << k.modules << " modules and " << k.refused;
    }
    playlistClear();
}

// The list screen's keys in a folder of modules alone: Up and Down step,
// from either end round to the other; Tab and Backspace (Page Up, Page Down)
// a page of 22 lines, never past either end; Right and Left, with no folder
// to go into or out of, nothing. The page shown is the whole page the cursor
// falls in, not one scrolled along with it; the other keys ask the player.
TEST(ListScreen, KeysMoveTheCursorAndThePagesFlipWhole) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    const auto name = [](std::size_t n) {
        char text[16];
        std::snprintf(text, sizeof text, "%02zu.mod", n);
        return std::string(text);
    };
    constexpr std::size_t kEntries = 50;  // pages from 0, 22 and 44
    for (std::size_t n = 0; n < kEntries; ++n) harness::writeBytes(songs + "/" + name(n), {});
    std::string folder = songs;
    char* args[] = {folder.data()};
    ASSERT_EQ(playlistBuild(1, args), kEntries);
    struct Case {
        std::size_t from;
        SDLKey key;
        ListAction action;
        std::size_t to;
        std::size_t page;  // the entry of the page's first line
    };
    const Case cases[] = {
        {0, SDLK_DOWN, ListAction::kNone, 1, 0},       {0, SDLK_UP, ListAction::kNone, 49, 44},
        {21, SDLK_DOWN, ListAction::kNone, 22, 22},    {22, SDLK_UP, ListAction::kNone, 21, 0},
        {0, SDLK_BACKSPACE, ListAction::kNone, 22, 22}, {25, SDLK_PAGEDOWN, ListAction::kNone, 47, 44},
        {27, SDLK_BACKSPACE, ListAction::kNone, 49, 44}, {28, SDLK_BACKSPACE, ListAction::kNone, 49, 44},
        {49, SDLK_BACKSPACE, ListAction::kNone, 49, 44}, {49, SDLK_DOWN, ListAction::kNone, 0, 0},
        {30, SDLK_TAB, ListAction::kNone, 8, 0},       {21, SDLK_PAGEUP, ListAction::kNone, 0, 0},
        {47, SDLK_RETURN, ListAction::kPlay, 47, 44},  {5, SDLK_LCTRL, ListAction::kPlay, 5, 0},
        {5, SDLK_ESCAPE, ListAction::kClose, 5, 0},    {5, SDLK_LSHIFT, ListAction::kToggleShuffle, 5, 0},
        {5, SDLK_SPACE, ListAction::kStepRepeat, 5, 0}, {5, SDLK_s, ListAction::kStepSleep, 5, 0},
        {5, SDLK_LALT, ListAction::kStepSeparation, 5, 0}, {5, SDLK_a, ListAction::kNone, 5, 0},
        {5, SDLK_RIGHT, ListAction::kNone, 5, 0},      {5, SDLK_LEFT, ListAction::kNone, 5, 0},
    };
    for (const Case& k : cases) {
        const std::string what = "key " + std::to_string(k.key) + " from " + std::to_string(k.from);
        listOpen(k.from);
        EXPECT_TRUE(listKey(k.key) == k.action) << what;
        EXPECT_EQ(listCursorEntry(), k.to) << what;
        const ListPage page = listPage(0, ListModes{});
        EXPECT_STREQ(page.position, (std::to_string(k.to + 1) + "/50").c_str()) << what;
        EXPECT_EQ(page.count, static_cast<int>(std::min<std::size_t>(kListLines, kEntries - k.page))) << what;
        EXPECT_EQ(page.lines[0].text, name(k.page)) << what;
        EXPECT_EQ(page.cursor, static_cast<int>(k.to - k.page)) << what;
        listClose();
    }
    probeStop();
    playlistClear();
}

// A folder and a file given: the list opens on the folder of the module
// playing; Left goes up to the folder given, then to a top level listing
// the two paths (each folder with its count of modules), and no further;
// Right goes back in, on its first row; Return on a folder plays its first
// module. Lines are read from their ends: the paths given are cut at the front.
TEST(ListScreen, FoldersOfSeveralPathsOpenAndCloseUpToATopLevel) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    makeFolder(songs + "/a");
    for (const std::string& file : {songs + "/a/x.mod", songs + "/y.mod", dir.file("z.mod")}) harness::writeBytes(file, {});
    std::string folder = songs, file = dir.file("z.mod");
    char* args[] = {folder.data(), file.data()};
    ASSERT_EQ(playlistBuild(2, args), 3u);  // songs/a/x.mod, songs/y.mod, z.mod
    struct Step {
        SDLKey key;
        std::string title_end;
        std::vector<std::string> line_ends;  // spaces run together
        int cursor;
        std::size_t entry;
    };
    const std::vector<Step> steps = {
        {SDLK_UNKNOWN, "songs/a/", {"x.mod"}, 0, 0},
        {SDLK_LEFT, "songs/", {"a/ 1", "y.mod"}, 0, 0},
        {SDLK_LEFT, "Modules", {"songs/ 2", "z.mod"}, 0, 0},
        {SDLK_LEFT, "Modules", {"songs/ 2", "z.mod"}, 0, 0},
        {SDLK_DOWN, "Modules", {"songs/ 2", "z.mod"}, 1, 2},
        {SDLK_RIGHT, "Modules", {"songs/ 2", "z.mod"}, 1, 2},
        {SDLK_UP, "Modules", {"songs/ 2", "z.mod"}, 0, 0},
        {SDLK_RIGHT, "songs/", {"a/ 1", "y.mod"}, 0, 0},
        {SDLK_DOWN, "songs/", {"a/ 1", "y.mod"}, 1, 1},
        {SDLK_DOWN, "songs/", {"a/ 1", "y.mod"}, 0, 0},
    };
    const auto endsWith = [](const std::string& text, const std::string& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    };
    listOpen(0);
    for (std::size_t n = 0; n < steps.size(); ++n) {
        const Step& step = steps[n];
        if (step.key != SDLK_UNKNOWN) {
            EXPECT_TRUE(listKey(step.key) == ListAction::kNone) << n;
        }
        const ListPage page = listPage(0, ListModes{});
        EXPECT_TRUE(endsWith(page.title, step.title_end)) << n << ": " << page.title;
        ASSERT_EQ(page.count, static_cast<int>(step.line_ends.size())) << n;
        for (int k = 0; k < page.count; ++k) {
            std::string text;
            for (const char* c = page.lines[k].text; *c; ++c)
                if (*c != ' ' || text.empty() || text.back() != ' ') text += *c;
            EXPECT_TRUE(endsWith(text, step.line_ends[static_cast<std::size_t>(k)])) << n << ": " << text;
        }
        EXPECT_EQ(page.cursor, step.cursor) << n;
        EXPECT_EQ(listCursorEntry(), step.entry) << n;
        EXPECT_STREQ(page.position, (std::to_string(step.entry + 1) + "/3").c_str()) << n;
    }
    EXPECT_TRUE(listKey(SDLK_RETURN) == ListAction::kPlay);
    EXPECT_EQ(listCursorEntry(), 0u);
    listClose();
    probeStop();
    playlistClear();
}

// --- Where a list was left, and the settings

namespace {

// The list made of paths, with the state read for it.
void openList(std::vector<std::string> paths) {
    std::vector<char*> args;
    for (std::string& p : paths) args.push_back(p.data());
    playlistBuild(static_cast<int>(args.size()), args.data());
    resumeOpen(static_cast<int>(args.size()), args.data());
}

void closeList() {
    resumeClose();
    playlistClear();
}

// Plays entry (or the next that loads) as the player does: the state is written.
void startEntry(std::size_t entry) {
    testing::internal::CaptureStderr();
    songFree(playlistLoad(entry, 1));
    testing::internal::GetCapturedStderr();
    resumeSave();
}

}  // namespace

// The module of each of the 20 lists played last, by the real paths of the
// list's paths, and the buttons' last choices; each write a whole file.
TEST(ResumeState, KeepsTheModuleOfEachListAndTheButtonsChoices) {
    TempDir dir;
    const harness::ScopedEnv env(harness::userFolders(dir.path()));
    const std::string songs = makeFolder(dir.file("songs"));
    for (int i = 1; i <= 12; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "/%02d.mod", i);
        if (i == 7)
            writeSong(songs + name, tune(7));
        else
            harness::writeBytes(songs + name, {});
    }
    ASSERT_EQ(symlink("songs", dir.file("link").c_str()), 0);

    openList({songs});
    EXPECT_EQ(resumeEntry(), 12u) << "a new list starts at its first";
    startEntry(6);
    closeList();
    openList({dir.file("link/")});  // the same folder by another path
    EXPECT_EQ(resumeEntry(), 6u);
    closeList();
    openList({songs, songs + "/07.mod"});  // another list
    EXPECT_EQ(resumeEntry(), 13u);
    closeList();

    // 19 more lists keep it, a 20th more forgets it.
    const auto otherLists = [&](int count) {
        for (int i = 0; i < count; ++i) {
            openList({dir.file("a.mod"), dir.file("b" + std::to_string(i) + ".mod")});
            resumeSave();
            closeList();
        }
    };
    otherLists(19);
    openList({songs});
    EXPECT_EQ(resumeEntry(), 6u);
    startEntry(6);  // the most recent again
    closeList();
    otherLists(19);
    openList({songs});
    EXPECT_EQ(resumeEntry(), 6u);
    closeList();
    otherLists(20);
    openList({songs});
    EXPECT_EQ(resumeEntry(), 12u) << "kept as the 21st list";
    closeList();

    // A module no longer there: from the first.
    openList({songs});
    startEntry(6);
    closeList();
    ASSERT_EQ(rename((songs + "/07.mod").c_str(), (songs + "/07-moved.mod").c_str()), 0);
    openList({songs});
    EXPECT_EQ(resumeEntry(), 12u);

    // The buttons' choices, kept at once, and before the file's settings.
    EXPECT_FALSE(resumeChoices().shuffle);
    EXPECT_FALSE(resumeChoices().separation);
    EXPECT_TRUE(choicesToggleShuffle());
    EXPECT_EQ(choicesStepSeparation(), 75);
    EXPECT_EQ(choicesStepSeparation(), 50);
    EXPECT_EQ(audioSeparation(), 50);
    closeList();
    harness::resetGlobals();
    openList({songs});
    EXPECT_EQ(resumeChoices().shuffle, true);
    EXPECT_EQ(resumeChoices().separation, 50);
    const Settings chosen = settingsChoose({}, resumeChoices(), Settings{false, 100});
    EXPECT_EQ(chosen.shuffle, true);
    EXPECT_EQ(chosen.separation, 50);
    closeList();
    EXPECT_EQ(filesIn(dir.file("xdg-state/zindle")), std::vector<std::string>{"state"}) << "a temporary file left";

    // A corrupt state: one line, a fresh start, and a good state written again.
    harness::writeBytes(dir.file("xdg-state/zindle/state"), {'z', 'i', 'n', 0xFF, '\n'});
    testing::internal::CaptureStderr();
    openList({songs});
    EXPECT_EQ(resumeEntry(), 12u);
    EXPECT_FALSE(resumeChoices().separation);
    resumeSave();
    closeList();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zindle: " + dir.file("xdg-state/zindle/state") + " is no state Zindle can read; the list starts afresh\n");
    testing::internal::CaptureStderr();
    openList({songs});
    resumeSave();
    closeList();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A state cut short, inside its last line or before the module of its
// list, is no state: the list starts afresh, and the player says so.
TEST(ResumeState, AStateCutShortIsNoState) {
    TempDir dir;
    const harness::ScopedEnv env(harness::userFolders(dir.path()));
    const std::string songs = makeFolder(dir.file("songs"));
    for (int i = 1; i <= 3; ++i) writeSong(songs + "/" + std::to_string(i) + ".mod", tune(i));
    openList({songs});
    startEntry(1);
    EXPECT_EQ(resumeEntry(), 1u);
    closeList();
    const std::string file = dir.file("xdg-state/zindle/state");
    const std::vector<std::uint8_t> whole = harness::readBytes(file);
    ASSERT_GT(whole.size(), 2u);
    const std::string text(whole.begin(), whole.end());
    const std::size_t last_line = text.size() - (text.rfind('\n', text.size() - 2) + 1);
    for (std::size_t cut : {std::size_t{1}, std::size_t{5}, last_line}) {
        harness::writeBytes(file, std::vector<std::uint8_t>(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut)));
        testing::internal::CaptureStderr();
        openList({songs});
        EXPECT_EQ(resumeEntry(), 3u) << cut << " bytes cut";
        closeList();
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "zindle: " + file + " is no state Zindle can read; the list starts afresh\n")
            << cut << " bytes cut";
    }
}

// A state that can't be written, on a full card or where the rename over
// the old state fails, leaves no temporary file beside it; one line says so.
TEST(ResumeState, AFailedWriteLeavesNoTemporaryFile) {
    TempDir dir;
    const harness::ScopedEnv env(harness::userFolders(dir.path()));
    const std::string songs = makeFolder(dir.file("songs"));
    for (int i = 1; i <= 2; ++i) writeSong(songs + "/" + std::to_string(i) + ".mod", tune(i));
    // A list whose state is longer than the full card takes.
    constexpr rlim_t kRoomLeft = 4096;
    std::vector<std::string> paths = {songs};
    for (int i = 0; i < 40; ++i) paths.push_back(dir.file(std::string(100, 'x') + std::to_string(i) + ".mod"));
    const std::string folder = dir.file("xdg-state/zindle");
    struct Case {
        const char* what;
        bool full;
        std::vector<std::string> left;  // in the state's folder
        std::string said;               // the line's start
    };
    const Case cases[] = {
        {"a full card", true, {}, "zindle: can't keep the place in " + folder + "/state: " + std::strerror(EFBIG) + "\n"},
        {"a folder where the state goes", false, {"state"}, "zindle: can't read " + folder + "/state: "},
    };
    for (const Case& k : cases) {
        if (!k.full) {
            makeFolder(dir.file("xdg-state"));
            makeFolder(folder);
            makeFolder(folder + "/state");
            harness::writeBytes(folder + "/state/x", {'x'});
        }
        testing::internal::CaptureStderr();
        openList(paths);
        songFree(playlistLoad(0, 1));
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit saved = limit;
        void (*const was)(int) = signal(SIGXFSZ, SIG_IGN);
        if (k.full) limit.rlim_cur = kRoomLeft;
        setrlimit(RLIMIT_FSIZE, &limit);
        resumeSave();
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, was);
        closeList();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(filesIn(folder), k.left) << k.what;
        EXPECT_EQ(said.rfind(k.said, 0), 0u) << k.what << ": " << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << k.what << ": " << said;
    }
}

TEST(Settings, FileLinesCommentsAndBadLines) {
    TempDir dir;
    const harness::ScopedEnv env(harness::userFolders(dir.path()));
    const std::string conf = makeFolder(makeFolder(dir.file("xdg-config")) + "/zindle") + "/zindle.conf";
    const std::string text = "# Zindle on the handheld\n"
                             "\n"
                             "separation = 50\n"
                             "shuffle=yes   # on the bus\n"
                             "volume = 3\n"
                             "separation = 150\n"
                             "shuffle = maybe\n"
                             "  separation =  25 \r\n"
                             "nonsense\n"
                             "separation = -1\n"
                             "repeat = none\n"
                             "status=on\n"
                             "repeat = all\n"
                             "status = yes\n"
                             "scale = 9\n"
                             "fullscreen = maybe\n"
                             "scale = 3\n"
                             "fullscreen=yes\n"
                             "key.view2 = left shift, E\n"
                             "key.pause = c\n"
                             "key.jump = space\n"
                             "key.quit = lctrl\n"
                             "key.next_order = t,\n"
                             "key.play = a, b, c, d, e\n"
                             "amiga = a600\n"
                             "amiga=a1200\n";
    harness::writeBytes(conf, std::vector<std::uint8_t>(text.begin(), text.end()));
    testing::internal::CaptureStderr();
    const Settings settings = settingsReadFile();
    const std::string at = "zindle: " + conf + ":";
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              at + "5: no such setting (separation, amiga, shuffle, repeat, status, scale, fullscreen), skipped: volume = 3\n" +
              at + "6: separation takes 0 to 100, skipped: separation = 150\n" +
              at + "7: shuffle takes yes or no, skipped: shuffle = maybe\n" +
              at + "9: not \"name = value\", skipped: nonsense\n" +
              at + "10: separation takes 0 to 100, skipped: separation = -1\n" +
              at + "13: repeat takes list, one or none, skipped: repeat = all\n" +
              at + "14: status takes auto, on or off, skipped: status = yes\n" +
              at + "15: scale takes auto or 1 to 8, skipped: scale = 9\n" +
              at + "16: fullscreen takes yes or no, skipped: fullscreen = maybe\n" +
              at + "21: no such action (zindle --help names them), skipped: key.jump = space\n" +
              at + "23: a key line takes SDL's names of keys, separated by commas, skipped: key.next_order = t,\n" +
              at + "24: an action takes 4 keys at most, skipped: key.play = a, b, c, d, e\n" +
              at + "25: amiga takes a500, a1200 or off, skipped: amiga = a600\n");
    EXPECT_TRUE(settings.amiga == AmigaModel::kA1200);
    EXPECT_EQ(settings.separation, 25);
    EXPECT_TRUE(settings.repeat == RepeatMode::kNone);
    EXPECT_TRUE(settings.status == StatusMode::kOn);
    EXPECT_EQ(settings.shuffle, true);
    EXPECT_EQ(settings.scale, 3);
    EXPECT_EQ(settings.fullscreen, true);
    // SDL names its keys once its video has started: then the key lines'
    // names are looked up, and c leaves the channels for pause.
    const harness::ScopedEnv video(harness::Env{{"SDL_VIDEODRIVER", "dummy"}});
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    testing::internal::CaptureStderr();
    settingsGiveKeys(settings.keys);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              at + "22: no key named \"lctrl\" (SDL's names: left ctrl, page down, e, ...), skipped: key.quit = lctrl\n");
    const std::pair<SDLKey, KeyAction> player[] = {{SDLK_e, KeyAction::kView2}, {SDLK_LSHIFT, KeyAction::kView2},
                                                   {SDLK_c, KeyAction::kPause}, {SDLK_p, KeyAction::kNone},
                                                   {SDLK_ESCAPE, KeyAction::kQuit}, {SDLK_LCTRL, KeyAction::kView1}};
    for (const auto& [key, action] : player) EXPECT_TRUE(keyAction(key, KeyPlace::kPlayer) == action) << key;
    EXPECT_TRUE(keyAction(SDLK_LSHIFT, KeyPlace::kList) == KeyAction::kShuffle);
    settingsGiveKeys({});
    EXPECT_TRUE(keyAction(SDLK_c, KeyPlace::kPlayer) == KeyAction::kChannels);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    harness::writeBytes(conf, {'s', 'h', 'u', 'f', 'f', 'l', 'e', '=', 'n', 'o', '\n'});
    EXPECT_FALSE(settingsReadFile().separation);
}

// The separation's text in each shape a reader of it takes: -1 is refused.
TEST(Settings, SeparationTextInEachShape) {
    using S = SeparationText;
    struct Case {
        std::string_view text;
        int digits, short_digits, number;
    };
    const Case cases[] = {
        {"0", 0, 0, 0},          {"50", 50, 50, 50},      {"100", 100, 100, 100}, {"101", -1, -1, -1},
        {"0050", 50, -1, 50},    {"000", 0, 0, 0},        {"", -1, -1, -1},       {" 50", -1, -1, 50},
        {"\t+50", -1, -1, 50},   {"-0", -1, -1, 0},       {"-1", -1, -1, -1},     {"50 ", -1, -1, -1},
        {"+", -1, -1, -1},       {"5x", -1, -1, -1},      {"99999999999999999999999", -1, -1, -1},
        {std::string_view("5\0", 2), -1, -1, -1},
    };
    for (const Case& k : cases) {
        const std::pair<S, int> forms[] = {{S::kDigits, k.digits}, {S::kShortDigits, k.short_digits}, {S::kNumber, k.number}};
        for (const auto& [form, want] : forms) {
            int percent = -1;
            EXPECT_EQ(parseSeparation(k.text, form, percent) ? percent : -1, want) << '"' << k.text << "\" " << static_cast<int>(form);
        }
    }
}

// A settings file that can't be read is said in one line and the run goes
// on without it; a missing one says nothing. The state's folders are made
// private to the user.
TEST(Settings, AFileThatCantBeReadIsSaid) {
    TempDir dir;
    const harness::ScopedEnv env(harness::userFolders(dir.path()));
    const std::string conf = makeFolder(makeFolder(dir.file("xdg-config")) + "/zindle") + "/zindle.conf";
    const struct {
        void (*make)(const std::string& conf);
        std::string said;
    } cases[] = {
        {[](const std::string&) {}, ""},
        {[](const std::string& conf) { mkdir(conf.c_str(), 0755); }, "zindle: can't read " + conf + ": Is a directory\n"},
        {[](const std::string& conf) {
             rmdir(conf.c_str());
             harness::writeBytes(conf, std::vector<std::uint8_t>(64 * 1024 + 1, '#'));
         },
         "zindle: can't read " + conf + ": too long for a settings file\n"},
    };
    for (const auto& k : cases) {
        k.make(conf);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(settingsReadFile().separation);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), k.said);
    }
    resumeSetChoices(Settings{true, std::nullopt});
    resumeSave();
    resumeClose();
    struct stat info {};
    ASSERT_EQ(stat(dir.file("xdg-state/zindle").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(Settings, ButtonStepsAndPrecedence) {
    TempDir dir;
    const harness::ScopedEnv env(harness::userFolders(dir.path()));
    const std::pair<int, int> steps[] = {{100, 75}, {75, 50}, {50, 25}, {25, 0}, {0, 100},
                                         {99, 75}, {60, 50}, {26, 25}, {1, 0}};
    for (const auto& [from, to] : steps) {
        audioSetSeparation(from);
        EXPECT_EQ(choicesStepSeparation(), to) << from;
    }
    resumeClose();
    harness::resetGlobals();
    const Settings none, line{false, 80}, buttons{true, 0}, file{true, 50};
    struct Case {
        const Settings* command_line;
        const Settings* buttons;
        bool shuffle;
        int separation;
    };
    const Case cases[] = {{&line, &buttons, false, 80}, {&none, &buttons, true, 0}, {&none, &none, true, 50}};
    for (const Case& k : cases) {
        const Settings chosen = settingsChoose(*k.command_line, *k.buttons, file);
        EXPECT_EQ(chosen.shuffle, k.shuffle);
        EXPECT_EQ(chosen.separation, k.separation);
    }
    EXPECT_FALSE(settingsChoose(none, none, none).separation);
}

// --- The player on a folder

// After the silence before the start: module 1's one pass, exactly as
// zindle-render renders it alone, a short silence, module 2's, and so on to
// the last, then module 1 again: a MOD on our engine, then an XM, an S3M and
// an IT on libxmp's. The passes end inside device buffers; the next module
// starts on a buffer boundary.
TEST(Player, PlaysEachModuleOfAFolderForOnePassThenTheFirstAgain) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    std::vector<std::string> modules = {writeSong(songs + "/1.mod", harness::shortSong("one", 126, 3))};  // 64 x 3 x 952 frames
    // Cut short: the player says so as it starts the module.
    const std::string two = songs + "/2.mod";  // 64 x 2 x 923 frames
    harness::writeCutShort(two, harness::shortSong("two", 130, 2), 600);
    modules.push_back(two);
    for (harness::TrackerFormat format : harness::kTrackerFormats) {
        const std::string name = songs + "/" + std::to_string(modules.size() + 1) + harness::trackerExtension(format);
        harness::writeBytes(name, harness::trackerBytes(format, harness::trackerSong(format)));  // 48 x 3 x 960 frames
        modules.push_back(name);
    }
    std::vector<std::vector<std::uint8_t>> renders;
    for (const std::string& module : modules) {
        const harness::Result r = harness::run({kRender, "--raw", "--output", dir.file("r.raw"), module});
        ASSERT_EQ(r.status, 0) << r.err;
        renders.push_back(harness::readBytes(dir.file("r.raw")));
    }
    ASSERT_EQ(renders[0].size(), 64u * 3 * 952 * kBytesPerFrame);
    ASSERT_EQ(renders[1].size(), 64u * 2 * 923 * kBytesPerFrame);
    for (std::size_t n = 2; n < renders.size(); ++n) ASSERT_EQ(renders[n].size(), 48u * 3 * 960 * kBytesPerFrame);

    const std::vector<int> order = {0, 1, 2, 3, 4, 0};
    std::size_t wanted = 48000 * kBytesPerFrame;
    for (const int n : order) wanted += renders[static_cast<std::size_t>(n)].size();
    ASSERT_EQ(harness::playHeadless({kZindle, songs}, dir.path(), static_cast<off_t>(wanted), 120), 0)
        << harness::readText(dir.file("err"));
    // Module 2 started twice: after module 1, and again in the last second.
    EXPECT_EQ(countOf(harness::readText(dir.file("err")),
                      two + ": sample data cut short: 600 bytes missing (sample 2: 600), played as silence\n"), 2u)
        << harness::readText(dir.file("err"));
    const std::vector<std::uint8_t> played = harness::readBytes(dir.file("audio.raw"));
    std::size_t at = startOfSound(played, 0);
    for (const int n : order) {
        const std::vector<std::uint8_t>& expected = renders[static_cast<std::size_t>(n)];
        ASSERT_LE(at + expected.size(), played.size()) << "module " << n + 1;
        std::size_t same = 0;
        while (same < expected.size() && played[at + same] == expected[same]) ++same;
        ASSERT_EQ(same, expected.size()) << "module " << n + 1 << " differs at frame " << same / kBytesPerFrame;
        at += expected.size();
        const std::size_t next = startOfSound(played, at);
        ASSERT_GE(next, at) << "the next module does not start on a buffer boundary";
        std::printf("silence after module %d: %zu frames\n", n + 1, (next - at) / kBytesPerFrame);
        at = next;
    }
}

// Refused entries are named once each on standard error; the one module
// that loads then plays on as a single module does.
TEST(Player, SkipsEverythingInAHostileFolderThatIsNotAModule) {
    TempDir dir;
    const std::string songs = dir.file("songs");
    makeHostileFolder(songs, kManyFiles);
    const std::string audio = dir.file("audio.raw");
    const auto start = std::chrono::steady_clock::now();
    harness::Child child({kZindle, songs}, harness::headlessEnv(audio), dir.file("out"), dir.file("err"));
    ASSERT_TRUE(waitForSound(audio, 60)) << harness::readText(dir.file("err"));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d refused files, then the module: its first sound after %.2f s\n", kManyFiles + 3, seconds);
    EXPECT_TRUE(child.running());
    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(30), 0);
    const std::string err = harness::readText(dir.file("err"));
    EXPECT_EQ(countOf(err, "Couldn't load "), 3u + kManyFiles);
    // Each with the reason a single file gets (as root the locked file is read).
    const std::string locked = geteuid() == 0 ? "not a MOD file: no known tag at byte 1080 (found \"\\x07\\x07\\x07\\x07\") and no 15-sample module"
                                              : "permission denied";
    for (const std::string& line : std::vector<std::string>{"/0-empty.mod: too short to be a MOD file (0 bytes), skipped\n",
                                    "/1-text.mod: too short to be a MOD file (10 bytes), skipped\n",
                                    "/2-locked.mod: " + locked + ", skipped\n",
                                    "/many/e09999.mod: too short to be a MOD file (0 bytes), skipped\n"})
        EXPECT_EQ(countOf(err, songs + line), 1u) << line << err.substr(0, 600);
    EXPECT_EQ(err.find("Couldn't load the module!"), std::string::npos);
}

TEST(Player, RefusesAFolderWhereNothingLoads) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    harness::writeBytes(songs + "/a.mod", {});
    harness::writeBytes(songs + "/b.mod", {1, 2, 3});
    makeFolder(songs + "/empty");
    for (const std::string& path : {songs, songs + "/empty"}) {
        const harness::Result r = harness::run({kZindle, path}, harness::headlessEnv(dir.file("audio.raw")));
        EXPECT_EQ(r.status, 1) << path;
        // Nothing of SDL starts before a module has loaded: the messages are all there is.
        EXPECT_EQ(r.err, path == songs ? "Couldn't load " + songs + "/a.mod: too short to be a MOD file (0 bytes), skipped\n"
                                             "Couldn't load " + songs + "/b.mod: too short to be a MOD file (3 bytes), skipped\n"
                                             "Couldn't load the module!\n"
                                       : "Couldn't load the module!\n" + path + ": an empty folder, no module in it\n")
            << r.err;
    }
}

// Modules of four rows, a tenth of a second each: a switch every few
// buffers, for as long as it takes to play six seconds of sound.
TEST(Player, SwitchesModulesManyTimesASecond) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    writeSong(songs + "/a.mod", harness::shortSong("a", 125, 1, 3));
    writeSong(songs + "/b.mod", harness::shortSong("b", 150, 1, 3));
    harness::writeBytes(songs + "/c.mod", {});
    EXPECT_EQ(harness::playHeadless({kZindle, songs}, dir.path(), 6 * 48000 * kBytesPerFrame, 120), 0);
    EXPECT_EQ(countOf(harness::readText(dir.file("err")), "Couldn't load "), 1u);
}

// Twelve modules of 80 ms, but the seventh plays 15 s: quit (or be killed)
// while it plays, and the next start is on it; --from-start is on the first.
TEST(Player, ComesBackToTheModuleItWasPlaying) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    std::vector<std::vector<std::uint8_t>> renders;
    for (int i = 1; i <= 12; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "/%02d.mod", i);
        const std::string module = writeSong(songs + name, i == 7 ? tune(i, 6, 0, 2) : tune(i));
        renders.push_back(rendered(dir, module, i == 7 ? "0.5" : ""));
    }
    // Each run in a folder of its own; the state's folder beside its sound.
    int runs = 0;
    const auto start = [&](const std::string& state_home, const std::vector<std::string>& options) {
        const std::string run = makeFolder(dir.file("run" + std::to_string(++runs)));
        harness::Env env = harness::headlessEnv(run + "/audio.raw");
        env.push_back({"XDG_STATE_HOME", state_home});
        std::vector<std::string> argv = {kZindle};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(songs);
        return std::make_unique<harness::Child>(argv, env, run + "/out", run + "/err");
    };
    const auto audioOf = [&]() { return dir.file("run" + std::to_string(runs) + "/audio.raw"); };
    struct Case {
        const char* what;
        int signal;
    };
    for (const Case& k : {Case{"quit", SIGTERM}, Case{"killed", SIGKILL}}) {
        const std::string state_home = dir.file(std::string("state-") + k.what);
        {
            const auto player = start(state_home, {});
            const std::vector<int> played = waitForModules(audioOf(), renders, 0, 6);
            ASSERT_EQ(played, (std::vector<int>{0, 1, 2, 3, 4, 5, 6})) << k.what;
            player->signal(k.signal);
            EXPECT_EQ(player->wait(30), k.signal == SIGKILL ? 128 + SIGKILL : 0) << k.what;
        }
        const auto player = start(state_home, {});
        EXPECT_EQ(waitForModules(audioOf(), renders, 1), std::vector<int>{6}) << k.what;
        player->signal(SIGTERM);
        EXPECT_EQ(player->wait(30), 0) << k.what;
    }
    const auto player = start(dir.file("state-quit"), {"--from-start"});
    EXPECT_EQ(waitForModules(audioOf(), renders, 1), std::vector<int>{0});
    player->signal(SIGTERM);
    EXPECT_EQ(player->wait(30), 0);
}

// --shuffle --seed N: each module once a round, in the same orders for the
// same N, not the list's own; --no-shuffle after it, the list's order.
TEST(Player, ShufflesInTheSameOrderForTheSameSeed) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    std::vector<std::vector<std::uint8_t>> renders;
    for (int i = 0; i < 4; ++i) renders.push_back(rendered(dir, writeSong(songs + "/" + std::to_string(i) + ".mod", tune(i))));
    int runs = 0;
    const auto play = [&](std::vector<std::string> argv) {
        const std::string run = makeFolder(dir.file("run" + std::to_string(++runs)));
        argv.insert(argv.begin(), kZindle);
        argv.push_back(songs);
        harness::Child child(argv, harness::headlessEnv(run + "/audio.raw"), run + "/out", run + "/err");
        std::vector<int> played = waitForModules(run + "/audio.raw", renders, 12);
        child.signal(SIGTERM);
        EXPECT_EQ(child.wait(30), 0);
        played.resize(12);
        return played;
    };
    const std::vector<int> order = play({"--shuffle", "--seed", "12345"});
    std::set<std::vector<int>> rounds;
    for (std::size_t r = 0; r < 3; ++r) {
        std::vector<int> round(order.begin() + 4 * static_cast<long>(r), order.begin() + 4 * static_cast<long>(r) + 4);
        rounds.insert(round);
        std::sort(round.begin(), round.end());
        EXPECT_EQ(round, (std::vector<int>{0, 1, 2, 3})) << "round " << r;
    }
    rounds.insert({0, 1, 2, 3});
    EXPECT_GT(rounds.size(), 2u) << "rounds in the list's order, or all in the same";
    EXPECT_EQ(play({"--seed=12345", "--shuffle"}), order);
    EXPECT_EQ(play({"--shuffle", "--seed", "12345", "--no-shuffle"}), (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}));
}

// --repeat one plays the module playing without end, pass after pass as
// zindle-render --loops 2 renders it; by default the list goes on to the
// next module after one pass.
TEST(Player, RepeatOnePlaysTheModuleAgainAndAgain) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    const std::string first = writeSong(songs + "/1.mod", tune(1, 6, 7));  // 8 rows: 46080 frames
    writeSong(songs + "/2.mod", tune(2, 6, 7));
    const harness::Result twice = harness::run({kRender, "--raw", "--loops", "2", "--output", dir.file("r.raw"), first});
    ASSERT_EQ(twice.status, 0) << twice.err;
    const std::vector<std::vector<std::uint8_t>> renders = {harness::readBytes(dir.file("r.raw")), rendered(dir, first),
                                                            rendered(dir, songs + "/2.mod")};
    ASSERT_EQ(renders[0].size(), 2 * renders[1].size());
    struct Case {
        std::vector<std::string> options;
        std::vector<int> played;  // by renders' index
    };
    // Repeat one: two passes, then a third; list: the second module after the first.
    const Case cases[] = {{{"--repeat", "one"}, {0, 1}}, {{"--repeat=list"}, {1, 2}}};
    for (const Case& k : cases) {
        const std::string run = makeFolder(dir.file("run" + k.options[0]));
        std::vector<std::string> argv = {kZindle};
        argv.insert(argv.end(), k.options.begin(), k.options.end());
        argv.push_back(songs);
        harness::Child child(argv, harness::headlessEnv(run + "/audio.raw"), run + "/out", run + "/err");
        std::vector<int> played = waitForModules(run + "/audio.raw", renders, k.played.size());
        child.signal(SIGTERM);
        EXPECT_EQ(child.wait(30), 0);
        played.resize(std::min(played.size(), k.played.size()));
        EXPECT_EQ(played, k.played) << k.options[0] << " " << harness::readText(run + "/err");
    }
}

// --sleep 1: a minute of real time on, the sound fades linearly to silence
// over ten seconds, then the player ends as Escape ends it, the state
// naming the module of the list it was playing. Until the fade the sound is
// zindle-render's.
TEST(Player, SleepTimerFadesOutAndEnds) {
    if (std::string(ZINDLE_EMULATOR) != "")
        GTEST_SKIP() << "a minute of real time, far more under " ZINDLE_EMULATOR;
    TempDir dir;
    // A list, whose state keeps the module playing: the first plays 7:30 a pass.
    const std::string songs = makeFolder(dir.file("songs"));
    const std::string module = writeSong(songs + "/1.mod", xsession::windowSong("sleep"));
    writeSong(songs + "/2.mod", tune(2));
    harness::Env env = harness::headlessEnv(dir.file("audio.raw"));
    env.push_back({"SDL_DISKAUDIODELAY", "20"});  // about real time: the timer counts real time
    harness::Child child({kZindle, "--sleep", "1", songs}, env, dir.file("out"), dir.file("err"));
    ASSERT_EQ(child.wait(120), 0) << harness::readText(dir.file("err"));
    EXPECT_NE(harness::readText(dir.file("xdg-state/zindle/state")).find(module), std::string::npos)
        << harness::readText(dir.file("xdg-state/zindle/state"));

    const std::vector<std::uint8_t> played = harness::readBytes(dir.file("audio.raw"));
    const std::size_t lead = startOfSound(played, 0);
    const std::vector<std::uint8_t> expected =
        rendered(dir, module, std::to_string((played.size() - lead) / (48000 * kBytesPerFrame) + 1));
    std::size_t same = 0;
    while (lead + same < played.size() && played[lead + same] == expected[same]) ++same;
    const std::size_t fade = same / kBytesPerFrame;  // the fade's first frame, scaled below full
    EXPECT_GT(fade, 40u * 48000) << "the fade came too soon";
    const auto rms = [&](const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t frames) {
        double sum = 0;
        for (std::size_t i = from * kBytesPerFrame; i < (from + frames) * kBytesPerFrame; i += 2) {
            const double sample = static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8);
            sum += sample * sample;
        }
        return std::sqrt(sum / static_cast<double>(frames * 2));
    };
    constexpr std::size_t kFadeFrames = 480000, kSecond = 48000;
    ASSERT_GE(played.size(), lead + (fade + kFadeFrames) * kBytesPerFrame) << "ended before the fade did";
    const std::vector<std::uint8_t> from_song(played.begin() + static_cast<std::ptrdiff_t>(lead), played.end());
    for (std::size_t second = 0; second < 10; ++second) {
        const double ratio = rms(from_song, fade + second * kSecond, kSecond) / rms(expected, fade + second * kSecond, kSecond);
        EXPECT_NEAR(ratio, 1 - (static_cast<double>(second) + 0.5) / 10, 0.03) << "second " << second << " of the fade";
    }
    for (std::size_t i = (fade + kFadeFrames) * kBytesPerFrame; i < from_song.size(); ++i)
        ASSERT_EQ(from_song[i], 0) << "sound after the fade, at frame " << i / kBytesPerFrame - fade << " of it";
}

// Whatever is where the state belongs, the player plays, saying so in one
// line at most.
TEST(Player, PlaysWhateverTheStateFolderHolds) {
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    writeSong(songs + "/a.mod", tune(1));
    writeSong(songs + "/b.mod", tune(2));
    struct Case {
        const char* what;
        void (*make)(const std::string& state_home);
    };
    const Case cases[] = {
        {"a file", [](const std::string& home) { harness::writeBytes(home, {'x'}); }},
        {"garbage", [](const std::string& home) {
             makeFolder(home);
             makeFolder(home + "/zindle");
             harness::writeBytes(home + "/zindle/state", std::vector<std::uint8_t>(3000, 0xA5));
         }},
        {"unreadable", [](const std::string& home) {
             makeFolder(home);
             makeFolder(home + "/zindle");
             harness::writeBytes(home + "/zindle/state", {'z', '\n'});
             chmod((home + "/zindle/state").c_str(), 0);
         }},
        {"unwritable", [](const std::string& home) {
             makeFolder(home);
             makeFolder(home + "/zindle");
             chmod((home + "/zindle").c_str(), 0500);
         }},
        {"a folder for a file", [](const std::string& home) {  // neither read nor written, even as root
             makeFolder(home);
             makeFolder(home + "/zindle");
             makeFolder(home + "/zindle/state");
         }},
        {"nothing yet", [](const std::string&) {}},
    };
    for (const Case& k : cases) {
        const std::string run = makeFolder(dir.file(k.what));
        k.make(run + "/xdg-state");
        const std::string audio = run + "/audio.raw";
        harness::Child child({kZindle, songs}, harness::headlessEnv(audio), run + "/out", run + "/err");
        EXPECT_TRUE(waitForSound(audio, 60)) << k.what;
        ASSERT_TRUE(harness::waitForSize(audio, 48000 * kBytesPerFrame, 60)) << k.what;
        child.signal(SIGTERM);
        EXPECT_EQ(child.wait(30), 0) << k.what;
        const std::string err = harness::readText(run + "/err");
        // SDL's disk driver announces itself in two lines.
        EXPECT_LE(countOf(err, "\n"), 3u) << k.what << ": " << err;
        EXPECT_LE(countOf(err, "zindle: "), 1u) << k.what << ": " << err;
        const std::size_t said = err.find("zindle: ");
        if (said != std::string::npos) std::printf("%s: %s", k.what, err.substr(said, err.find('\n', said) + 1 - said).c_str());
        chmod((run + "/xdg-state/zindle").c_str(), 0755);  // for the folder's removal
    }
}

// --- In a window

namespace {

using Window = xsession::WindowTest;

// The "n/N" at the right end of the status line.
std::string counterText(const Image& img, int chars) {
    return screentext::readText(img, 320 - 8 * chars, 232, chars, 0xFFFF);
}

}  // namespace

// A refused entry leaves the list: "n/N" counts the playable entries found so
// far, and Left from the first steps over a refused last entry (a list of
// five, not a power of two).
TEST_F(Window, ArrowKeysStepThroughTheModulesOfAFolder) {
    const std::string songs = makeFolder(dir.file("songs"));
    const std::vector<std::string> titles = {"first", "second", "third"};
    harness::writeBytes(songs + "/0-bad.mod", {1, 2, 3});
    for (std::size_t i = 0; i < titles.size(); ++i)
        ASSERT_TRUE(xsession::windowSong(titles[i]).write(songs + "/" + std::to_string(i + 1) + ".mod"));
    harness::writeBytes(songs + "/4-bad.mod", {});
    const auto started = play(songs);
    ASSERT_TRUE(started);
    xsession::Player& player = *started;
    Image img;
    const auto showing = [&](std::size_t n, const std::string& counter) {
        return xsession::waitForPicture(
            player,
            [&](const Image& i) {
                return xsession::isPatternView(i, titles[n]) &&
                       counterText(i, static_cast<int>(counter.size())) == counter;
            },
            15000, img);
    };
    const auto fail = [&](const std::string& name) {
        return keep(img, name) + "screen: header '" + xsession::patternHeader(img) + "', counter '" + counterText(img, 3) + "'";
    };
    ASSERT_TRUE(showing(0, "1/4")) << fail("start");
    ASSERT_TRUE(player.key("Right"));
    ASSERT_TRUE(showing(1, "2/4")) << fail("right");
    ASSERT_TRUE(player.key("Right"));
    ASSERT_TRUE(showing(2, "3/4")) << fail("right-right");
    ASSERT_TRUE(player.key("Right"));
    ASSERT_TRUE(showing(0, "1/3")) << fail("wrapped over the refused last entry");
    ASSERT_TRUE(player.key("Left"));
    ASSERT_TRUE(showing(2, "3/3")) << fail("left over the refused last entry");
    ASSERT_TRUE(player.key("BackSpace"));
    EXPECT_TRUE(xsession::waitForPicture(
        player, [](const Image& i) { return xsession::patternHeader(i).rfind("#001/003", 0) == 0; }, 15000, img))
        << fail("next-order");
    // The counter in views 4 and 2 too.
    ASSERT_TRUE(player.key("Alt_L"));
    EXPECT_TRUE(xsession::waitForPicture(
        player, [](const Image& i) { return xsession::isScopeView(i, "third") && counterText(i, 3) == "3/3"; },
        15000, img))
        << fail("scopes");
    ASSERT_TRUE(player.key("Shift_L"));
    EXPECT_TRUE(xsession::waitForPicture(
        player, [](const Image& i) { return xsession::isMeterView(i, "third") && counterText(i, 3) == "3/3"; },
        15000, img))
        << fail("meters");
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// With a list the "n/N" counter stands on the status line in every view: a
// 20-character song name, N = 10000 and the channel group all stay whole in
// the long forms of the title lines. Six channels spread their compact cells
// over the width; sixteen show eight, every other one a shade darker.
TEST_F(Window, CounterCoversNothingAndCompactCellsStayApart) {
    const std::string title = "WideNameOf20CharsXYZ";
    for (const auto& [channels, tag] : {std::pair<int, const char*>{6, "6CHN"}, {16, "16CH"}}) {
        modwriter::Song song = xsession::windowSong(title);
        song.channels = channels;
        song.tag = tag;
        ASSERT_TRUE(song.write(dir.file(std::to_string(channels) + ".mod")));
    }
    const std::string songs = makeFolder(dir.file("songs"));
    for (int i = 0; i < 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/m%05d.mod", i);
        ASSERT_EQ(symlink(dir.file(i % 2 == 0 ? "6.mod" : "16.mod").c_str(), (songs + name).c_str()), 0);
    }
    const auto started = play(songs);
    ASSERT_TRUE(started);
    xsession::Player& player = *started;
    Image img;
    std::string why;
    const auto fail = [&](const std::string& name) {
        return keep(img, name) + name + ": " + why + "; counter '" + counterText(img, 11) + "'";
    };
    const auto hasColour = [](const Image& i, std::uint16_t colour) {
        for (int y = 35; y < 240; ++y)
            for (int x = 16; x < 320; ++x)
                if (i.at(x, y) == colour) return true;
        return false;
    };
    // View 1's texts, each read whole: the song name's line, the header, the
    // channel numbers and the counter.
    const auto patternView = [&](const Image& i, const std::string& counter, const std::string& numbers) {
        why = "song line '" + screentext::readText(i, 4, 10, 31, 0xFFFF) + "', header '" + xsession::patternHeader(i) +
              "', channels '" + screentext::readNarrowNumbers(i, 27, 0xD6BA) + "'";
        return screentext::readText(i, 4, 10, 31, 0xFFFF) == "Song name: " + title &&
               xsession::patternHeader(i).rfind("#000/003 - 033bpm (31 ticks) - Vol: ", 0) == 0 &&
               counterText(i, static_cast<int>(counter.size())) == counter &&
               screentext::readNarrowNumbers(i, 27, 0xD6BA) == numbers;
    };
    const auto titles = [&](const Image& i) {
        why = "title '" + xsession::titleName(i) + "', position '" + xsession::titlePosition(i) + "'";
        return screentext::readText(i, 4, 0, 33, 0xFFFF) == "Now Playing: " + title &&
               xsession::titlePosition(i) == "#000/003 - 033bpm (31 ticks)" && counterText(i, 11) == "10000/10000";
    };
    EXPECT_TRUE(xsession::waitForPicture(
        player, [&](const Image& i) { return patternView(i, "1/10000", "01 02 03 04 05 06 ") && !hasColour(i, 0xBDF7); },
        15000, img))
        << fail("six-channels");
    // Left from the first: the last entry, and the widest counter.
    ASSERT_TRUE(player.key("Left"));
    EXPECT_TRUE(xsession::waitForPicture(
        player,
        [&](const Image& i) {
            return patternView(i, "10000/10000", "01 02 03 04 05 06 07 08 ") && hasColour(i, 0xBDF7) &&
                   hasColour(i, 0xFFFF);
        },
        15000, img))
        << fail("sixteen-channels");
    ASSERT_TRUE(player.key("Alt_L"));
    EXPECT_TRUE(xsession::waitForPicture(
        player, [&](const Image& i) { return titles(i) && screentext::readText(i, 236, 10, 8, 0xFFFF) == "ch 01-08"; },
        15000, img))
        << fail("scopes");
    ASSERT_TRUE(player.key("Shift_L"));
    EXPECT_TRUE(xsession::waitForPicture(player, titles, 15000, img)) << fail("meters");
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// Return opens the list on the module playing; Down five times and Return
// play the sixth; Right and Left step again after; Escape closes the list,
// and a second Escape quits.
TEST_F(Window, ListPicksAModuleFromThreeHundred) {
    const std::string songs = makeFolder(dir.file("songs"));
    const auto titleOf = [](int n) {
        char title[16];
        std::snprintf(title, sizeof title, "song %03d", n);
        return std::string(title);
    };
    for (int n = 0; n < 300; ++n)
        ASSERT_TRUE(xsession::windowSong(titleOf(n)).write(songs + "/" + titleOf(n) + ".mod"));
    const auto started = play(songs);
    ASSERT_TRUE(started);
    xsession::Player& player = *started;
    Image img;
    const auto fail = [&](const std::string& name) {
        return keep(img, name) + name + ": title '" + screentext::readText(img, 4, 0, 39, 0xFFFF) + "', song line '" +
               screentext::readText(img, 4, 10, 20, 0xFFFF) + "'";
    };
    const auto playing = [&](int n) {
        return xsession::waitForPicture(
            player, [&](const Image& i) { return xsession::isPatternView(i, titleOf(n)); }, 15000, img);
    };
    // The list: its title, the cursor's n/N, the cursor's line highlighted.
    const auto listAt = [&](int n) {
        return xsession::waitForPicture(
            player,
            [&](const Image& i) {
                const std::string position = std::to_string(n + 1) + "/300";
                const int y = 30 + 8 * (n % 22);
                return screentext::readText(i, 4, 0, 7, 0xFFFF) == "Modules" &&
                       screentext::readText(i, 316 - 8 * static_cast<int>(position.size()), 0,
                                            static_cast<int>(position.size()), 0xFFFF) == position &&
                       i.at(319, y) == 0x43D3 && i.at(319, y == 30 ? 38 : 30) != 0x43D3;
            },
            15000, img);
    };
    ASSERT_TRUE(playing(0)) << fail("start");
    ASSERT_TRUE(player.key("Return"));
    ASSERT_TRUE(listAt(0)) << fail("list opened");
    for (int k = 0; k < 5; ++k) ASSERT_TRUE(player.key("Down"));
    ASSERT_TRUE(listAt(5)) << fail("five down");
    ASSERT_TRUE(player.key("Return"));
    ASSERT_TRUE(playing(5)) << fail("the sixth plays");
    ASSERT_TRUE(player.key("Right"));
    ASSERT_TRUE(playing(6)) << fail("right after the list");
    ASSERT_TRUE(player.key("Left"));
    ASSERT_TRUE(playing(5)) << fail("left after the list");
    ASSERT_TRUE(player.key("Return"));
    ASSERT_TRUE(listAt(5)) << fail("list on the one playing");
    ASSERT_TRUE(player.key("Escape"));
    ASSERT_TRUE(playing(5)) << fail("escape closed the list");
    ASSERT_TRUE(player.running());
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

namespace {

// The zindle-render processes whose parent is pid, as /proc shows them now.
int renderChildren(pid_t pid) {
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    while (const dirent* entry = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
        // A process may end between the listing and the reading: read
        // without throwing, and skip what can't be read.
        char stat[512] = {};
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
            std::fopen((std::string("/proc/") + entry->d_name + "/stat").c_str(), "r"), std::fclose);
        if (!file || std::fread(stat, 1, sizeof stat - 1, file.get()) == 0) continue;
        const std::string text(stat);
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos || text.compare(0, text.find('('), std::string(entry->d_name) + " ") != 0)
            continue;
        int parent = 0;
        char state = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == pid &&
            text.find("(zindle-render)") != std::string::npos)
            ++count;
    }
    closedir(proc);
    return count;
}

}  // namespace

// A tree of three levels and 300 modules (songs/: one/ and top00..top29;
// one/: two/ and m00..m19; one/two/: x000..x249). The list opens on the
// folder of the module playing, its folder first with the count of modules
// below it, its modules' lengths coming in page by page while the probe runs
// one child at a time; Up and Down go round, Right and Left go in and out
// (up to the folder given, no further), Tab and Backspace flip pages, Return
// on a folder plays its first module; n/N stays the whole list's.
TEST_F(Window, ListBrowsesATreeOfFolders) {
    if (std::string(ZINDLE_EMULATOR) != "")
        GTEST_SKIP() << "the probe's renderer is built for another processor and runs under " ZINDLE_EMULATOR;
    const std::string songs = makeFolder(dir.file("songs"));
    const std::string one = makeFolder(songs + "/one"), two = makeFolder(one + "/two");
    const auto named = [](const char* stem, int n, int digits) {
        char name[16];
        std::snprintf(name, sizeof name, "%s%0*d", stem, digits, n);
        return std::string(name);
    };
    for (int n = 0; n < 30; ++n) ASSERT_TRUE(xsession::windowSong(named("top", n, 2)).write(songs + "/" + named("top", n, 2) + ".mod"));
    for (int n = 0; n < 20; ++n) ASSERT_TRUE(xsession::windowSong(named("m", n, 2)).write(one + "/" + named("m", n, 2) + ".mod"));
    for (int n = 0; n < 250; ++n) ASSERT_TRUE(xsession::windowSong(named("x", n, 3)).write(two + "/" + named("x", n, 3) + ".mod"));
    const auto started = play(songs);
    ASSERT_TRUE(started);
    xsession::Player& player = *started;
    std::atomic<bool> browsing{true};
    std::atomic<int> most_children{0};
    std::thread watch([&] {
        while (browsing) {
            most_children = std::max(most_children.load(), renderChildren(player.pid()));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    Image img;
    const auto row = [](const Image& i, int n) {
        return screentext::readText(i, 8, 30 + 8 * n, 39, [](std::uint16_t p) { return p != 0 && p != 0x43D3; });
    };
    const auto title = [](const Image& i) { return screentext::readText(i, 4, 0, 20, 0xFFFF); };
    const auto position = [](const Image& i) { return screentext::readText(i, 236, 0, 10, 0xFFFF); };
    // The list at title, the cursor on row cursor at position n/300, with
    // first and last as the texts of the page's first and last rows.
    const auto listAt = [&](const std::string& name, int cursor, int n, const std::string& first, int last_row,
                            const std::string& last) {
        const std::string at = std::to_string(n) + "/300";
        return xsession::waitForPicture(
            player,
            [&](const Image& i) {
                const int y = 30 + 8 * cursor;
                return title(i) == name + std::string(20 - name.size(), ' ') &&
                       position(i) == std::string(10 - at.size(), ' ') + at && i.at(319, y) == 0x43D3 &&
                       i.at(319, y == 30 ? 38 : 30) != 0x43D3 && row(i, 0) == first && row(i, last_row) == last;
            },
            30000, img);
    };
    const auto fail = [&](const std::string& name) {
        return keep(img, name) + name + ": title '" + title(img) + "', position '" + position(img) + "', rows '" +
               row(img, 0) + "' '" + row(img, 1) + "' '" + row(img, 20) + "' '" + row(img, 21) + "'";
    };
    const auto line = [](const std::string& name, const std::string& right) {
        return name + std::string(39 - name.size() - right.size(), ' ') + right;
    };
    const std::string length = "7:30";
    ASSERT_TRUE(xsession::waitForPicture(player, [](const Image& i) { return xsession::isPatternView(i, "m00"); }, 15000, img))
        << fail("start");
    ASSERT_TRUE(player.key("Return"));
    // The module playing's folder, every length of its page found.
    ASSERT_TRUE(listAt("one/", 1, 1, line("two/", "250"), 20, line("m19.mod", length))) << fail("opened");
    for (int n = 1; n <= 20; ++n) EXPECT_EQ(row(img, n), line(named("m", n - 1, 2) + ".mod", length)) << n;
    ASSERT_TRUE(player.key("Up"));
    ASSERT_TRUE(player.key("Up"));
    ASSERT_TRUE(listAt("one/", 20, 20, line("two/", "250"), 20, line("m19.mod", length))) << fail("up round to the last");
    ASSERT_TRUE(player.key("Down"));
    ASSERT_TRUE(listAt("one/", 0, 21, line("two/", "250"), 20, line("m19.mod", length))) << fail("down round to the first");
    ASSERT_TRUE(player.key("Right"));
    ASSERT_TRUE(listAt("one/two/", 0, 21, line("x000.mod", length), 21, line("x021.mod", length))) << fail("entered");
    ASSERT_TRUE(player.key("BackSpace"));
    ASSERT_TRUE(listAt("one/two/", 0, 43, line("x022.mod", length), 21, line("x043.mod", length))) << fail("page down");
    ASSERT_TRUE(player.key("Tab"));
    ASSERT_TRUE(listAt("one/two/", 0, 21, line("x000.mod", length), 21, line("x021.mod", length))) << fail("page up");
    ASSERT_TRUE(player.key("Left"));
    ASSERT_TRUE(player.key("Left"));
    ASSERT_TRUE(listAt("Modules", 0, 1, line("one/", "270"), 21, line("top20.mod", length))) << fail("left twice");
    ASSERT_TRUE(player.key("Left"));
    ASSERT_TRUE(player.key("Right"));
    ASSERT_TRUE(listAt("one/", 0, 21, line("two/", "250"), 20, line("m19.mod", length))) << fail("left at the top");
    ASSERT_TRUE(player.key("Return"));
    ASSERT_TRUE(xsession::waitForPicture(player, [](const Image& i) { return xsession::isPatternView(i, "x000"); }, 15000, img))
        << fail("played from a folder");
    ASSERT_TRUE(player.key("Return"));
    ASSERT_TRUE(listAt("one/two/", 0, 21, line("x000.mod", length), 21, line("x021.mod", length))) << fail("reopened");
    browsing = false;
    watch.join();
    EXPECT_EQ(most_children.load(), 1) << "zindle-render children at once";
    ASSERT_TRUE(player.key("Escape"));
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// The list's Left Alt, Left Shift and Space take effect at once and are kept
// as the last choice: the player started again on the same state plays in
// mono, shuffled, with repeat none.
TEST_F(Window, ListButtonsChoicesSurviveARestart) {
    const std::string songs = makeFolder(dir.file("songs"));
    for (const char* title : {"one", "two", "three"})
        ASSERT_TRUE(xsession::windowSong(title).write(songs + "/" + title + ".mod"));
    Image img;
    // The list's two lines of choices, the second about repeat and the sleep timer.
    const auto listSays = [&](xsession::Player& player, const std::string& status, const std::string& modes) {
        return xsession::waitForPicture(
            player,
            [&](const Image& i) {
                return screentext::readText(i, 4, 10, 40, 0xD6BA).rfind(status, 0) == 0 &&
                       screentext::readText(i, 4, 19, 40, 0xD6BA).rfind(modes, 0) == 0;
            },
            15000, img);
    };
    const auto fail = [&](const std::string& name) {
        return keep(img, name) + name + ": status '" + screentext::readText(img, 4, 10, 40, 0xD6BA) + "', modes '" +
               screentext::readText(img, 4, 19, 40, 0xD6BA) + "'";
    };
    {
        const auto first = play(songs);
        ASSERT_TRUE(first);
        xsession::Player& player = *first;
        ASSERT_TRUE(player.key("Return"));
        ASSERT_TRUE(listSays(player, "Shuffle: off  Separation: 100", "Repeat: list  Sleep: off")) << fail("first list");
        for (const char* key : {"Alt_L", "Alt_L", "Alt_L", "Alt_L", "Shift_L", "space", "space"}) ASSERT_TRUE(player.key(key));
        ASSERT_TRUE(listSays(player, "Shuffle: on  Separation: 0", "Repeat: none  Sleep: off")) << fail("chosen");
        ASSERT_TRUE(player.key("Escape"));
        ASSERT_TRUE(player.key("Escape"));
        ASSERT_EQ(player.waitForExit(20), 0);
    }
    const auto again = play(songs);  // the same state folder
    ASSERT_TRUE(again);
    xsession::Player& player = *again;
    ASSERT_TRUE(harness::waitForSize(player.audioFile(), 48000 * kBytesPerFrame, 30));
    ASSERT_TRUE(player.key("Return"));
    EXPECT_TRUE(listSays(player, "Shuffle: on  Separation: 0", "Repeat: none  Sleep: off")) << fail("after the restart");
    ASSERT_TRUE(player.key("Escape"));
    ASSERT_TRUE(player.key("Escape"));
    ASSERT_EQ(player.waitForExit(20), 0);
    const std::vector<std::uint8_t> played = harness::readBytes(player.audioFile());
    std::size_t sound = 0;
    for (std::size_t i = 0; i + kBytesPerFrame <= played.size(); i += kBytesPerFrame) {
        ASSERT_EQ(played[i], played[i + 2]) << "not mono at frame " << i / kBytesPerFrame;
        ASSERT_EQ(played[i + 1], played[i + 3]) << "not mono at frame " << i / kBytesPerFrame;
        if (played[i] != 0 || played[i + 1] != 0) ++sound;
    }
    EXPECT_GT(sound, 24000u);
}

// --repeat none: each module of the folder plays one pass, as zindle-render
// renders it, then the sound stops and the list opens on the first module,
// titled "End of the list"; Return plays the list again, Escape quits.
TEST_F(Window, RepeatNoneStopsAfterTheLastModule) {
    const std::string songs = makeFolder(dir.file("songs"));
    std::vector<std::vector<std::uint8_t>> renders;
    TempDir renders_dir;
    for (int i = 0; i < 3; ++i)
        renders.push_back(rendered(renders_dir, writeSong(songs + "/" + std::to_string(i) + ".mod", tune(i, 6, 7))));
    const auto started = play(songs, {"--repeat", "none"});
    ASSERT_TRUE(started);
    xsession::Player& player = *started;
    Image img;
    const auto title = [](const Image& i) { return screentext::readText(i, 4, 0, 15, 0xFFFF); };
    const auto atEnd = [&]() {
        return xsession::waitForPicture(player, [&](const Image& i) { return title(i) == "End of the list"; }, 30000, img);
    };
    ASSERT_TRUE(atEnd()) << keep(img, "end") << "title '" << title(img) << "'";
    // Half a second more of silence after the last pass.
    struct stat info {};
    ASSERT_EQ(stat(player.audioFile().c_str(), &info), 0);
    ASSERT_TRUE(harness::waitForSize(player.audioFile(), info.st_size + 24000 * kBytesPerFrame, 30));
    std::vector<std::uint8_t> played = harness::readBytes(player.audioFile());
    EXPECT_EQ(modulesPlayed(played, renders), (std::vector<int>{0, 1, 2}));
    std::size_t last = played.size();
    while (last > 0 && played[last - 1] == 0) --last;
    EXPECT_LE(last + 24000 * kBytesPerFrame, played.size()) << "sound after the last pass";

    ASSERT_TRUE(player.key("Return"));
    EXPECT_EQ(waitForModules(player.audioFile(), renders, 4), (std::vector<int>{0, 1, 2, 0})) << "Return doesn't play the list again";
    ASSERT_TRUE(atEnd()) << keep(img, "end-again") << "title '" << title(img) << "'";
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// A module of three songs (songs.xm of the trackers set) in a folder with a
// MOD: the list shows an entry for each song, and the songs play one pass
// each, one after another, each as zindle-render --song K renders it.
TEST_F(Window, PlaysEachSongOfAModuleInAFolder) {
    const std::string songs = makeFolder(dir.file("songs"));
    writeSong(songs + "/a.mod", tune(1, 6, 7));
    for (const ModuleFile& file : trackerModules())
        if (file.name == "songs.xm") harness::writeBytes(songs + "/songs.xm", file.bytes);
    TempDir renders_dir;
    std::vector<std::vector<std::uint8_t>> renders = {rendered(renders_dir, songs + "/a.mod")};
    for (const char* k : {"1", "2", "3"}) {
        const harness::Result r =
            harness::run({kRender, "--raw", "--song", k, "--output", renders_dir.file("r.raw"), songs + "/songs.xm"});
        ASSERT_EQ(r.status, 0) << r.err;
        renders.push_back(harness::readBytes(renders_dir.file("r.raw")));
        EXPECT_EQ(renders.back().size(), 184320u * kBytesPerFrame) << "song " << k;
    }
    const auto started = play(songs);
    ASSERT_TRUE(started);
    xsession::Player& player = *started;
    ASSERT_TRUE(player.key("Return"));
    const auto lines = [](const Image& i) {
        std::string text;
        for (int n = 0; n < 5; ++n)
            text += screentext::readText(i, 8, 30 + 8 * n, 12, [](std::uint16_t p) { return p != 0 && p != 0x43D3; }) + "|";
        return text;
    };
    const std::string wanted = "a.mod       |songs.xm    |songs.xm #2 |songs.xm #3 |            |";
    Image img;
    EXPECT_TRUE(xsession::waitForPicture(player, [&](const Image& i) { return lines(i) == wanted; }, 15000, img))
        << keep(img, "list") << "lines '" << lines(img) << "'";
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(waitForModules(player.audioFile(), renders, 5), (std::vector<int>{0, 1, 2, 3, 0}));
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// Names as people wrote them: a title in ISO 8859-1 drawn without its
// accents and cut at 20 characters, a folder's and a file's names in UTF-8
// in the list one character per character ('?' for what has no letter), and a module without
// a title named by its file, without folders or extension.
TEST_F(Window, NamesAreDrawnAsTheirLettersAndABlankTitleAsTheFileName) {
    const std::string songs = makeFolder(dir.file("songs"));
    const std::string unicode = makeFolder(songs + "/\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 dir");
    ASSERT_TRUE(xsession::windowSong("\xC9t\xE9 \xE0 Stra\xDF" "e \xD8resund").write(songs + "/latin.mod"));
    trackerwriter::Song untitled;  // slow enough to stay on its first rows
    untitled.speed = 31;
    untitled.tempo = 33;
    untitled.orders = {0};
    untitled.samples.push_back(trackerwriter::sawSample(512));
    untitled.row(0, 0, "C-4 01 .. ... | --- .. .. ... | --- .. .. ... | --- .. .. ...");
    harness::writeBytes(unicode + "/my song \xE2\x99\xAB.xm", untitled.xm());
    const std::string latin = "Ete a Strasse Oresun";
    const std::string untitled_shown = "my song ?";

    const auto started = play(songs);
    ASSERT_TRUE(started);
    xsession::Player& player = *started;
    Image img;
    const auto fail = [&](const std::string& name) {
        return keep(img, name) + name + ": title '" + xsession::titleName(img) + "', song line '" +
               screentext::readText(img, 4, 10, 31, 0xFFFF) + "'";
    };
    const auto waitFor = [&](const std::function<bool(const Image&)>& wanted) {
        return xsession::waitForPicture(player, wanted, 15000, img);
    };
    ASSERT_TRUE(waitFor([&](const Image& i) { return xsession::isPatternView(i, latin); })) << fail("latin view 1");
    ASSERT_TRUE(player.key("Alt_L"));
    ASSERT_TRUE(waitFor([&](const Image& i) { return xsession::isScopeView(i, latin); })) << fail("latin view 4");
    ASSERT_TRUE(player.key("Shift_L"));
    ASSERT_TRUE(waitFor([&](const Image& i) { return xsession::isMeterView(i, latin); })) << fail("latin view 2");

    ASSERT_TRUE(player.key("Return"));
    const auto lines = [](const Image& i) {
        std::string text;
        for (int n = 0; n < 3; ++n)
            text += screentext::readText(i, 8, 30 + 8 * n, 24, [](std::uint16_t p) { return p != 0 && p != 0x43D3; }) + "|";
        return text;
    };
    const std::string wanted = "Unicode dir/            |latin.mod               |                        |";
    ASSERT_TRUE(waitFor([&](const Image& i) { return lines(i) == wanted; })) << keep(img, "list") << "lines '" << lines(img) << "'";
    ASSERT_TRUE(player.key("Down"));
    ASSERT_TRUE(player.key("Right"));
    const std::string inside = "my song ?.xm            |                        |                        |";
    ASSERT_TRUE(waitFor([&](const Image& i) { return lines(i) == inside; })) << keep(img, "folder") << "lines '" << lines(img) << "'";

    ASSERT_TRUE(player.key("Return"));
    ASSERT_TRUE(waitFor([&](const Image& i) { return xsession::titleName(i) == "Now Playing: " + untitled_shown; }))
        << fail("untitled view 2");
    ASSERT_TRUE(player.key("Control_L"));
    ASSERT_TRUE(waitFor([&](const Image& i) {
        return screentext::readText(i, 4, 10, 31, 0xFFFF) == "Song name: " + untitled_shown + std::string(11, ' ');
    })) << fail("untitled view 1");
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}
