// Every effect command through the real tick: a generated module played
// through mixaudio, with channel 3 carrying the note under test so that the
// tick's tick_period/tick_volume are visible at the redraw point.
#include <gtest/gtest.h>

#include <utility>

#include "tests/engine_harness.h"

using harness::TickState;
using Pos = std::pair<int, int>;

namespace {

class Effects : public harness::EngineTest {};

// Sample 1: looped, volume 64; sample 2: looped, volume 32.
modwriter::Song effectSong() {
    modwriter::Song song = harness::basicSong();
    song.samples[1] = harness::loopedSample(1024, 32);
    return song;
}

// Channel 3's cells, one per row, in pattern 0.
modwriter::Song channel3(const std::vector<std::string>& cells) {
    modwriter::Song song = effectSong();
    for (std::size_t r = 0; r < cells.size(); ++r)
        song.row(0, static_cast<int>(r), "--- -- ... | --- -- ... | --- -- ... | " + cells[r]);
    return song;
}

std::vector<int> aperiods(const std::vector<TickState>& t, std::size_t from, std::size_t count) {
    std::vector<int> out;
    for (std::size_t i = from; i < from + count; ++i) out.push_back(t[i].tick_period);
    return out;
}

std::vector<int> avolumes(const std::vector<TickState>& t, std::size_t from, std::size_t count) {
    std::vector<int> out;
    for (std::size_t i = from; i < from + count; ++i) out.push_back(t[i].tick_volume);
    return out;
}

using harness::positions;


std::vector<Pos> rows(int order, std::initializer_list<int> list) {
    std::vector<Pos> out;
    for (int r : list) out.emplace_back(order, r);
    return out;
}

}  // namespace

// --- 0: arpeggio

TEST_F(Effects, ArpeggioCyclesThroughTheThreeNotes) {
    harness::Engine engine(channel3({"C-2 01 037", "C-2 01 000"}));
    const std::vector<TickState> t = engine.ticks(12);
    EXPECT_EQ(aperiods(t, 0, 6), (std::vector<int>{428, 359, 285, 428, 359, 285}));
    EXPECT_EQ(aperiods(t, 6, 6), std::vector<int>(6, 428));
    EXPECT_EQ(t[1].voice[3].rate, 3372u);
}

// --- 1, 2: portamento

TEST_F(Effects, PortamentoStopsAtItsLimitsAndSkipsTickZero) {
    harness::Engine engine(channel3({"A#3 01 10A", "C#1 01 230"}));
    const std::vector<TickState> t = engine.ticks(12);
    EXPECT_EQ(aperiods(t, 0, 6), (std::vector<int>{120, 113, 113, 113, 113, 113}));
    EXPECT_EQ(aperiods(t, 6, 6), (std::vector<int>{808, 856, 856, 856, 856, 856}));
}

// --- 3, 5: tone portamento

TEST_F(Effects, TonePortamentoSlidesToTheGoalFromEitherSide) {
    harness::Engine engine(channel3({"C-2 01 ...", "E-2 -- 305", "--- -- 300", "C-2 -- 340"}));
    const std::vector<TickState> t = engine.ticks(24);
    EXPECT_EQ(aperiods(t, 6, 6), (std::vector<int>{428, 423, 418, 413, 408, 403}));
    EXPECT_EQ(aperiods(t, 12, 6), (std::vector<int>{403, 398, 393, 388, 383, 378}));  // 300 keeps 5
    EXPECT_EQ(aperiods(t, 18, 6), (std::vector<int>{378, 428, 428, 428, 428, 428}));
    EXPECT_EQ(t[7].voice[3].rate, 2862u);  // the step of period 423
}

TEST_F(Effects, TonePortamentoDownStopsExactlyOnTheGoal) {
    harness::Engine engine(channel3({"E-2 01 ...", "C-2 -- 340", "--- -- 340"}));
    const std::vector<TickState> t = engine.ticks(18);
    EXPECT_EQ(aperiods(t, 6, 4), (std::vector<int>{339, 403, 428, 428}));
    EXPECT_EQ(aperiods(t, 12, 2), (std::vector<int>{428, 428}));
}

TEST_F(Effects, TonePortamentoFromPeriodZeroStartsAtItsSpeed) {
    harness::Engine engine(channel3({"C-2 01 303"}));
    const std::vector<TickState> t = engine.ticks(3);
    EXPECT_EQ(t[0].tick_period, 0);
    EXPECT_EQ(t[0].voice[3].rate, 0u);
    EXPECT_EQ(t[1].tick_period, 3);
    EXPECT_EQ(t[1].voice[3].rate, 89478u);
    EXPECT_EQ(t[2].tick_period, 6);
}

TEST_F(Effects, CombinedCommandsUseButNeverChangeTheMemories) {
    harness::Engine engine(channel3({"C-2 01 448", "E-2 -- 305", "--- -- 5F0", "--- -- 601", "--- -- 300"}));
    const std::vector<TickState> t = engine.ticks(30);
    EXPECT_EQ(t[17].ch[3].porta_speed, 5);
    EXPECT_EQ(aperiods(t, 12, 6), (std::vector<int>{403, 398, 393, 388, 383, 378}));
    EXPECT_EQ(t[23].ch[3].vibrato, 0x48);
    EXPECT_EQ(t[23].ch[3].porta_speed, 5);
    // 5F0 slides the volume up (already 64) and 601 slides it down by 1.
    EXPECT_EQ(avolumes(t, 18, 6), (std::vector<int>{64, 63, 62, 61, 60, 59}));
    EXPECT_EQ(aperiods(t, 24, 3), (std::vector<int>{378, 373, 368}));
}

// --- 4, 6: vibrato

TEST_F(Effects, VibratoFollowsTheSineAndRemembersSpeedAndDepth) {
    harness::Engine engine(channel3({"C-2 01 448", "--- -- 400", "--- -- 420", "--- -- 403", "C-2 01 400"}));
    const std::vector<TickState> t = engine.ticks(30);
    EXPECT_EQ(aperiods(t, 0, 6), (std::vector<int>{428, 428, 434, 439, 442, 443}));
    EXPECT_EQ(t[5].ch[3].wave_pos, 20);
    EXPECT_EQ(t[6].tick_period, 428 + 14);  // continues from position 20
    EXPECT_EQ(t[6].ch[3].vibrato, 0x48);
    EXPECT_EQ(t[12].ch[3].vibrato, 0x28);
    EXPECT_EQ(t[18].ch[3].vibrato, 0x23);
    EXPECT_EQ(t[24].ch[3].wave_pos, 0);  // a new note restarts the wave
    EXPECT_EQ(aperiods(t, 24, 2), (std::vector<int>{428, 428}));
    EXPECT_EQ(t[24].ch[3].period, 428);
}

TEST_F(Effects, VibratoSecondHalfLowersThePeriod) {
    harness::Engine engine(channel3({"C-2 01 4FF", "--- -- 400", "--- -- 400"}));
    const std::vector<TickState> t = engine.ticks(18);
    // Speed 15: positions 0, 0, 15, 30, 45, 60.
    EXPECT_EQ(aperiods(t, 0, 6), (std::vector<int>{428, 428, 428 + 29, 428 + 5, 428 - 28, 428 - 11}));
    EXPECT_EQ(t[5].ch[3].period, 428);
}

// --- 7: tremolo

TEST_F(Effects, TremoloIsHeardAndFollowsTheSine) {
    harness::Engine engine(channel3({"C-2 02 748", "C-2 01 748", "--- -- 700"}));
    const std::vector<TickState> t = engine.ticks(18);
    EXPECT_EQ(avolumes(t, 0, 6), (std::vector<int>{32, 44, 54, 61, 63, 61}));
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(t[i].voice[3].volume, t[i].tick_volume) << i;
    EXPECT_EQ(t[5].ch[3].volume, 32);
    EXPECT_EQ(avolumes(t, 6, 6), std::vector<int>(6, 64));  // clamped at 64
    EXPECT_EQ(avolumes(t, 12, 6), std::vector<int>(6, 64));  // 700 changes nothing
}

TEST_F(Effects, TremoloAtZeroInTheSecondHalfStaysZero) {
    harness::Engine engine(channel3({"C-2 01 C00", "--- -- 708"}));
    engine.ticks(6);
    channels[3].wave_pos = 40;
    EXPECT_EQ(avolumes(engine.ticks(6), 0, 6), std::vector<int>(6, 0));
}

// --- 9: sample offset (more in the channel update tests)

TEST_F(Effects, SampleOffsetPastAShortSampleStartsAtTheBeginning) {
    modwriter::Song song = channel3({"C-2 03 905"});
    song.samples[2] = harness::oneShotSample(1000);
    harness::Engine engine(song);
    EXPECT_EQ(engine.ticks(1)[0].voice[3].position, 0u);
}

// --- A, C: volume

TEST_F(Effects, VolumeSlidesAccumulateWithinLimits) {
    harness::Engine engine(channel3({"C-2 01 C3E", "--- -- AF0", "--- -- A23", "--- -- A05", "--- -- C03", "--- -- A0F"}));
    const std::vector<TickState> t = engine.ticks(36);
    EXPECT_EQ(t[6].tick_volume, 62);
    EXPECT_EQ(t[7].tick_volume, 64);
    EXPECT_EQ(t[7].ch[3].volume, 64);
    EXPECT_EQ(avolumes(t, 12, 6), std::vector<int>(6, 64));
    EXPECT_EQ(avolumes(t, 18, 6), (std::vector<int>{64, 59, 54, 49, 44, 39}));
    EXPECT_EQ(t[24].voice[3].volume, 3);
    EXPECT_EQ(avolumes(t, 30, 3), (std::vector<int>{3, 0, 0}));
}

// --- B, D: jumps and breaks

TEST_F(Effects, JumpsAndBreaksAcrossChannels) {
    struct Case {
        const char* name;
        modwriter::Cell first, second;  // channels 0 and 1 on row 3
        Pos expected;
    };
    const Case cases[] = {
        {"B then D", {0, 0, 0xB, 2}, {0, 0, 0xD, 0x05}, {2, 5}},
        {"D then B", {0, 0, 0xD, 0x05}, {0, 0, 0xB, 2}, {2, 5}},
        {"two B", {0, 0, 0xB, 1}, {0, 0, 0xB, 2}, {2, 0}},
        {"two D", {0, 0, 0xD, 0x05}, {0, 0, 0xD, 0x10}, {1, 10}},
        {"D63", {0, 0, 0xD, 0x63}, {}, {1, 63}},
        {"D64", {0, 0, 0xD, 0x64}, {}, {1, 0}},
        {"D99", {0, 0, 0xD, 0x99}, {}, {1, 0}},
        {"D1F", {0, 0, 0xD, 0x1F}, {}, {1, 25}},
        {"B to the end", {0, 0, 0xB, 3}, {}, {0, 0}},
    };
    for (const Case& k : cases) {
        modwriter::Song song = harness::rowPerTickSong(3);
        song.at(0, 3, 0) = k.first;
        song.at(0, 3, 1) = k.second;
        harness::Engine engine(song);
        EXPECT_EQ(positions(engine, 5)[4], k.expected) << k.name;
    }
}

TEST_F(Effects, BreakInAOneOrderSongStaysInOrderZero) {
    modwriter::Song song = harness::rowPerTickSong(1);
    song.at(0, 3, 0) = modwriter::Cell{0, 0, 0xB, 1};  // names order 1: past the end
    song.at(0, 3, 1) = modwriter::Cell{0, 0, 0xD, 0x07};
    harness::Engine engine(song);
    EXPECT_EQ(positions(engine, 5)[4], Pos(0, 7));
}

// --- F: speed and tempo

TEST_F(Effects, SpeedAndTempo) {
    struct Case {
        int param, speed, bpm, frames;
    };
    const Case cases[] = {{0x00, 0, 125, 960}, {0x20, 32, 125, 960}, {0x21, 6, 33, 3636}, {0xFF, 6, 255, 470}, {0x7D, 6, 125, 960}};
    for (const Case& k : cases) {
        modwriter::Song song = effectSong();
        song.at(0, 0, 2) = modwriter::Cell{0, 0, 0xF, k.param};
        harness::Engine engine(song);
        const std::vector<TickState> t = engine.ticks(2);
        EXPECT_EQ(t[0].speed, k.speed) << k.param;
        EXPECT_EQ(t[0].bpm, k.bpm) << k.param;
        EXPECT_EQ(t[0].samplespertick, k.frames) << k.param;
        EXPECT_EQ(t[1].frame - t[0].frame, static_cast<std::uint64_t>(k.frames)) << k.param;
        EXPECT_EQ(engine.module()->speed, k.speed);
        EXPECT_EQ(engine.module()->bpm, k.bpm);
    }
}

// --- E1, E2: fine portamento

TEST_F(Effects, FinePortamentoMovesOncePerRow) {
    harness::Engine engine(channel3({"C-2 01 ...", "--- -- E11", "--- -- E21", "--- -- E21", "A#3 01 E1F"}));
    const std::vector<TickState> t = engine.ticks(25);
    EXPECT_EQ(aperiods(t, 6, 6), std::vector<int>(6, 427));
    EXPECT_EQ(aperiods(t, 12, 6), std::vector<int>(6, 428));
    EXPECT_EQ(aperiods(t, 18, 6), std::vector<int>(6, 429));
    EXPECT_EQ(t[24].tick_period, 113);
    EXPECT_EQ(t[6].voice[3].rate, 2835u);
}

// --- E5: finetune

TEST_F(Effects, SetFinetuneChangesTheSampleForLaterNotes) {
    modwriter::Song song = effectSong();
    song.samples[3] = harness::loopedSample(512);
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- E55 | C-2 04 E53");
    song.row(0, 1, "C-2 04 ... | --- -- ... | --- -- ... | C-2 -- ...");
    harness::Engine engine(song);
    const std::vector<TickState> t = engine.ticks(7);
    EXPECT_EQ(t[0].ch[3].period, 428);  // the same cell: old finetune
    EXPECT_EQ(engine.module()->samples[3].finetune, 3);
    EXPECT_EQ(t[6].ch[0].period, 419);
    EXPECT_EQ(t[6].ch[3].period, 419);
    for (int s = 0; s < 31; ++s) EXPECT_EQ(engine.module()->samples[s].finetune, s == 3 ? 3 : 0) << s;
}

// --- E6: pattern loop

TEST_F(Effects, PatternLoops) {
    struct Case {
        const char* name;
        std::vector<std::pair<Pos, modwriter::Cell>> cells;  // (row, channel) -> cell
        std::vector<Pos> expected;
    };
    const modwriter::Cell e60{0, 0, 0xE, 0x60}, e61{0, 0, 0xE, 0x61}, e62{0, 0, 0xE, 0x62};
    const Case cases[] = {
        {"loop twice", {{{4, 0}, e60}, {{8, 0}, e62}},
         rows(0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 9})},
        {"second start ignored", {{{4, 0}, e60}, {{6, 0}, e60}, {{8, 0}, e62}},
         rows(0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 9})},
        {"no start: row 0", {{{3, 0}, e62}}, rows(0, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 4})},
        {"last channel decides", {{{2, 0}, e60}, {{4, 1}, e60}, {{6, 0}, e61}, {{6, 1}, e61}},
         rows(0, {0, 1, 2, 3, 4, 5, 6, 4, 5, 6, 7})},
        {"finished loop cancels", {{{0, 0}, e60}, {{0, 1}, e60}, {{3, 0}, e62}, {{3, 1}, e61}},
         rows(0, {0, 1, 2, 3, 0, 1, 2, 3, 4, 5})},
    };
    for (const Case& k : cases) {
        modwriter::Song song = harness::rowPerTickSong(2);
        for (const auto& [where, cell] : k.cells) song.at(0, where.first, where.second) = cell;
        if (song.at(0, 0, 3).effect == 0) song.at(0, 0, 3) = modwriter::Cell{0, 0, 0xF, 1};
        harness::Engine engine(song);
        EXPECT_EQ(positions(engine, static_cast<int>(k.expected.size())), k.expected) << k.name;
    }
}

// --- E9: retrigger

TEST_F(Effects, RetriggerRestartsOnItsTicks) {
    harness::Engine engine(channel3({"C-2 01 ...", "--- -- E93", "--- -- E90", "--- -- E91"}));
    const std::vector<TickState> t = engine.ticks(24);
    auto restarted = [&](std::size_t i) { return t[i].voice[3].position == 0; };
    for (std::size_t i = 6; i < 12; ++i) EXPECT_EQ(restarted(i), i == 6 || i == 9) << i;
    for (std::size_t i = 12; i < 18; ++i) EXPECT_FALSE(restarted(i)) << i;
    for (std::size_t i = 18; i < 24; ++i) EXPECT_TRUE(restarted(i)) << i;
}

// --- EA, EB, EC: fine volume and note cut

TEST_F(Effects, FineVolumeAndNoteCut) {
    harness::Engine engine(
        channel3({"C-2 01 C3E", "--- -- EA5", "--- -- C03", "--- -- EB5", "C-2 01 EC0", "C-2 01 EC3", "C-2 01 EC7"}));
    const std::vector<TickState> t = engine.ticks(42);
    EXPECT_EQ(t[6].ch[3].volume, 64);
    EXPECT_EQ(t[18].ch[3].volume, 0);
    EXPECT_EQ(t[24].voice[3].volume, 0);
    EXPECT_EQ((std::vector<int>{t[32].voice[3].volume, t[33].voice[3].volume}), (std::vector<int>{64, 0}));
    EXPECT_EQ(t[35].ch[3].volume, 0);
    for (std::size_t i = 36; i < 42; ++i) EXPECT_EQ(t[i].voice[3].volume, 64) << i;
}

// --- ED: note delay

TEST_F(Effects, NoteDelayHoldsTheVoiceUntilItsTick) {
    harness::Engine engine(channel3({"C-2 01 C20", "E-2 01 ED2", "--- -- ED2", "C-2 01 ED9"}));
    const std::vector<TickState> t = engine.ticks(24);
    for (std::size_t i = 6; i < 8; ++i) {
        EXPECT_EQ(t[i].voice[3].volume, 0x20) << i;
        EXPECT_EQ(t[i].voice[3].rate, 2828u) << i;
        EXPECT_NE(t[i].voice[3].position, 0u) << i;
    }
    EXPECT_EQ(t[8].voice[3].position, 0u);
    EXPECT_EQ(t[8].voice[3].volume, 64);
    EXPECT_EQ(t[8].voice[3].rate, 3571u);
    EXPECT_EQ(t[8].ch[3].wave_pos, 1);
    // Without a note nothing starts.
    for (std::size_t i = 12; i < 18; ++i) EXPECT_NE(t[i].voice[3].position, 0u) << i;
    EXPECT_EQ(t[14].ch[3].wave_pos, 0);
    // A delay past the row's end: the note never starts.
    for (std::size_t i = 18; i < 24; ++i) {
        EXPECT_NE(t[i].voice[3].position, 0u) << i;
        EXPECT_EQ(t[i].voice[3].rate, 3571u) << i;
    }
}

// --- EE: pattern delay

TEST_F(Effects, PatternDelayRepeatsTheRowsTime) {
    struct Case {
        int param;
        std::vector<Pos> expected;
    };
    const Case cases[] = {
        {0xE2, rows(0, {0, 1, 2, 3, 3, 3, 4})},
        {0xE0, rows(0, {0, 1, 2, 3, 4})},
    };
    for (const Case& k : cases) {
        modwriter::Song song = harness::rowPerTickSong(1);
        song.at(0, 2, 2) = modwriter::Cell{0, 0, 0xE, k.param};
        harness::Engine engine(song);
        EXPECT_EQ(positions(engine, static_cast<int>(k.expected.size())), k.expected) << k.param;
    }
}

TEST_F(Effects, PatternDelayReplaysTheDelayingRowsCommands) {
    modwriter::Song song = harness::rowPerTickSong(1);
    song.at(0, 2, 2) = modwriter::Cell{0, 0, 0xE, 0xE2};
    song.at(0, 2, 3) = modwriter::Cell{428, 1, 0xC, 0x10};
    song.at(0, 3, 3) = modwriter::Cell{0, 0, 0xC, 0x30};
    harness::Engine engine(song);
    engine.ticks(3);
    channels[3].volume = 50;
    EXPECT_EQ(engine.ticks(1)[0].ch[3].volume, 0x10);  // held pass: C10 again, no note
    EXPECT_NE(v[3].position, 0u);
    channels[3].volume = 50;
    EXPECT_EQ(engine.ticks(1)[0].ch[3].volume, 0x10);
    EXPECT_EQ(engine.ticks(1)[0].ch[3].volume, 0x30);  // row 3 read at last
}

// --- EF: invert loop

TEST_F(Effects, InvertLoopComplementsLoopBytesInTurn) {
    modwriter::Song song = channel3({"--- 03 EFF", "--- -- EFF", "--- -- EF0", "--- -- ..."});
    song.samples[2] = harness::oneShotSample(64);
    song.samples[2].loop_start_words = 8;   // loop 16..23
    song.samples[2].loop_length_words = 4;
    const std::vector<std::int8_t> original = song.samples[2].data;
    harness::Engine engine(song);
    const std::int8_t* data = engine.module()->sample_data + engine.module()->samples[2].offset;
    auto flipped = [&]() {
        std::vector<int> out;
        for (int i = 0; i < 64; ++i)
            if (data[i] != original[static_cast<std::size_t>(i)]) {
                EXPECT_EQ(data[i], static_cast<std::int8_t>(-original[static_cast<std::size_t>(i)] - 1));
                out.push_back(i);
            }
        return out;
    };
    engine.ticks(6);
    EXPECT_EQ(flipped(), (std::vector<int>{17, 18, 19, 20, 21, 22}));  // one per tick
    engine.ticks(1);
    EXPECT_EQ(flipped(), (std::vector<int>{16, 17, 18, 19, 20, 21, 22, 23}));  // two at tick 0
    engine.ticks(5);
    EXPECT_EQ(flipped(), (std::vector<int>{16, 22, 23}));  // the second pass restores
    engine.ticks(12);
    EXPECT_EQ(flipped(), (std::vector<int>{16, 23}));  // EF0's tick 0 steps once more, then stops
}

TEST_F(Effects, InvertLoopSpeedsSetTheStepsPerByte) {
    const std::pair<int, int> cases[] = {{15, 1}, {14, 2}, {12, 4}, {8, 9}, {4, 16}, {1, 26}};
    for (const auto& [speed, steps] : cases) {
        modwriter::Song song = channel3({"--- 03 EF" + std::string(1, hextable[speed])});
        song.samples[2] = harness::oneShotSample(64);  // no loop: the first byte each time
        harness::Engine engine(song);
        const std::int8_t* data = engine.module()->sample_data + engine.module()->samples[2].offset;
        const std::int8_t first = data[0];
        engine.ticks(steps - 1);
        EXPECT_EQ(data[0], first) << speed;
        engine.ticks(1);
        EXPECT_EQ(data[0], static_cast<std::int8_t>(~first)) << speed;
        engine.ticks(steps);
        EXPECT_EQ(data[0], first) << speed;
        for (int i = 1; i < 64; ++i) EXPECT_EQ(data[i], song.samples[2].data[static_cast<std::size_t>(i)]);
    }
}

TEST_F(Effects, InvertLoopNeverWritesOutsideTheChannelsSample) {
    modwriter::Song song = effectSong();
    song.samples[2] = harness::oneShotSample(64);   // loop 48..111 reaches past the end
    song.samples[2].loop_start_words = 24;
    song.samples[2].loop_length_words = 32;
    song.samples[3].length_words = 0;               // empty, with a loop
    song.samples[3].loop_start_words = 4;
    song.samples[3].loop_length_words = 8;
    song.samples[4] = harness::oneShotSample(256);  // a neighbour that must stay intact
    song.row(0, 0, "--- -- EFF | --- 04 EFF | --- 03 EFF | --- -- ...");
    harness::Engine engine(song);
    Module* m = engine.module();
    const std::vector<std::int8_t> before(m->sample_data, m->sample_data + m->sample_bytes);
    engine.ticks(6 * 64 * 2);
    for (int i = 0; i < m->sample_bytes; ++i) {
        const bool in_sample3 = i >= m->samples[2].offset + 49 && i < m->samples[2].offset + 64;
        if (!in_sample3) {
            EXPECT_EQ(m->sample_data[i], before[static_cast<std::size_t>(i)]) << i;
        }
    }
}
