// The sequencer: frames per tick, the song position through rows, orders,
// jumps, loops, delays and the song's end.
#include <gtest/gtest.h>

#include <functional>
#include <algorithm>
#include <utility>

#include "tests/engine_harness.h"

using Pos = std::pair<int, int>;  // order, row

namespace {

using harness::positions;

using harness::rowPerTickSong;

class Sequencer : public harness::EngineTest {};

}  // namespace

TEST_F(Sequencer, TicksFall960FramesApartWhateverTheBuffers) {
    harness::Engine engine(harness::basicSong());
    std::vector<int> pieces;
    for (int buffer = 0; buffer < 3; ++buffer) {
        int frames = 1024;
        while (frames > 0) {
            const int n = zindlePulse(frames);
            pieces.push_back(n);
            frames -= n;
        }
    }
    EXPECT_EQ(pieces, (std::vector<int>{960, 64, 896, 128, 832, 192}));
    const std::vector<harness::TickState> ticks = engine.ticks(5);
    for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_EQ(ticks[i].frame - ticks[i - 1].frame, 960u);
}

TEST_F(Sequencer, PulseBeforePlayRunsNoTick) {
    EXPECT_EQ(zindlePulse(1024), 1024);
    EXPECT_EQ(zindlePulse(7), 7);
    EXPECT_EQ(mod_tick, 0);
    EXPECT_EQ(mod_samplecounter, 0);
}

TEST_F(Sequencer, PlayStartsWithDefaultTempoAndTheMirrors) {
    harness::Engine engine(rowPerTickSong(3), 2);
    EXPECT_EQ(mod_speed, 6);
    EXPECT_EQ(mod_bpm, 125);
    EXPECT_EQ(mod_samplespertick, 960);
    EXPECT_EQ(mod_playing, 1);
    EXPECT_EQ(engine.module()->order, 2);
    EXPECT_EQ(engine.module()->pattern, 2);
    EXPECT_EQ(engine.module()->speed, 6);
    EXPECT_EQ(engine.module()->bpm, 125);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(channels[i].index, i);
        EXPECT_EQ(channels[i].volume, 64);
    }
}

TEST_F(Sequencer, PlayPastTheSongStartsAtTheRestartOrTheTop) {
    {
        harness::Engine engine(rowPerTickSong(4, 2), 9);
        EXPECT_EQ(mod_order, 2);
        EXPECT_EQ(mod_row, 0);
    }
    {
        harness::Engine engine(rowPerTickSong(4, 127), 9);
        EXPECT_EQ(mod_order, 0);
    }
}

TEST_F(Sequencer, SongEndGoesOnAtTheRestartOrTheTop) {
    {
        harness::Engine engine(rowPerTickSong(3, 1));
        const std::vector<Pos> p = positions(engine, 3 * 64 + 2);
        EXPECT_EQ(p[3 * 64 - 1], Pos(2, 63));
        EXPECT_EQ(p[3 * 64], Pos(1, 0));
        EXPECT_EQ(p[3 * 64 + 1], Pos(1, 1));
    }
    {
        harness::Engine engine(rowPerTickSong(3, 127));
        const std::vector<Pos> p = positions(engine, 3 * 64 + 1);
        EXPECT_EQ(p[3 * 64], Pos(0, 0));
    }
}

TEST_F(Sequencer, RestartAtOrPastTheSongLengthStartsFromTheTop) {
    // A restart byte of 0x78 with three orders: order 3 isn't part of the song.
    modwriter::Song song = rowPerTickSong(3, 0x78);
    song.orders[3] = 7;
    harness::Engine engine(song);
    EXPECT_EQ(engine.module()->restart_pos, 3);
    const std::vector<Pos> p = positions(engine, 3 * 64 + 65);
    EXPECT_EQ(p[3 * 64], Pos(0, 0));
    EXPECT_EQ(p[4 * 64], Pos(1, 0));
}

TEST_F(Sequencer, BreakPastTheSongKeepsItsRowOnlyWithRestart) {
    for (int restart : {1, 127}) {
        modwriter::Song song = rowPerTickSong(2, restart);
        song.at(1, 10, 1) = modwriter::Cell{0, 0, 0xD, 0x05};
        harness::Engine engine(song);
        const std::vector<Pos> p = positions(engine, 64 + 12);
        EXPECT_EQ(p[64 + 10], Pos(1, 10));
        EXPECT_EQ(p[64 + 11], restart == 1 ? Pos(1, 5) : Pos(0, 0)) << restart;
    }
}

TEST_F(Sequencer, EmptySongPlaysOrderZeroOverAndOver) {
    harness::Engine engine(rowPerTickSong(0, 0));
    const std::vector<Pos> p = positions(engine, 130);
    EXPECT_EQ(p[63], Pos(0, 63));
    EXPECT_EQ(p[64], Pos(0, 0));
    EXPECT_EQ(p[129], Pos(0, 1));
}

TEST_F(Sequencer, SpeedZeroEndsEveryRowLikeSpeedOne) {
    modwriter::Song song = rowPerTickSong(1);
    song.at(0, 0, 3) = modwriter::Cell{0, 0, 0xF, 0};
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t[static_cast<std::size_t>(i)].row, i);
        EXPECT_EQ(t[static_cast<std::size_t>(i)].tick, 0);
    }
    EXPECT_EQ(t[1].speed, 0);
}

TEST_F(Sequencer, JumpStepsOrdersAndWrapsBelowTheFirst) {
    harness::Engine engine(rowPerTickSong(5, 127));
    engine.ticks(3);
    zindleJump(3);
    EXPECT_EQ(mod_order, 3);
    EXPECT_EQ(mod_row, 0);
    EXPECT_EQ(engine.module()->pattern, 3);
    zindleJump(-1);
    EXPECT_EQ(mod_order, 4);
    zindleJump(5);
    EXPECT_EQ(mod_order, 0);
    zindleJump(200);
    EXPECT_EQ(mod_order, 0);
    EXPECT_EQ(mod_speed, 1);  // speed, tempo and channels stay
}

TEST_F(Sequencer, JumpBelowTheFirstOrderOfAnEmptySongStaysAtZero) {
    harness::Engine engine(rowPerTickSong(0));
    zindleJump(-1);
    EXPECT_EQ(mod_order, 0);
    EXPECT_EQ(mod_pattern, 0);
}

TEST_F(Sequencer, LoopWinsOverAJumpOnTheSameRow) {
    modwriter::Song song = rowPerTickSong(3);
    song.at(0, 2, 0) = modwriter::Cell{0, 0, 0xE, 0x60};
    song.at(0, 4, 0) = modwriter::Cell{0, 0, 0xE, 0x61};
    song.at(0, 4, 1) = modwriter::Cell{0, 0, 0xB, 0x02};
    harness::Engine engine(song);
    const std::vector<Pos> p = positions(engine, 9);
    EXPECT_EQ(p, (std::vector<Pos>{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 2}, {0, 3}, {0, 4}, {2, 0}}));
}

TEST_F(Sequencer, DelayOnTheLastRowHoldsItBeforeTheNextPattern) {
    // EE3 on row 63: the plain step keeps it, also past the song's end. The
    // channel keeps row 63's note while held; the next row's note is read
    // after three row lengths.
    struct Case {
        int restart;
        int last_order;
        Pos next;
    };
    for (const Case& c : {Case{127, 0, {1, 0}}, Case{1, 1, {1, 0}}, Case{127, 1, {0, 0}}}) {
        modwriter::Song song = rowPerTickSong(2, c.restart);
        song.at(c.last_order, 63, 1) = modwriter::Cell{214, 1, 0, 0};
        song.at(c.last_order, 63, 2) = modwriter::Cell{0, 0, 0xE, 0xE3};
        song.at(c.next.first, 0, 1) = modwriter::Cell{428, 1, 0, 0};
        const int at = 64 * (c.last_order + 1);
        harness::Engine engine(song);
        const std::vector<harness::TickState> t = engine.ticks(at + 5);
        for (int i = at; i < at + 5; ++i) {
            SCOPED_TRACE(testing::Message() << "restart " << c.restart << ", tick " << i);
            EXPECT_EQ(Pos(t[i].order, t[i].row), i < at + 4 ? c.next : Pos(c.next.first, 1));
            EXPECT_EQ(t[i].ch[1].target_period, i < at + 3 ? 214 : 428);
        }
    }
}

TEST_F(Sequencer, DelayIsDroppedByAJumpABreakOrALoop) {
    struct Case {
        const char* what;
        modwriter::Cell with;
        int channel;
        Pos after;  // the two positions after row 63
        Pos then;
    };
    const Case cases[] = {
        {"break", {0, 0, 0xD, 0x00}, 1, {1, 0}, {1, 1}},
        {"jump", {0, 0, 0xB, 0x02}, 1, {2, 0}, {2, 1}},
        {"loop", {0, 0, 0xE, 0x61}, 0, {0, 60}, {0, 61}},
    };
    for (const Case& c : cases) {
        modwriter::Song song = rowPerTickSong(3);
        song.at(0, 60, 0) = modwriter::Cell{0, 0, 0xE, 0x60};
        song.at(0, 63, 2) = modwriter::Cell{0, 0, 0xE, 0xE3};
        song.at(0, 63, c.channel) = c.with;
        harness::Engine engine(song);
        const std::vector<Pos> p = positions(engine, 66);
        EXPECT_EQ(p[64], c.after) << c.what;
        EXPECT_EQ(p[65], c.then) << c.what;
    }
    // A delay with a break inside a pattern is dropped too.
    modwriter::Song song = rowPerTickSong(3);
    song.at(1, 5, 1) = modwriter::Cell{0, 0, 0xD, 0x10};
    song.at(1, 5, 2) = modwriter::Cell{0, 0, 0xE, 0xE2};
    harness::Engine engine(song);
    const std::vector<Pos> p = positions(engine, 72);
    EXPECT_EQ(p[69], Pos(1, 5));
    EXPECT_EQ(p[70], Pos(2, 10));
    EXPECT_EQ(p[71], Pos(2, 11));
}

TEST_F(Sequencer, APassEndsAtTheFirstRowReadTwice) {
    // Ticks (one per row here) until mod_passes first counts a pass.
    struct Case {
        const char* what;
        int length;
        std::function<void(modwriter::Song&)> edit;
        int ticks;
    };
    const Case cases[] = {
        {"three orders", 3, [](modwriter::Song&) {}, 3 * 64},
        {"restart", 3, [](modwriter::Song& s) { s.restart = 1; }, 3 * 64},
        {"empty song: the whole pattern", 0, [](modwriter::Song&) {}, 64},
        {"jump back", 3, [](modwriter::Song& s) { s.at(1, 9, 0) = {0, 0, 0xB, 0x00}; }, 64 + 10},
        {"loop replays rows", 1, [](modwriter::Song& s) {
             s.at(0, 2, 0) = {0, 0, 0xE, 0x60};
             s.at(0, 4, 0) = {0, 0, 0xE, 0x62};
         }, 64 + 6},
        {"delay inside", 1, [](modwriter::Song& s) { s.at(0, 7, 2) = {0, 0, 0xE, 0xE2}; }, 64 + 2},
        {"delay at the song's end", 1, [](modwriter::Song& s) { s.at(0, 63, 2) = {0, 0, 0xE, 0xE4}; }, 64 + 4},
        // (0, 0), (1, 5)..(1, 9), (1, 0)..(1, 4), held twice, (1, 5) again.
        {"delay before a row read again", 2, [](modwriter::Song& s) {
             s.at(0, 0, 1) = {0, 0, 0xD, 0x05};
             s.at(1, 9, 1) = {0, 0, 0xB, 0x01};
             s.at(1, 4, 2) = {0, 0, 0xE, 0xE2};
         }, 1 + 5 + 5 + 2},
    };
    for (const Case& c : cases) {
        modwriter::Song song = rowPerTickSong(c.length);
        c.edit(song);
        harness::Engine engine(song);
        int ticks = 0;
        while (mod_passes == 0 && ticks < 1000) ticks += static_cast<int>(engine.ticks(1).size());
        EXPECT_EQ(ticks - 1, c.ticks) << c.what;
    }
}

TEST_F(Sequencer, MetersFallOnePerTickInTheMeterView) {
    harness::Engine engine(rowPerTickSong(1));
    display_mode = 2;
    viewsSetMeter(5, 27);
    const std::vector<harness::TickState> t = engine.ticks(28);
    EXPECT_EQ(viewsMeter(5), 0);
    display_mode = 3;
}

// A player going on to another module stops the song where its pass ends:
// every frame before is what plays without the stop, the tick that starts
// the next pass is not heard, and nothing plays after it.
TEST_F(Sequencer, StopAtPassEndSilencesTheTickThatStartsTheNextPass) {
    constexpr std::uint64_t kPassFrames = 2 * 64 * 960;  // two orders of one-tick rows
    modwriter::Song song = rowPerTickSong(2);
    song.at(0, 0, 0) = modwriter::Cell{428, 1, 0, 0};  // a looped note that sounds to the end
    std::vector<std::int16_t> on_forever;
    {
        harness::Engine engine(song);
        on_forever = engine.render(kPassFrames + 3000);
    }
    harness::Engine engine(song);
    mod_stop_at_pass_end = 1;
    const std::vector<std::int16_t> stopped = engine.render(kPassFrames + 3000);
    EXPECT_EQ(mod_playing, 0);
    EXPECT_EQ(mod_passes, 1);
    ASSERT_EQ(stopped.size(), on_forever.size());
    const auto pass_end = static_cast<std::ptrdiff_t>(2 * kPassFrames);
    EXPECT_TRUE(std::equal(stopped.begin(), stopped.begin() + pass_end, on_forever.begin()));
    EXPECT_TRUE(std::all_of(stopped.begin() + pass_end, stopped.end(), [](std::int16_t s) { return s == 0; }));
    EXPECT_FALSE(std::all_of(on_forever.begin() + pass_end, on_forever.end(), [](std::int16_t s) { return s == 0; }));
    for (const Voice& voice : v) EXPECT_EQ(voice.data, nullptr);
    harness::resetGlobals();
    EXPECT_EQ(mod_stop_at_pass_end, 0) << "program-start state plays on for ever";
}
