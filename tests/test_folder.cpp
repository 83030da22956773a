// Playing a folder of modules: the list made from names (order, hidden
// entries, links, loops, what is not a file), refused files skipped, one
// pass of each module bit for bit as zindle-render plays it alone, fast
// switching, and the arrow keys in a real window.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/playlist.h"
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
        const std::string title = song ? songTitle(song) : "";
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
    const std::string audio = dir.file("audio.raw");
    {
        harness::Child child({kZindle, songs}, harness::headlessEnv(audio), dir.file("out"), dir.file("err"));
        std::size_t wanted = 48000 * kBytesPerFrame;
        for (const int n : order) wanted += renders[static_cast<std::size_t>(n)].size();
        ASSERT_TRUE(harness::waitForSize(audio, static_cast<off_t>(wanted), 120)) << harness::readText(dir.file("err"));
        child.signal(SIGTERM);
        ASSERT_EQ(child.wait(30), 0);
    }
    // Module 2 started twice: after module 1, and again in the last second.
    EXPECT_EQ(countOf(harness::readText(dir.file("err")),
                      two + ": sample data cut short: 600 bytes missing (sample 2: 600), played as silence\n"), 2u)
        << harness::readText(dir.file("err"));
    const std::vector<std::uint8_t> played = harness::readBytes(audio);
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
    const std::string audio = dir.file("audio.raw");
    harness::Child child({kZindle, songs}, harness::headlessEnv(audio), dir.file("out"), dir.file("err"));
    ASSERT_TRUE(harness::waitForSize(audio, 6 * 48000 * kBytesPerFrame, 120));
    EXPECT_TRUE(child.running());
    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(30), 0);
    EXPECT_EQ(countOf(harness::readText(dir.file("err")), "Couldn't load "), 1u);
}

// --- In a window

namespace {

// The "n/N" at the right end of the line at y = 10.
std::string counterText(const Image& img, int chars) {
    return screentext::readText(img, 316 - 8 * chars, 10, chars, 0xFFFF);
}

}  // namespace

// A refused entry leaves the list: "n/N" counts the playable entries found so
// far, and Left from the first steps over a refused last entry (a list of
// five, not a power of two).
TEST(Window, ArrowKeysStepThroughTheModulesOfAFolder) {
    const std::string missing = xsession::missingTools();
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    const std::vector<std::string> titles = {"first", "second", "third"};
    harness::writeBytes(songs + "/0-bad.mod", {1, 2, 3});
    for (std::size_t i = 0; i < titles.size(); ++i)
        ASSERT_TRUE(xsession::windowSong(titles[i]).write(songs + "/" + std::to_string(i + 1) + ".mod"));
    harness::writeBytes(songs + "/4-bad.mod", {});
    xsession::Xvfb x(dir.file("xvfb.log"));
    ASSERT_TRUE(x.ok()) << "Xvfb didn't start";
    xsession::Player player(x, songs, dir.path());
    ASSERT_TRUE(player.waitForWindow(15000)) << "no window";
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
        xsession::writePpm(img, dir.file(name + ".ppm"));
        return "screen: header '" + xsession::patternHeader(img) + "', counter '" + counterText(img, 3) + "'";
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

// With a list the "n/N" counter has the right end of the second line to
// itself in every view: a 20-character song name, N = 10000 and the channel
// group all stay whole. Six channels spread their compact cells over the
// width; sixteen show eight, every other one a shade darker.
TEST(Window, CounterCoversNothingAndCompactCellsStayApart) {
    const std::string missing = xsession::missingTools();
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
    TempDir dir;
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
    xsession::Xvfb x(dir.file("xvfb.log"));
    ASSERT_TRUE(x.ok()) << "Xvfb didn't start";
    xsession::Player player(x, songs, dir.path());
    ASSERT_TRUE(player.waitForWindow(15000)) << "no window";
    Image img;
    std::string why;
    const auto fail = [&](const std::string& name) {
        xsession::writePpm(img, dir.file(name + ".ppm"));
        return name + ": " + why + "; counter '" + counterText(img, 11) + "'";
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
        why = "song line '" + screentext::readText(i, 4, 10, 26, 0xFFFF) + "', header '" + xsession::patternHeader(i) +
              "', channels '" + screentext::readNarrowNumbers(i, 27, 0xD6BA) + "'";
        return screentext::readText(i, 4, 10, 26, 0xFFFF) == "Song: " + title &&
               xsession::patternHeader(i).rfind("#000/003 - 033bpm (31 ticks) - Vol: ", 0) == 0 &&
               counterText(i, static_cast<int>(counter.size())) == counter &&
               screentext::readNarrowNumbers(i, 27, 0xD6BA) == numbers;
    };
    const auto titles = [&](const Image& i) {
        why = "title '" + xsession::titleName(i) + "', position '" + xsession::titlePosition(i) + "'";
        return screentext::readText(i, 4, 0, 29, 0xFFFF) == "Playing: " + title &&
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
        player, [&](const Image& i) { return titles(i) && screentext::readText(i, 252, 0, 8, 0xFFFF) == "ch 01-08"; },
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
TEST(Window, ListPicksAModuleFromThreeHundred) {
    const std::string missing = xsession::missingTools();
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
    TempDir dir;
    const std::string songs = makeFolder(dir.file("songs"));
    const auto titleOf = [](int n) {
        char title[16];
        std::snprintf(title, sizeof title, "song %03d", n);
        return std::string(title);
    };
    for (int n = 0; n < 300; ++n)
        ASSERT_TRUE(xsession::windowSong(titleOf(n)).write(songs + "/" + titleOf(n) + ".mod"));
    xsession::Xvfb x(dir.file("xvfb.log"));
    ASSERT_TRUE(x.ok()) << "Xvfb didn't start";
    xsession::Player player(x, songs, dir.path());
    ASSERT_TRUE(player.waitForWindow(15000)) << "no window";
    Image img;
    const auto fail = [&](const std::string& name) {
        xsession::writePpm(img, dir.file(name + ".ppm"));
        return name + ": title '" + screentext::readText(img, 4, 0, 39, 0xFFFF) + "', song line '" +
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
                const int y = 24 + 8 * (n % 23);
                return screentext::readText(i, 4, 0, 7, 0xFFFF) == "Modules" &&
                       screentext::readText(i, 316 - 8 * static_cast<int>(position.size()), 0,
                                            static_cast<int>(position.size()), 0xFFFF) == position &&
                       i.at(319, y) == 0x43D3 && i.at(319, y == 24 ? 32 : 24) != 0x43D3;
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
