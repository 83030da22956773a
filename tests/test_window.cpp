// The player in a real window on a private X server, driven by real key
// presses: each view appears on its key, Space freezes the picture, Up, Down
// and the order keys change what the header shows (Up and Down the sound
// too, without an OSS mixer), C steps through the channel groups of a wide
// module, and Escape quits cleanly.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine_harness.h"
#include "tests/x11_session.h"

namespace {

using screentext::Image;
using xsession::Player;

const std::string kTitle = "window test";
constexpr int kWait = 15000;  // ms: generous, the machine may be busy

// The volume shown in a view-1 header, or -1.
int headerVolume(const Image& img) {
    const std::string text = xsession::patternHeader(img);
    int order = 0, length = 0, bpm = 0, speed = 0, volume = 0;
    if (std::sscanf(text.c_str(), "#%3d/%3d - %3dbpm (%2d ticks) - Vol: %3d", &order, &length, &bpm, &speed,
                    &volume) != 5)
        return -1;
    char again[64];
    std::snprintf(again, sizeof again, "#%03d/%03d - %03dbpm (%02d ticks) - Vol: %03d", order, length, bpm, speed,
                  volume);
    return text == again ? volume : -1;
}

std::string header(int order, int volume) {
    char text[64];
    std::snprintf(text, sizeof text, "#%03d/003 - 033bpm (31 ticks) - Vol: %03d", order, volume);
    return text;
}

// The RMS level of the next half second the player writes.
double playedLevel(Player& player) {
    constexpr off_t kHalfSecond = 24000 * 4;
    struct stat info {};
    if (stat(player.audioFile().c_str(), &info) != 0) return 0;
    const off_t from = info.st_size - info.st_size % 4;
    if (!harness::waitForSize(player.audioFile(), from + kHalfSecond, 30)) return 0;
    const std::vector<std::uint8_t> bytes = harness::readBytes(player.audioFile());
    double sum = 0;
    for (off_t i = from; i < from + kHalfSecond; i += 2) {
        const auto at = static_cast<std::size_t>(i);
        const double sample = static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8);
        sum += sample * sample;
    }
    return std::sqrt(sum / (kHalfSecond / 2));
}

using Window = xsession::WindowTest;

// Adds what was on the screen to a failure, keeping the picture in dir.
std::string seen(const Image& img, const harness::TempDir& dir, const std::string& name) {
    xsession::writePpm(img, dir.file(name + ".ppm"));
    std::string why_pattern, why_meters, why_scopes;
    xsession::isPatternView(img, kTitle, &why_pattern);
    xsession::isMeterView(img, kTitle, &why_meters);
    xsession::isScopeView(img, kTitle, &why_scopes);
    return "screen: header '" + xsession::patternHeader(img) + "', title '" + xsession::titleName(img) +
           "'; not view 1: " + why_pattern + "; not view 2: " + why_meters + "; not view 4: " + why_scopes;
}

TEST_F(Window, KeysSwitchViewsStepOrdersAndQuit) {
    const std::string song = dir.file("window.mod");
    ASSERT_TRUE(xsession::windowSong(kTitle).write(song));
    const auto started = play(song);
    ASSERT_TRUE(started);
    Player& player = *started;
    Image img;

    // View 1: the header at the first order position and the highlighted row.
    ASSERT_TRUE(xsession::waitForPicture(
        player, [](const Image& i) { return xsession::isPatternView(i, kTitle) && headerVolume(i) >= 0; }, kWait,
        img))
        << seen(img, dir, "view1");
    const int volume = headerVolume(img);
    EXPECT_EQ(xsession::patternHeader(img), header(0, volume));

    // Left Alt: the oscilloscopes, moving.
    ASSERT_TRUE(player.key("Alt_L"));
    ASSERT_TRUE(xsession::waitForPicture(player, [](const Image& i) { return xsession::isScopeView(i, kTitle); },
                                         kWait, img))
        << seen(img, dir, "view4");
    EXPECT_EQ(xsession::titlePosition(img), "#000/003 - 033bpm (31 ticks)");
    const Image scopes = img;
    ASSERT_TRUE(xsession::waitForPicture(player, [&](const Image& i) { return !(i == scopes); }, kWait, img))
        << "the scopes don't move";

    // Space: the picture stops changing, still showing the scopes.
    ASSERT_TRUE(player.key("space"));
    Image previous;
    ASSERT_TRUE(player.screenshot(previous));
    ASSERT_TRUE(xsession::waitForPicture(
        player,
        [&](const Image& i) {
            const bool same = i == previous;
            previous = i;
            return same;
        },
        kWait, img))
        << "the picture doesn't freeze";
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    Image later;
    ASSERT_TRUE(player.screenshot(later));
    EXPECT_TRUE(later == img) << "the frozen picture changed";
    EXPECT_TRUE(xsession::isScopeView(later, kTitle)) << seen(later, dir, "view3");

    // Left Shift: the sample meters, with a bar once a row starts its notes.
    ASSERT_TRUE(player.key("Shift_L"));
    ASSERT_TRUE(xsession::waitForPicture(
        player, [](const Image& i) { return xsession::isMeterView(i, kTitle) && xsession::hasMeterBar(i); }, kWait,
        img))
        << seen(img, dir, "view2");

    // Left Ctrl: back to the pattern view.
    ASSERT_TRUE(player.key("Control_L"));
    ASSERT_TRUE(xsession::waitForPicture(
        player, [&](const Image& i) { return xsession::isPatternView(i, kTitle) && headerVolume(i) == volume; },
        kWait, img))
        << seen(img, dir, "view1-again");

    // Down ten times, then Up: the volume shown moves by 5 within 0..100.
    // Without an OSS mixer the volume is the player's own: it starts at 100
    // and the sound follows it.
    const bool software = access("/dev/mixer", W_OK) != 0;
    const double full_level = software ? playedLevel(player) : 0;
    int louder = volume;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(player.key("Down"));
        if (louder >= 5) louder -= 5;
    }
    EXPECT_TRUE(xsession::waitForPicture(
        player, [&](const Image& i) { return xsession::patternHeader(i) == header(0, louder); }, kWait, img))
        << seen(img, dir, "volume-down");
    if (software) {
        EXPECT_EQ(volume, 100);
        const double ratio = playedLevel(player) / full_level;
        EXPECT_TRUE(ratio > 0.45 && ratio < 0.55) << "the sound at volume 50 is " << ratio << " of full";
    }
    ASSERT_TRUE(player.key("Up"));
    if (louder < 96) louder += 5;
    EXPECT_TRUE(xsession::waitForPicture(
        player, [&](const Image& i) { return xsession::patternHeader(i) == header(0, louder); }, kWait, img))
        << seen(img, dir, "volume-up");

    // Backspace and Tab: next and previous order position.
    ASSERT_TRUE(player.key("BackSpace"));
    EXPECT_TRUE(xsession::waitForPicture(
        player, [&](const Image& i) { return xsession::patternHeader(i) == header(1, louder); }, kWait, img))
        << seen(img, dir, "next-order");
    ASSERT_TRUE(player.key("Tab"));
    EXPECT_TRUE(xsession::waitForPicture(
        player, [&](const Image& i) { return xsession::patternHeader(i) == header(0, louder); }, kWait, img))
        << seen(img, dir, "previous-order");

    // Escape: a normal end.
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// Writes the settings file the test's players read.
void writeSettings(const harness::TempDir& dir, const std::string& text) {
    mkdir(dir.file("xdg-config").c_str(), 0755);
    mkdir(dir.file("xdg-config/zindle").c_str(), 0755);
    harness::writeBytes(dir.file("xdg-config/zindle/zindle.conf"), std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Key lines laid out as a Miyoo Mini's buttons come (A Space, B Left Ctrl,
// X Left Shift, L1 e, R1 t, L2 Tab, R2 Backspace, Start Return, Menu
// Escape): its buttons drive the player and the list. (xdotool presses Left
// Ctrl before a Right Ctrl it is asked for, so Select's key stays out.)
TEST_F(Window, KeyLinesGiveActionsTheButtonsOfAHandheld) {
    writeSettings(dir, "key.view1 = space\nkey.view2 = left ctrl\nkey.view4 = left shift\nkey.prev_order = e\n"
                       "key.next_order = t\nkey.pause = backspace\nkey.list = return\nkey.quit = escape\n"
                       "key.play = space, return\nkey.close = left ctrl, escape\nkey.repeat = tab\n");
    const std::string song = dir.file("window.mod");
    ASSERT_TRUE(xsession::windowSong(kTitle).write(song));
    const auto started = play(song);
    ASSERT_TRUE(started);
    Player& player = *started;
    Image img;
    const auto shows = [&](const std::function<bool(const Image&)>& wanted, const std::string& name) {
        EXPECT_TRUE(xsession::waitForPicture(player, wanted, kWait, img)) << seen(img, dir, name);
    };
    const auto atOrder = [](int order) {
        return [order](const Image& i) { return xsession::patternHeader(i).rfind(header(order, 0).substr(0, 8), 0) == 0; };
    };
    ASSERT_TRUE(player.key("Control_L"));
    shows([](const Image& i) { return xsession::isMeterView(i, kTitle); }, "b-view2");
    ASSERT_TRUE(player.key("Shift_L"));
    shows([](const Image& i) { return xsession::isScopeView(i, kTitle); }, "x-view4");
    ASSERT_TRUE(player.key("space"));
    shows([](const Image& i) { return xsession::isPatternView(i, kTitle); }, "a-view1");
    ASSERT_TRUE(player.key("t"));
    shows(atOrder(1), "r1-next-order");
    ASSERT_TRUE(player.key("e"));
    shows(atOrder(0), "l1-previous-order");
    ASSERT_TRUE(player.key("BackSpace"));
    shows(xsession::hasStatusLine, "r2-pause");
    ASSERT_TRUE(player.key("Return"));
    const auto modes = [](const Image& i) { return screentext::readText(i, 4, 19, 24, 0xD6BA); };
    shows([&](const Image& i) { return modes(i).rfind("Repeat: ", 0) == 0; }, "start-list");
    const std::string repeat = modes(img);
    ASSERT_TRUE(player.key("Tab"));
    shows([&](const Image& i) { return modes(i).rfind("Repeat: ", 0) == 0 && modes(i) != repeat; }, "l2-repeat");
    ASSERT_TRUE(player.key("Control_L"));
    shows([](const Image& i) { return xsession::isPatternView(i, kTitle); }, "b-close");
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// Home turns the screen and its light off while the music and the list go
// on; every key is locked (Right changes nothing) until Home held with
// Return wakes the view, and the light comes back on SIGTERM too.
TEST_F(Window, ScreenOffLocksTheKeysUntilTheWakeCombination) {
    const std::string light = dir.file("sys/class/backlight/panel");
    std::filesystem::create_directories(light);
    harness::writeBytes(light + "/brightness", {'8', '7', '\n'});
    const std::string songs = dir.file("songs");
    mkdir(songs.c_str(), 0755);
    ASSERT_TRUE(xsession::windowSong(kTitle).write(songs + "/1.mod"));
    ASSERT_TRUE(xsession::windowSong("second").write(songs + "/2.mod"));
    const auto started = play(songs, {"--from-start"});
    ASSERT_TRUE(started);
    Player& player = *started;
    Image img;
    const auto black = [](const Image& i) {
        for (const std::uint16_t pixel : i.pixels)
            if (pixel != 0) return false;
        return !i.pixels.empty();
    };
    const auto firstModule = [](const Image& i) { return xsession::isPatternView(i, kTitle); };
    ASSERT_TRUE(xsession::waitForPicture(player, firstModule, kWait, img)) << seen(img, dir, "before");
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(player.key("Home"));
        EXPECT_TRUE(xsession::waitForPicture(player, black, kWait, img)) << seen(img, dir, "off");
        EXPECT_EQ(harness::readText(light + "/brightness"), "0\n");
        if (round == 1) break;
        const off_t played = harness::readBytes(player.audioFile()).size();
        for (const char* key : {"Right", "Control_L", "Return", "Home"}) ASSERT_TRUE(player.key(key));
        EXPECT_TRUE(harness::waitForSize(player.audioFile(), played + 48000 * 4, 30)) << "the music goes on";
        ASSERT_TRUE(player.screenshot(img));
        EXPECT_TRUE(black(img)) << seen(img, dir, "locked");
        ASSERT_TRUE(player.key("Home+Return"));
        EXPECT_TRUE(xsession::waitForPicture(player, firstModule, kWait, img)) << seen(img, dir, "woken");
        EXPECT_EQ(harness::readText(light + "/brightness"), "87\n");
    }
    player.signal(SIGTERM);
    EXPECT_EQ(player.waitForExit(20), 0);
    EXPECT_EQ(harness::readText(light + "/brightness"), "87\n");
}

// Two actions' keys given to each other swap the actions.
TEST_F(Window, KeyLinesSwappingTwoActionsSwapThem) {
    writeSettings(dir, "key.view1 = left shift\nkey.view2 = left ctrl\n");
    const std::string song = dir.file("window.mod");
    ASSERT_TRUE(xsession::windowSong(kTitle).write(song));
    const auto started = play(song);
    ASSERT_TRUE(started);
    Player& player = *started;
    Image img;
    ASSERT_TRUE(player.key("Control_L"));
    EXPECT_TRUE(xsession::waitForPicture(player, [](const Image& i) { return xsession::isMeterView(i, kTitle); },
                                         kWait, img))
        << seen(img, dir, "left-ctrl");
    ASSERT_TRUE(player.key("Shift_L"));
    EXPECT_TRUE(xsession::waitForPicture(player, [](const Image& i) { return xsession::isPatternView(i, kTitle); },
                                         kWait, img))
        << seen(img, dir, "left-shift");
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// The channel numbers over view 1's compact cells, read from the window.
std::string channelNumbers(const Image& img) { return screentext::readNarrowNumbers(img, 27, 0xD6BA); }

// windowSong as an XM for libxmp: the same slow tempo and notes on every row,
// on an 8-bit saw, a 16-bit square and an 8-bit triangle within -48..47 (the
// square's high bytes).
trackerwriter::Song windowXm() {
    trackerwriter::Song song;
    song.title = kTitle;
    song.orders = {0, 1, 2};
    for (int n = 0; n < 3; ++n) {
        trackerwriter::Sample s;
        s.name = "wave " + std::to_string(n + 1);
        s.sixteen_bit = n == 1;
        for (int k = 0; k < 256; ++k) {
            const int value = n == 0 ? k * 96 / 256 - 48 : n == 1 ? (k < 128 ? 40 * 256 : -40 * 256)
                                                                  : (k < 128 ? k * 3 / 4 - 48 : 143 - k * 3 / 4);
            s.data.push_back(static_cast<std::int16_t>(value));
        }
        s.loop_length = 256;
        song.samples.push_back(s);
    }
    for (int p = 0; p < 3; ++p) {
        song.row(p, 0, "C-4 01 .. F1F | E-4 02 .. F21 | G-4 03 .. ... | C-5 01 .. ...");
        for (int r = 1; r < 64; ++r) song.row(p, r, "C-4 01 .. ... | E-4 02 .. ... | G-4 03 .. ... | C-5 01 .. ...");
    }
    return song;
}

// An XM plays on libxmp in the same three views: its notes in view 1, a bar
// per instrument in view 2 and moving scopes of its 8- and 16-bit samples.
TEST_F(Window, AnXmShowsItsNotesMetersAndMovingScopes) {
    const std::string song = dir.file("window.xm");
    harness::writeBytes(song, windowXm().xm());
    const auto started = play(song);
    ASSERT_TRUE(started);
    Player& player = *started;
    Image img;

    // View 1: the header, and each channel's note and instrument on the
    // highlighted line, in the narrow cells of three-character fields.
    const auto cellsRead = [](const Image& i) {
        std::string cells;
        for (int j = 0; j < 4; ++j)
            cells += screentext::readNarrowText(i, 16 + 76 * j, 131, 3, 0xFFFF) + " " +
                     screentext::readNarrowText(i, 16 + 76 * j + 24, 131, 2, 0x171F) + "|";
        return cells;
    };
    const std::string notes = "C-4 01|E-4 02|G-4 03|C-5 01|";
    ASSERT_TRUE(xsession::waitForPicture(
        player, [&](const Image& i) { return xsession::isPatternView(i, kTitle) && cellsRead(i) == notes; }, kWait,
        img))
        << seen(img, dir, "xm-view1") << "; cells '" << cellsRead(img) << "'";
    EXPECT_EQ(xsession::patternHeader(img).substr(0, 28), "#000/003 - 033bpm (31 ticks)");

    // Left Shift: a meter per instrument, rising with the notes.
    ASSERT_TRUE(player.key("Shift_L"));
    ASSERT_TRUE(xsession::waitForPicture(
        player, [](const Image& i) { return xsession::isMeterView(i, kTitle) && xsession::hasMeterBar(i); }, kWait,
        img))
        << seen(img, dir, "xm-view2");

    // Left Alt: a scope per channel, moving.
    ASSERT_TRUE(player.key("Alt_L"));
    ASSERT_TRUE(xsession::waitForPicture(player, [](const Image& i) { return xsession::isScopeView(i, kTitle); },
                                         kWait, img))
        << seen(img, dir, "xm-view4");
    const Image scopes = img;
    ASSERT_TRUE(xsession::waitForPicture(player, [&](const Image& i) { return !(i == scopes); }, kWait, img))
        << "the scopes don't move";
    // Every trace leaves its baseline somewhere: each voice's sample is drawn.
    for (const int baseline : {37, 92, 147, 202}) {
        bool off_baseline = false;
        for (int x = 32; x < 288; ++x) off_baseline = off_baseline || img.at(x, baseline) == 0;
        EXPECT_TRUE(off_baseline) << "a flat trace at " << baseline;
    }

    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// C steps views 1 and 4 of a module of more than eight channels through its
// groups of eight, back to the first after the last.
TEST_F(Window, CShowsTheNextEightChannels) {
    const std::string song = dir.file("wide.mod");
    modwriter::Song wide = xsession::windowSong(kTitle);
    wide.channels = 12;
    wide.tag = "12CH";
    ASSERT_TRUE(wide.write(song));
    const auto started = play(song);
    ASSERT_TRUE(started);
    Player& player = *started;
    Image img;
    const std::string first = "01 02 03 04 05 06 07 08 ";
    const std::string second = "09 10 11 12 ";
    ASSERT_TRUE(xsession::waitForPicture(player, [&](const Image& i) { return channelNumbers(i) == first; }, kWait, img))
        << seen(img, dir, "first-group") << "; channels '" << channelNumbers(img) << "'";
    ASSERT_TRUE(player.key("c"));
    EXPECT_TRUE(xsession::waitForPicture(player, [&](const Image& i) { return channelNumbers(i) == second; }, kWait, img))
        << seen(img, dir, "second-group") << "; channels '" << channelNumbers(img) << "'";
    ASSERT_TRUE(player.key("c"));
    EXPECT_TRUE(xsession::waitForPicture(player, [&](const Image& i) { return channelNumbers(i) == first; }, kWait, img))
        << seen(img, dir, "first-again") << "; channels '" << channelNumbers(img) << "'";
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

// The module list tells of the module under the cursor what the renderer,
// started beside the player, found: its format, channels and one-pass
// length, or "?" where it found nothing to show.
TEST_F(Window, TheListTellsWhatEachModuleIs) {
    // The player starts the renderer it finds beside its own binary, which
    // the kernel runs only on the processor it was built for.
    if (std::string(ZINDLE_EMULATOR) != "")
        GTEST_SKIP() << "the programs are built for another processor and run under " ZINDLE_EMULATOR;
    const std::string songs = dir.file("songs");
    mkdir(songs.c_str(), 0755);
    ASSERT_TRUE(xsession::windowSong(kTitle).write(songs + "/1.mod"));
    const auto xm = harness::TrackerFormat::kXm;
    harness::writeBytes(songs + "/2.xm", harness::trackerBytes(xm, harness::trackerSong(xm, 6)));
    modwriter::Song untagged = xsession::windowSong(kTitle);
    untagged.num_samples = 15;
    ASSERT_TRUE(untagged.write(songs + "/3.mod"));
    harness::writeBytes(songs + "/4.mod", std::vector<std::uint8_t>(4000, 'x'));
    const auto started = play(songs);
    ASSERT_TRUE(started);
    Player& player = *started;
    ASSERT_TRUE(player.key("Return"));
    const auto info = [](const Image& i) { return screentext::readText(i, 4, 212, 40, 0x171F); };
    Image img;
    for (const char* expected : {"M.K., 4 channels, 7:30", "XM, 6 channels, 0:02", "?", "?"}) {
        EXPECT_TRUE(xsession::waitForPicture(
            player, [&](const Image& i) { return info(i).rfind(expected, 0) == 0; }, kWait, img))
            << seen(img, dir, "list") << "; info '" << info(img) << "'";
        ASSERT_TRUE(player.key("Down"));
    }
    ASSERT_TRUE(player.key("Escape"));
    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

}  // namespace

namespace {

// The one-pass length --info tells, as "m:ss".
std::string infoLength(const std::string& module) {
    const harness::Result r = harness::run({ZINDLE_RENDER_BIN, "--info", module});
    const std::size_t at = r.out.find("One pass:");
    if (at == std::string::npos) return "?";
    const std::size_t from = r.out.find_first_not_of(' ', at + 9);
    return r.out.substr(from, r.out.find('.', from) - from);
}

// The status line's left part: "m:ss/m:ss" (or "--:--" before the probe
// has answered) and, paused, "  Paused".
bool statusReads(const Image& img, const std::string& length, bool paused) {
    const std::string text = xsession::statusLine(img);
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos || slash < 4) return false;
    for (std::size_t i = 0; i < slash; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])) && !(text[i] == ':' && i == slash - 3)) return false;
    const std::string rest = text.substr(slash + 1);
    const std::string wanted = length + (paused ? "  Paused" : "");
    return rest.rfind(wanted, 0) == 0 && rest.find_first_not_of(' ', wanted.size()) == std::string::npos;
}

}  // namespace

// P pauses and resumes without a lost or repeated frame, on our engine and
// on libxmp's: with the silence of the pause taken out, the sound is
// zindle-render's of the same length byte for byte. Paused, the status line
// tells the time, the pass length as --info tells it, and "Paused", in
// views 1, 2 and 4.
TEST_F(Window, PauseResumesAtTheExactFrame) {
    const bool emulated = std::string(ZINDLE_EMULATOR) != "";  // no renderer beside the player: no length
    for (const char* name : {"pause.mod", "pause.xm"}) {
        SCOPED_TRACE(name);
        harness::TempDir run;
        const std::string song = run.file(name);
        if (name[6] == 'm')
            ASSERT_TRUE(xsession::windowSong(kTitle).write(song));
        else
            harness::writeBytes(song, windowXm().xm());
        const std::string length = infoLength(song);
        const auto started = play(song);
        ASSERT_TRUE(started);
        Player& player = *started;
        Image img;
        ASSERT_TRUE(harness::waitForSize(player.audioFile(), 2 * 48000 * 4, 30));
        ASSERT_TRUE(player.key("p"));
        const auto pausedIn = [&](const char* view_key, bool (*view)(const Image&, const std::string&, std::string*)) {
            EXPECT_TRUE(player.key(view_key));
            EXPECT_TRUE(xsession::waitForPicture(
                player,
                [&](const Image& i) { return view(i, kTitle, nullptr) && statusReads(i, emulated ? "--:--" : length, true); },
                kWait, img))
                << view_key << ": " << seen(img, dir, "paused") << "; status '" << xsession::statusLine(img) << "'";
        };
        pausedIn("Control_L", xsession::isPatternView);
        pausedIn("Shift_L", xsession::isMeterView);
        pausedIn("Alt_L", xsession::isScopeView);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ASSERT_TRUE(player.key("p"));
        struct stat info {};
        ASSERT_EQ(stat(player.audioFile().c_str(), &info), 0);
        ASSERT_TRUE(harness::waitForSize(player.audioFile(), info.st_size + 2 * 48000 * 4, 30));
        ASSERT_TRUE(player.key("Escape"));
        ASSERT_EQ(player.waitForExit(20), 0);

        // Frames: the leading silence to the buffer where the song starts,
        // the pause as the longest run of silent whole buffers, the silence
        // after the end dropped.
        const std::vector<std::uint8_t> bytes = harness::readBytes(player.audioFile());
        constexpr std::size_t kBuffer = 4096;
        const auto silent = [&](std::size_t at) {
            for (std::size_t i = at; i < at + kBuffer; ++i)
                if (bytes[i] != 0) return false;
            return true;
        };
        std::size_t lead = 0, end = bytes.size() - bytes.size() % kBuffer;
        while (lead < end && silent(lead)) lead += kBuffer;
        while (end > lead && silent(end - kBuffer)) end -= kBuffer;
        std::size_t pause_at = 0, pause_size = 0;
        for (std::size_t at = lead; at < end;) {
            std::size_t run_end = at;
            while (run_end < end && silent(run_end)) run_end += kBuffer;
            if (run_end - at > pause_size) pause_at = at, pause_size = run_end - at;
            at = run_end == at ? at + kBuffer : run_end;
        }
        ASSERT_GE(pause_size, 48000u * 4) << "no pause of a second or more";
        std::vector<std::uint8_t> played(bytes.begin() + static_cast<std::ptrdiff_t>(lead),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(pause_at));
        played.insert(played.end(), bytes.begin() + static_cast<std::ptrdiff_t>(pause_at + pause_size),
                      bytes.begin() + static_cast<std::ptrdiff_t>(end));
        ASSERT_GE(played.size(), 3u * 48000 * 4);
        const harness::Result r = harness::run({ZINDLE_RENDER_BIN, "--raw", "--seconds",
                                                std::to_string(played.size() / 192000 + 1), "--output",
                                                run.file("r.raw"), song});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::uint8_t> expected = harness::readBytes(run.file("r.raw"));
        ASSERT_GE(expected.size(), played.size());
        std::size_t same = 0;
        while (same < played.size() && played[same] == expected[same]) ++same;
        EXPECT_EQ(same, played.size()) << "differs at frame " << same / 4 << " of " << played.size() / 4
                                       << "; the pause took frames " << (pause_at - lead) / 4 << " to "
                                       << (pause_at - lead + pause_size) / 4;
    }
}

// The picture at a whole scale, each pixel a square, centred on black: full
// screen fills a 640x480 display at scale 2 and stands between borders on a
// square one; a window asked for scale 3 is 960x720.
TEST_F(Window, ThePictureIsScaledWholeAndCentredOnBlack) {
    const std::string song = dir.file("window.mod");
    ASSERT_TRUE(xsession::windowSong(kTitle).write(song));
    const struct {
        const char* display;
        std::vector<std::string> options;
        int width, height, scale, x, y;
    } cases[] = {
        {"640x480", {"--fullscreen"}, 640, 480, 2, 0, 0},
        {"720x720", {"--fullscreen"}, 720, 720, 2, 40, 120},
        {"1280x960", {"--scale", "3"}, 960, 720, 3, 0, 0},
    };
    for (const auto& k : cases) {
        useScreen(k.display);
        const auto started = play(song, k.options);
        ASSERT_TRUE(started) << k.display;
        Image img, picture;
        std::string why;
        EXPECT_TRUE(xsession::waitForPicture(
            *started,
            [&](const Image& i) {
                return i.width == k.width && i.height == k.height && xsession::unscale(i, k.scale, k.x, k.y, picture, &why) &&
                       xsession::isPatternView(picture, kTitle, &why);
            },
            kWait, img))
            << k.display << ": " << img.width << "x" << img.height << ", " << why << keep(img, k.display);
        EXPECT_TRUE(started->key("Escape"));
        EXPECT_EQ(started->waitForExit(10), 0) << k.display;
    }
}
