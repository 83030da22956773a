// The shapes beyond four channels and 31 samples played through the real
// loader and mixer: a module whose extra channels are empty, a 15-sample
// copy and an FLT8 copy sound exactly as their ordinary twins, channel c
// pans as channel c mod 4 does, and every one of 32 channels plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/engine_harness.h"

using modwriter::Cell;
using modwriter::Song;

namespace {

constexpr std::uint64_t kFiveSeconds = 5 * kOutputRate;

// Notes, slides, a loop, a delay, jumps and tempo changes on four channels,
// over three patterns, with samples 1..3 only.
Song fourChannelSong(int restart) {
    Song song;
    song.title = "twin";
    song.samples[0] = harness::loopedSample(512);
    song.samples[1] = harness::oneShotSample(3000, 40);
    song.samples[2] = harness::loopedSample(64, 50);
    song.song_length = 4;
    song.restart = restart;
    song.orders = {0, 1, 2, 1};
    for (int p = 0; p < 3; ++p) {
        song.row(p, 0, "C-2 01 F04 | E-2 02 ... | G-2 03 A02 | C-3 01 ...");
        song.row(p, 4, "--- -- 302 | D-2 02 E60 | --- 03 ... | A-1 01 420");
        song.row(p, 8, "B-3 03 901 | --- -- E61 | D-2 02 EE1 | --- -- F90");
        song.row(p, 16, "C-1 01 ... | G-2 02 ... | --- -- C10 | E-3 03 E92");
    }
    song.at(0, 30, 1) = Cell{0, 0, 0xD, 0x12};
    song.at(1, 40, 3) = Cell{0, 0, 0xB, 0x02};
    song.at(2, 50, 0) = Cell{0, 0, 0xD, 0x00};
    return song;
}

// The same song with `channels` channels, the first four as before.
Song widened(Song song, int channels, const std::string& tag) {
    song.channels = channels;
    song.tag = tag;
    return song;
}

std::vector<std::int16_t> rendered(const Song& song, std::uint64_t frames = kFiveSeconds) {
    harness::Engine engine(song);
    return engine.render(frames);
}

}  // namespace

TEST(Formats, EmptyExtraChannelsAndOldFilesSoundAsTheirTwins) {
    for (int restart : {127, 1}) {
        const Song original = fourChannelSong(restart);
        const std::vector<std::int16_t> expected = rendered(original);
        ASSERT_NE(std::count(expected.begin(), expected.end(), 0), static_cast<long>(expected.size()));
        EXPECT_EQ(rendered(widened(original, 8, "8CHN")), expected) << "8CHN, restart " << restart;
        EXPECT_EQ(rendered(widened(original, 32, "32CH")), expected) << "32CH, restart " << restart;
        Song old = original;
        old.num_samples = 15;
        EXPECT_EQ(rendered(old), expected) << "15 samples, restart " << restart;
        // FLT8: the same eight channels as 8CHN, stored in 4-channel blocks.
        Song paired = widened(original, 8, "FLT8");
        paired.paired_blocks = true;
        for (int& order : paired.orders) order *= 2;
        EXPECT_EQ(rendered(paired), expected) << "FLT8, restart " << restart;
    }
}

// Channel c pans as channel c mod 4 (left, right, right, left), at the same
// gains and mix scale whatever the number of channels.
TEST(Formats, ChannelsPanInGroupsOfFour) {
    Song lone = harness::basicSong();
    lone.song_length = 1;
    for (int c : {0, 1, 2, 3, 5, 6, 15, 28, 31}) {
        Song wide = widened(lone, 32, "32CH");
        wide.at(0, 0, c) = Cell{428, 1, 0, 0};
        Song four = lone;
        four.at(0, 0, c % 4) = Cell{428, 1, 0, 0};
        EXPECT_EQ(rendered(wide, 4096), rendered(four, 4096)) << "channel " << c;
    }
}

// Every channel of a 32-channel module drives its own voice, and the effects
// of the last channels act as on the first.
TEST(Formats, ThirtyTwoChannelsEachPlayTheirNote) {
    Song song = widened(harness::basicSong(), 32, "32CH");
    song.samples[1] = harness::loopedSample(256, 20);
    for (int c = 0; c < 32; ++c) song.at(0, 0, c) = Cell{tab_tunes[0][c], 1 + c % 2, 0, 0};
    song.at(0, 0, 31) = Cell{tab_tunes[0][31], 2, 0xF, 0x02};  // speed 2
    song.at(0, 1, 30) = Cell{0, 0, 0xC, 0x05};
    song.at(0, 2, 29) = Cell{0, 0, 0xD, 0x00};
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(7);
    EXPECT_EQ(t[0].speed, 2);
    for (std::size_t c = 0; c < 32; ++c) {
        EXPECT_EQ(t[0].ch[c].period, tab_tunes[0][c]) << c;
        EXPECT_EQ(t[0].voice[c].rate, periodToRate(tab_tunes[0][c])) << c;
        EXPECT_EQ(t[0].voice[c].volume, c % 2 == 0 ? 64 : 20) << c;
    }
    EXPECT_EQ(t[2].voice[30].volume, 5);
    // Row 2 breaks to the next order: the one-order song starts again.
    EXPECT_EQ((std::pair{t[4].order, t[4].row}), (std::pair{0, 2}));
    EXPECT_EQ((std::pair{t[6].order, t[6].row}), (std::pair{0, 0}));
    EXPECT_EQ(engine.module()->channels, 32);
}
