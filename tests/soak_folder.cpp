// A minute of the player in a window on a folder of modules while keys switch
// modules ten times a second (Right and Left) and views now and then, and
// modules of a tenth of a second end their passes by themselves meanwhile:
// it must not crash, and every screenshot must be a whole picture of one
// view of one of the modules. Long, so not part of the test suite: run it
// with scripts/soak-folder.sh (ZINDLE_SOAK_SECONDS sets the length).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine_harness.h"
#include "tests/x11_session.h"

namespace {

using screentext::Image;

int soakSeconds() {
    const char* text = std::getenv("ZINDLE_SOAK_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 60;
}

std::string repeated(const std::vector<std::string>& keys, int count) {
    std::string out;
    for (int n = 0; n < count; ++n) out += keys[static_cast<std::size_t>(n) % keys.size()] + " ";
    return out;
}

// The still picture view 3 shows after a switch: the background (program
// title, song name, the module counter) on black.
bool isStill(const Image& img, const std::string& title) {
    if (screentext::readText(img, 4, 1, 37, 0xFFFF) != "Zindle - The simple ProTracker player") return false;
    const std::string line = "Song: " + title;
    if (screentext::readText(img, 4, 10, static_cast<int>(line.size()), 0xFFFF) != line) return false;
    for (int y = 18; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (img.at(x, y) != 0) return false;
    return true;
}

using Soak = xsession::WindowTest;

TEST_F(Soak, ModulesSwitchTenTimesASecond) {
    const int seconds = soakSeconds();
    const std::string songs = dir.file("songs");
    mkdir(songs.c_str(), 0755);
    const std::vector<std::string> titles = {"slow one", "quick a", "slow two", "quick b", "slow three"};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        // The quick ones: the window song's samples (traces the checks know),
        // one tick a row, back to the top after row 4.
        modwriter::Song song = xsession::windowSong(titles[i]);
        if (titles[i].rfind("quick", 0) == 0) {
            song.row(0, 0, "C-2 01 F01 | E-2 02 F7D | G-2 03 ... | C-3 01 ...");
            song.at(0, 4, 2) = modwriter::Cell{0, 0, 0xB, 0};
        }
        ASSERT_TRUE(song.write(songs + "/" + std::to_string(i) + ".mod"));
    }
    harness::writeBytes(songs + "/9-not-a-module.mod", {1, 2, 3});
    const auto started = play(songs);
    ASSERT_TRUE(started);
    xsession::Player& player = *started;

    auto switches = player.keysInBackground(repeated({"Right", "Right", "Left", "Right", "Left"}, seconds * 10), 100);
    auto views = player.keysInBackground(
        repeated({"Shift_L", "Alt_L", "space", "Control_L", "BackSpace", "Alt_L", "space", "Control_L"}, seconds), 1000);
    int pictures = 0, bad = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end && player.running()) {
        Image img;
        if (!player.screenshot(img)) continue;
        bool good = false;
        for (const std::string& title : titles)
            good = good || xsession::isPatternView(img, title) || xsession::isMeterView(img, title) ||
                   xsession::isScopeView(img, title) || isStill(img, title);
        if (good) {
            ++pictures;
        } else if (++bad <= 5) {
            const std::string name = "soak-folder-bad" + std::to_string(bad) + ".ppm";
            xsession::writePpm(img, name);
            ADD_FAILURE() << name << " is a picture of no view of any module";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(player.running()) << "the player ended during the run";
    EXPECT_EQ(switches->wait(30), 0) << "xdotool";
    EXPECT_EQ(views->wait(30), 0) << "xdotool";
    std::printf("pictures checked: %d good, %d bad\n", pictures, bad);
    EXPECT_GT(pictures, 0);
    EXPECT_EQ(bad, 0);

    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

}  // namespace
