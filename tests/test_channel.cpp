// The channel update: notes, samples, finetune, the voice step, and what
// reaches the voice on each tick.
#include <gtest/gtest.h>

#include "tests/engine_harness.h"

namespace {

class ChannelUpdate : public harness::EngineTest {};

modwriter::Song twoSampleSong() {
    modwriter::Song song = harness::basicSong();
    song.samples[0] = harness::loopedSample(2048, 40);
    song.samples[1] = harness::oneShotSample(3000, 20);
    song.samples[1].finetune = 1;
    return song;
}

}  // namespace

TEST_F(ChannelUpdate, StepFromPeriod) {
    const std::pair<int, std::uint32_t> cases[] = {
        {856, 1414}, {428, 2828}, {214, 5657}, {113, 10713}, {108, 11209},
        {14, 86476}, {13, 89478}, {1, 89478},
    };
    for (const auto& [period, rate] : cases) EXPECT_EQ(periodToRate(period), rate) << period;
}

TEST_F(ChannelUpdate, NotePlaysAtTheSampleFinetuneAndVolume) {
    modwriter::Song song = twoSampleSong();
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 02 ...");
    song.row(0, 1, "--- -- ... | --- -- ... | --- -- ... | C-2 01 ...");
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(7);
    EXPECT_EQ(t[0].ch[3].period, 425);  // C-2 at finetune +1
    EXPECT_EQ(t[0].voice[3].rate, 2848u);
    EXPECT_EQ(t[0].voice[3].volume, 20);
    EXPECT_EQ(t[0].voice[3].data, engine.module()->sample_data + 2048);
    EXPECT_EQ(t[0].voice[3].length, 3000u);
    EXPECT_EQ(t[6].ch[3].period, 428);
    EXPECT_EQ(t[6].voice[3].rate, 2828u);
    EXPECT_EQ(t[6].voice[3].volume, 40);
    EXPECT_EQ(t[6].voice[3].loop_end, 2048u);
}

// Finetune nibbles 8..15 are -8..-1: a C-2 lower than the plain one.
TEST_F(ChannelUpdate, NegativeFinetunesLowerTheNote) {
    const std::pair<int, int> cases[] = {{15, 431}, {8, 453}, {7, 407}};
    for (const auto& [finetune, period] : cases) {
        modwriter::Song song = twoSampleSong();
        song.samples[1].finetune = finetune;
        song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 02 ...");
        harness::Engine engine(song);
        EXPECT_EQ(engine.ticks(1)[0].ch[3].period, period) << "finetune nibble " << finetune;
    }
}

TEST_F(ChannelUpdate, PeriodsOffTheTableTakeTheNearestNote) {
    modwriter::Song song = twoSampleSong();
    song.at(0, 0, 3) = modwriter::Cell{430, 1, 0, 0};  // nearest C-2
    song.at(0, 1, 3) = modwriter::Cell{416, 1, 0, 0};  // halfway 428/404: the first
    song.at(0, 2, 3) = modwriter::Cell{430, 2, 0, 0};  // C-2 at finetune +1
    song.at(0, 3, 3) = modwriter::Cell{115, 1, 0, 0};  // nearest B-3
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(19);
    EXPECT_EQ(t[0].ch[3].period, 428);
    EXPECT_EQ(t[6].ch[3].period, 428);
    EXPECT_EQ(t[12].ch[3].period, 425);
    EXPECT_EQ(t[18].ch[3].period, 113);
}

TEST_F(ChannelUpdate, SampleWithoutNoteChangesVolumeAndDataWithoutRestart) {
    modwriter::Song song = twoSampleSong();
    song.samples[1].finetune = 0;
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 02 C30");
    song.row(0, 1, "--- -- ... | --- -- ... | --- -- ... | --- 01 ...");
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(7);
    EXPECT_EQ(t[5].voice[3].volume, 0x30);
    const std::uint32_t before = t[5].voice[3].position;
    EXPECT_EQ(t[6].voice[3].volume, 40);
    EXPECT_EQ(t[6].ch[3].volume, 40);
    EXPECT_EQ(t[6].voice[3].data, engine.module()->sample_data);  // sample 1 now
    EXPECT_EQ(t[6].voice[3].position, before + 960 * 2828);        // not restarted
    EXPECT_EQ(t[6].voice[3].loop_end, 2048u);
}

TEST_F(ChannelUpdate, SameSampleWithoutNoteOnlyResetsTheVolume) {
    modwriter::Song song = twoSampleSong();
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 01 C30");
    song.row(0, 1, "--- -- ... | --- -- ... | --- -- ... | --- 01 ...");
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(7);
    EXPECT_EQ(t[6].voice[3].volume, 40);
    EXPECT_EQ(t[6].voice[3].position, t[5].voice[3].position + 960 * 2828);
}

TEST_F(ChannelUpdate, NoteWithoutSampleRestartsAtTheChannelVolume) {
    modwriter::Song song = twoSampleSong();
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 01 C20");
    song.row(0, 1, "--- -- ... | --- -- ... | --- -- ... | E-2 -- ...");
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(7);
    EXPECT_EQ(t[6].voice[3].position, 0u);
    EXPECT_EQ(t[6].voice[3].volume, 0x20);
    EXPECT_EQ(t[6].ch[3].period, 339);
}

TEST_F(ChannelUpdate, NoteOnAChannelWithoutSampleSetsOnlyThePitch) {
    modwriter::Song song = twoSampleSong();
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 -- ...");
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(1);
    EXPECT_EQ(t[0].voice[3].data, nullptr);
    EXPECT_EQ(t[0].voice[3].rate, 2828u);
    EXPECT_EQ(t[0].ch[3].period, 428);
}

TEST_F(ChannelUpdate, NoStepBeforeAnyNote) {
    modwriter::Song song = twoSampleSong();
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | --- 01 ...");
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(2);
    EXPECT_EQ(t[1].voice[3].rate, 0u);
    EXPECT_EQ(t[1].tick_period, 0);
}

TEST_F(ChannelUpdate, TonePortamentoNoteOnlySetsTheGoal) {
    modwriter::Song song = twoSampleSong();
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 01 ...");
    song.row(0, 1, "--- -- ... | --- -- ... | --- -- ... | E-2 01 300");
    harness::Engine engine(song);
    channels[3].wave_pos = 9;
    const std::vector<harness::TickState> t = engine.ticks(7);
    EXPECT_EQ(t[6].ch[3].period, 428);
    EXPECT_EQ(t[6].ch[3].target_period, 339);
    EXPECT_EQ(t[6].ch[3].wave_pos, 0);
    EXPECT_NE(t[6].voice[3].position, 0u);  // not restarted
}

TEST_F(ChannelUpdate, SampleOffsetIsRememberedUntilAnotherNoteClearsIt) {
    modwriter::Song song = twoSampleSong();
    song.samples[0] = harness::oneShotSample(4096, 64);
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 01 908");
    song.row(0, 1, "--- -- ... | --- -- ... | --- -- ... | C-2 01 900");
    song.row(0, 2, "--- -- ... | --- -- ... | --- -- ... | C-2 01 ...");
    song.row(0, 3, "--- -- ... | --- -- ... | --- -- ... | C-2 01 900");
    song.row(0, 4, "--- -- ... | --- -- ... | --- -- ... | C-2 01 920");  // past the end
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(25);
    EXPECT_EQ(t[0].voice[3].position >> 14, 0x800u);
    EXPECT_EQ(t[6].voice[3].position >> 14, 0x800u);
    EXPECT_EQ(t[12].voice[3].position >> 14, 0u);
    EXPECT_EQ(t[18].voice[3].position >> 14, 0u);
    EXPECT_EQ(t[24].voice[3].position >> 14, 0u);
}

TEST_F(ChannelUpdate, MeterFollowsTheChannelVolumeInTheMeterView) {
    modwriter::Song song = twoSampleSong();
    song.samples[2] = harness::loopedSample(64, 64);
    song.samples[3] = harness::loopedSample(64, 40);
    song.samples[4] = harness::loopedSample(64, 55);
    song.row(0, 0, "C-2 03 ... | C-2 04 ... | C-2 05 ... | --- -- ...");
    harness::Engine engine(song);
    display_mode = 2;
    engine.ticks(1);
    // Set at the note, then lowered by one after the tick's drawing.
    EXPECT_EQ(viewsMeter(3), 26);
    EXPECT_EQ(viewsMeter(4), 19);
    EXPECT_EQ(viewsMeter(5), 26);
}

TEST_F(ChannelUpdate, EmptyCellEndsTheRowCommand) {
    modwriter::Song song = twoSampleSong();
    song.row(0, 0, "--- -- ... | --- -- ... | --- -- ... | C-2 01 105");
    harness::Engine engine(song);
    const std::vector<harness::TickState> t = engine.ticks(9);
    EXPECT_EQ(t[5].ch[3].period, 428 - 25);
    EXPECT_EQ(t[8].ch[3].period, 428 - 25);
    EXPECT_EQ(t[8].tick_period, 428 - 25);
    EXPECT_EQ(t[8].ch[3].effect, 0);
}
