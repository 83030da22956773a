// The loader on real files: layout, clamps, tags, short files and failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "tests/engine_harness.h"

using harness::TempDir;

namespace {

struct Loaded {
    TempDir dir;
    Module* module = nullptr;
    explicit Loaded(const std::vector<std::uint8_t>& bytes) {
        harness::writeBytes(dir.file("m.mod"), bytes);
        module = zindleLoad(dir.file("m.mod").c_str());
    }
    explicit Loaded(const modwriter::Song& song) : Loaded(song.bytes()) {}
    ~Loaded() { zindleFree(module); }
};

modwriter::Song songWithTag(const std::string& tag) {
    modwriter::Song song = harness::basicSong();
    song.tag = tag;
    return song;
}

}  // namespace

TEST(Loader, AcceptsTheSixTagsAndRefusesOthers) {
    for (const char* tag : {"M.K.", "M!K!", "M&K!", "N.T.", "FLT4", "4CHN"}) {
        Loaded loaded(songWithTag(tag));
        ASSERT_NE(loaded.module, nullptr) << tag;
        EXPECT_EQ(loaded.module->loaded, 1);
        EXPECT_EQ(loaded.module->samples[0].length, 1024) << tag;
    }
    for (const char* tag : {"m.k.", "M.K ", "6CHN", "flt4", "XXXX"}) {
        Loaded loaded(songWithTag(tag));
        EXPECT_EQ(loaded.module, nullptr) << tag;
    }
}

TEST(Loader, ClampsSampleHeaders) {
    modwriter::Song song = harness::basicSong();
    song.samples[1] = harness::oneShotSample(200);
    song.samples[1].volume = 200;
    song.samples[1].finetune = 0x1F;
    song.samples[2] = harness::oneShotSample(400);
    song.samples[2].loop_start_words = 100;
    song.samples[2].loop_length_words = 1;
    song.samples[3] = harness::oneShotSample(400);
    song.samples[3].loop_start_words = 10;
    song.samples[3].loop_length_words = 2;
    song.samples[4].name = "a name of 22 chars....XX";
    Loaded loaded(song);
    ASSERT_NE(loaded.module, nullptr);
    const Sample* s = loaded.module->samples;
    EXPECT_EQ(s[1].volume, 64);
    EXPECT_EQ(s[1].finetune, 15);
    EXPECT_EQ(s[2].loop_start, 0);
    EXPECT_EQ(s[2].loop_length, 0);
    EXPECT_EQ(s[3].loop_start, 20);
    EXPECT_EQ(s[3].loop_length, 4);
    EXPECT_STREQ(s[4].name, "a name of 22 chars....");
    EXPECT_EQ(s[0].offset, 0);
    EXPECT_EQ(s[1].offset, 1024);
    EXPECT_EQ(s[2].offset, 1224);
    EXPECT_EQ(loaded.module->sample_bytes, 1024 + 200 + 400 + 400);
}

TEST(Loader, SongLengthAndRestart) {
    struct Case {
        int length_byte, restart_byte;
        int song_length, restart_enabled, restart_pos;
    };
    const Case cases[] = {
        {200, 0, 128, 1, 0},  {0, 0, 0, 1, 0},      {10, 127, 10, 0, 127},
        {10, 200, 10, 0, 200}, {10, 50, 10, 1, 10}, {10, 3, 10, 1, 3},
    };
    for (const Case& k : cases) {
        modwriter::Song song = harness::basicSong();
        song.song_length = k.length_byte;
        song.restart = k.restart_byte;
        Loaded loaded(song);
        ASSERT_NE(loaded.module, nullptr);
        EXPECT_EQ(loaded.module->song_length, k.song_length) << k.length_byte;
        EXPECT_EQ(loaded.module->restart_enabled, k.restart_enabled) << k.restart_byte;
        EXPECT_EQ(loaded.module->restart_pos, k.restart_pos) << k.restart_byte;
    }
}

TEST(Loader, PatternCountComesFromTheWholeOrderTable) {
    modwriter::Song song = harness::basicSong();
    song.song_length = 6;
    for (int i = 0; i < 6; ++i) song.orders[static_cast<std::size_t>(i)] = i;
    song.orders[100] = 9;
    song.at(9, 63, 3) = modwriter::Cell{428, 1, 0xC, 0x20};
    Loaded loaded(song);
    ASSERT_NE(loaded.module, nullptr);
    EXPECT_EQ(loaded.module->num_patterns, 10);
    EXPECT_EQ(loaded.module->orders[100], 9);
    EXPECT_EQ(loaded.module->patterns[9][63 * 4 + 3].period, 428);
    EXPECT_EQ(loaded.module->patterns[9][63 * 4 + 3].param, 0x20);
    // Sample data starts after the ten pattern blocks.
    EXPECT_EQ(loaded.module->sample_data[1], song.samples[0].data[1]);
    EXPECT_EQ(loaded.module->sample_data[1023], song.samples[0].data[1023]);
}

TEST(Loader, OrderEntriesUpTo255LoadEveryPattern) {
    modwriter::Song song = harness::basicSong();
    song.orders[0] = 255;
    song.orders[127] = 200;
    Loaded loaded(song);
    ASSERT_NE(loaded.module, nullptr);
    EXPECT_EQ(loaded.module->num_patterns, 256);
    EXPECT_NE(loaded.module->patterns[255], nullptr);
}

TEST(Loader, DecodesAndClampsCells) {
    struct Case {
        modwriter::Cell raw;
        PatternCell expected;
    };
    const Case cases[] = {
        {{50, 0, 0, 0}, {113, 0, 0, 0}},
        {{1000, 0, 0, 0}, {856, 0, 0, 0}},
        {{4095, 0, 0, 0}, {856, 0, 0, 0}},
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
        {{1, 0, 0, 0}, {113, 0, 0, 0}},
        {{428, 0x25, 0, 0}, {428, 31, 0, 0}},
        {{428, 0x1F, 0, 0}, {428, 31, 0, 0}},
        {{0, 0x10, 0, 0}, {0, 16, 0, 0}},
        {{0, 0, 0xA, 0xF8}, {0, 0, 0xA, 0xF0}},
        {{0, 0, 0x5, 0xFF}, {0, 0, 0x5, 0xF0}},
        {{0, 0, 0x6, 0xF1}, {0, 0, 0x6, 0xF0}},
        {{0, 0, 0xB, 90}, {0, 0, 0xB, 12}},
        {{0, 0, 0xC, 0x50}, {0, 0, 0xC, 64}},
        {{0, 0, 0xE, 0xFF}, {0, 0, 0xE, 0xFF}},
        {{0, 0, 0xD, 0x99}, {0, 0, 0xD, 0x99}},
    };
    modwriter::Song song = harness::basicSong();
    song.song_length = 12;
    for (std::size_t i = 0; i < std::size(cases); ++i) song.at(0, static_cast<int>(i), 1) = cases[i].raw;
    Loaded loaded(song);
    ASSERT_NE(loaded.module, nullptr);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const PatternCell& got = loaded.module->patterns[0][i * 4 + 1];
        EXPECT_EQ(got.period, cases[i].expected.period) << i;
        EXPECT_EQ(got.sample, cases[i].expected.sample) << i;
        EXPECT_EQ(got.effect, cases[i].expected.effect) << i;
        EXPECT_EQ(got.param, cases[i].expected.param) << i;
    }
}

TEST(Loader, ShortFilesLoadWithZeros) {
    modwriter::Song song = harness::basicSong();
    song.title = "Twenty chars exactly";
    std::vector<std::uint8_t> bytes = song.bytes();
    // Cut inside the sample data, then at the end of the tag: both load.
    for (std::size_t size : {bytes.size() - 500, std::size_t{1084}, std::size_t{1084 + 10}}) {
        Loaded loaded(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)));
        ASSERT_NE(loaded.module, nullptr) << size;
        EXPECT_STREQ(loaded.module->name, "Twenty chars exactly");
        EXPECT_EQ(loaded.module->samples[0].length, 1024);
        if (size == bytes.size() - 500) {
            EXPECT_EQ(loaded.module->sample_data[100], song.samples[0].data[100]);
            EXPECT_EQ(loaded.module->sample_data[1000], 0);
        }
    }
    // Shorter than the tag: refused.
    Loaded cut(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 1083));
    EXPECT_EQ(cut.module, nullptr);
}

TEST(Loader, AllEmptySamplesLoad) {
    modwriter::Song song;
    song.song_length = 1;
    Loaded loaded(song);
    ASSERT_NE(loaded.module, nullptr);
    EXPECT_EQ(loaded.module->sample_bytes, 0);
    EXPECT_NE(loaded.module->sample_data, nullptr);
    EXPECT_EQ(file_sample_data, loaded.module->sample_data);
}

TEST(Loader, UnreadableFilesFail) {
    TempDir dir;
    EXPECT_EQ(zindleLoad(dir.file("missing.mod").c_str()), nullptr);
    EXPECT_EQ(zindleLoad(dir.path().c_str()), nullptr);  // a folder
    harness::writeBytes(dir.file("locked.mod"), harness::basicSong().bytes());
    chmod(dir.file("locked.mod").c_str(), 0);
    Module* locked = zindleLoad(dir.file("locked.mod").c_str());
    if (geteuid() != 0) {
        EXPECT_EQ(locked, nullptr);  // root reads it anyway
    }
    zindleFree(locked);
    zindleFree(nullptr);
}

TEST(Loader, FreeCutsTheVoicesFirst) {
    harness::resetGlobals();
    Loaded* loaded = new Loaded(harness::basicSong());
    ASSERT_NE(loaded->module, nullptr);
    zindlePlay(loaded->module, 0);
    std::uint8_t buffer[4096];
    mixaudio(nullptr, buffer, sizeof buffer);
    audioSetSource(0, loaded->module->sample_data, 1024, 0, 1024);
    delete loaded;  // zindleFree
    EXPECT_EQ(mod_playing, 0);
    for (const Voice& voice : v) EXPECT_EQ(voice.data, nullptr);
    mixaudio(nullptr, buffer, sizeof buffer);  // reads nothing released
    harness::resetGlobals();
}
