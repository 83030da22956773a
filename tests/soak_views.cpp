// A minute of the player in a window while keys switch its views ten times a
// second: it must not crash, and every screenshot taken meanwhile must be a
// whole picture of one view. Long, so not part of the test suite: run it
// with scripts/soak-views.sh (ZINDLE_SOAK_SECONDS sets the length).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/engine_harness.h"
#include "tests/x11_session.h"

namespace {

using screentext::Image;

const std::string kTitle = "soak";

int soakSeconds() {
    const char* text = std::getenv("ZINDLE_SOAK_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 60;
}

// Ten key presses a second for the whole run: mostly view keys, now and then
// an order step or a volume change.
std::string keySequence(int seconds) {
    const char* const views[] = {"Control_L", "Shift_L", "Alt_L", "space", "Alt_L", "Control_L", "space", "Shift_L"};
    std::string keys;
    for (int n = 0; n < seconds * 10; ++n) {
        const char* key = views[n % 8];
        if (n % 40 == 39) key = "BackSpace";
        if (n % 120 == 79) key = "Tab";
        if (n % 100 == 59) key = n % 200 == 59 ? "Up" : "Down";
        keys += std::string(key) + " ";
    }
    return keys;
}

using Soak = xsession::WindowTest;

TEST_F(Soak, ViewsSwitchTenTimesASecond) {
    const int seconds = soakSeconds();
    const std::string song = dir.file("soak.mod");
    ASSERT_TRUE(xsession::windowSong(kTitle).write(song));
    const auto started = play(song);
    ASSERT_TRUE(started);
    xsession::Player& player = *started;

    auto keys = player.keysInBackground(keySequence(seconds), 100);
    int pictures[3] = {};
    int bad = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end && player.running()) {
        Image img;
        if (!player.screenshot(img)) continue;
        std::string why_pattern, why_meters, why_scopes;
        if (xsession::isPatternView(img, kTitle, &why_pattern)) {
            ++pictures[0];
        } else if (xsession::isMeterView(img, kTitle, &why_meters)) {
            ++pictures[1];
        } else if (xsession::isScopeView(img, kTitle, &why_scopes)) {
            ++pictures[2];
        } else if (++bad <= 5) {
            const std::string name = "soak-bad" + std::to_string(bad) + ".ppm";
            xsession::writePpm(img, name);
            ADD_FAILURE() << name << " is a picture of no view: " << why_pattern << "; " << why_meters << "; "
                          << why_scopes;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(player.running()) << "the player ended during the run";
    EXPECT_EQ(keys->wait(30), 0) << "xdotool";
    std::printf("pictures checked: %d pattern, %d meters, %d scopes, %d bad\n", pictures[0], pictures[1],
                pictures[2], bad);
    EXPECT_GT(pictures[0], 0);
    EXPECT_GT(pictures[1], 0);
    EXPECT_GT(pictures[2], 0);
    EXPECT_EQ(bad, 0);

    ASSERT_TRUE(player.key("Escape"));
    EXPECT_EQ(player.waitForExit(20), 0);
}

}  // namespace
