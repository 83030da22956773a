// The loader on real files: layout, clamps, tags, short files and failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

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

TEST(Loader, TagsGiveTheChannelCount) {
    const std::pair<const char*, int> accepted[] = {
        {"M.K.", 4}, {"M!K!", 4}, {"M&K!", 4}, {"N.T.", 4}, {"FLT4", 4}, {"4CHN", 4},  {"1CHN", 1},
        {"6CHN", 6}, {"9CHN", 9}, {"10CH", 10}, {"16CH", 16}, {"32CH", 32}, {"10CN", 10}, {"32CN", 32},
        {"CD81", 8}, {"OKTA", 8}, {"OCTA", 8}, {"FLT8", 8}, {"TDZ1", 1},  {"TDZ3", 3},
    };
    for (const auto& [tag, channels] : accepted) {
        modwriter::Song song = songWithTag(tag);
        song.channels = channels;
        Loaded loaded(song);
        ASSERT_NE(loaded.module, nullptr) << tag;
        EXPECT_EQ(loaded.module->loaded, 1);
        EXPECT_EQ(loaded.module->channels, channels) << tag;
        EXPECT_EQ(loaded.module->num_samples, 31) << tag;
        EXPECT_STREQ(loaded.module->tag, tag);
        EXPECT_EQ(loaded.module->samples[0].length, 1024) << tag;
    }
    for (const char* tag : {"m.k.", "M.K ", "flt4", "XXXX", "0CHN", "33CH", "99CH", "09CH", "00CH", "33CN", "10CX",
                            "6chn", "TDZ0", "TDZ4", "FLT2", "A8CH", "1 CH"}) {
        Loaded loaded(songWithTag(tag));
        EXPECT_EQ(loaded.module, nullptr) << tag;
    }
}

// Cell (row, channel) of a pattern is entry row * channels + channel, and
// the sample data follows the patterns of the module's width.
TEST(Loader, PatternsHoldEveryChannel) {
    for (int channels : {1, 6, 13, 32}) {
        modwriter::Song song = songWithTag(channels == 1 ? "1CHN" : channels == 6 ? "6CHN" : channels == 13 ? "13CN" : "32CH");
        song.channels = channels;
        song.song_length = 2;
        song.orders[1] = 1;
        song.at(1, 63, channels - 1) = modwriter::Cell{428, 1, 0xC, 0x20};
        song.at(1, 0, 0) = modwriter::Cell{856, 2, 0, 0};
        Loaded loaded(song);
        ASSERT_NE(loaded.module, nullptr) << channels;
        const PatternCell* block = loaded.module->patterns[1];
        EXPECT_EQ(block[63 * channels + channels - 1].period, 428) << channels;
        EXPECT_EQ(block[63 * channels + channels - 1].param, 0x20) << channels;
        EXPECT_EQ(block[0].period, 856) << channels;
        EXPECT_EQ(loaded.module->sample_data[1023], song.samples[0].data[1023]) << channels;
    }
}

// FLT8: a pattern is two 4-channel blocks, channels 1-4 then 5-8, and an
// order entry e names pattern e / 2.
TEST(Loader, Flt8PairsFourChannelBlocks) {
    modwriter::Song song = songWithTag("FLT8");
    song.channels = 8;
    song.paired_blocks = true;
    song.song_length = 4;
    song.orders = {0, 2, 3, 1};
    song.at(1, 5, 2) = modwriter::Cell{428, 1, 0, 0};
    song.at(1, 5, 6) = modwriter::Cell{214, 1, 0, 0};
    const std::vector<std::uint8_t> bytes = song.bytes();
    // Two patterns of two blocks, then the sample.
    ASSERT_EQ(bytes.size(), 1084u + 4 * 1024 + 1024);
    Loaded loaded(song);
    ASSERT_NE(loaded.module, nullptr);
    EXPECT_EQ(loaded.module->channels, 8);
    EXPECT_EQ(loaded.module->num_patterns, 2);
    EXPECT_EQ((std::vector<int>(loaded.module->orders, loaded.module->orders + 4)), (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ(loaded.module->patterns[1][5 * 8 + 2].period, 428);
    EXPECT_EQ(loaded.module->patterns[1][5 * 8 + 6].period, 214);
    EXPECT_EQ(loaded.module->sample_data[1023], song.samples[0].data[1023]);
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

// The bytes missing are counted per sample, and said in words.
TEST(Loader, ShortFilesLoadWithZeros) {
    modwriter::Song song = harness::basicSong();
    song.title = "Twenty chars exactly";
    song.samples[2] = harness::oneShotSample(100);
    std::vector<std::uint8_t> bytes = song.bytes();
    // Whole, cut inside the sample data, then at the end of the tag: all load.
    const std::pair<std::size_t, std::string> cases[] = {
        {bytes.size(), ""},
        {bytes.size() - 500, "sample data cut short: 500 bytes missing (sample 1: 400, sample 3: 100)"},
        {1084, "sample data cut short: 1124 bytes missing (sample 1: 1024, sample 3: 100)"},
        {1084 + 10, "sample data cut short: 1124 bytes missing (sample 1: 1024, sample 3: 100)"},
    };
    for (const auto& [size, missing] : cases) {
        Loaded loaded(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)));
        ASSERT_NE(loaded.module, nullptr) << size;
        EXPECT_STREQ(loaded.module->name, "Twenty chars exactly");
        EXPECT_EQ(loaded.module->samples[0].length, 1024);
        char text[kShortDataTextBytes];
        zindleDescribeShortData(*loaded.module, text, sizeof text);
        EXPECT_EQ(text, missing) << size;
        if (size == bytes.size() - 500) {
            EXPECT_EQ(loaded.module->sample_data[100], song.samples[0].data[100]);
            EXPECT_EQ(loaded.module->sample_data[1000], 0);
        }
    }
    // Shorter than the tag: refused.
    Loaded cut(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 1083));
    EXPECT_EQ(cut.module, nullptr);
}

// --- Untagged 15-sample modules

namespace {

modwriter::Song oldSong() {
    modwriter::Song song = harness::basicSong();
    song.num_samples = 15;
    song.samples[14] = harness::oneShotSample(100, 40);
    song.song_length = 3;
    song.restart = 120;
    song.orders = {0, 1, 0};
    song.at(1, 63, 3) = modwriter::Cell{428, 15, 0xC, 0x20};
    return song;
}

}  // namespace

TEST(Loader, FifteenSampleModulesHaveNoTag) {
    const modwriter::Song song = oldSong();
    const std::vector<std::uint8_t> bytes = song.bytes();
    ASSERT_EQ(bytes.size(), 600u + 2 * 1024 + 1024 + 100);
    Loaded loaded(song);
    ASSERT_NE(loaded.module, nullptr);
    const Module& m = *loaded.module;
    EXPECT_EQ(m.num_samples, 15);
    EXPECT_EQ(m.channels, 4);
    EXPECT_STREQ(m.tag, "");
    EXPECT_EQ(m.song_length, 3);
    EXPECT_EQ(m.restart_enabled, 1);
    EXPECT_EQ(m.restart_pos, 3);  // past the song: it starts again from the top
    EXPECT_EQ(m.num_patterns, 2);
    EXPECT_EQ(m.orders[1], 1);
    EXPECT_EQ(m.patterns[1][63 * 4 + 3].period, 428);
    EXPECT_EQ(m.patterns[1][63 * 4 + 3].sample, 15);
    EXPECT_EQ(m.samples[14].length, 100);
    EXPECT_EQ(m.samples[14].volume, 40);
    EXPECT_EQ(m.samples[15].length, 0);
    EXPECT_EQ(m.sample_bytes, 1124);
    EXPECT_EQ(m.sample_data[1023], song.samples[0].data[1023]);
    EXPECT_EQ(m.sample_data[1024 + 99], song.samples[14].data[99]);
}

// Without a tag a file is a module only when it is plausible as one; each
// limit just inside loads, just outside is refused.
TEST(Loader, FifteenSampleModulesMustBePlausible) {
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> change;
        bool loads;
    };
    constexpr std::size_t kVolume = 20 + 25;  // sample 1's volume byte
    const Case cases[] = {
        {"as written", [](auto&) {}, true},
        {"title byte 32", [](auto& b) { b[3] = 32; }, true},
        {"title byte 126", [](auto& b) { b[19] = 126; }, true},
        {"title byte 31", [](auto& b) { b[3] = 31; }, false},
        {"title byte 127", [](auto& b) { b[19] = 127; }, false},
        {"title byte 200", [](auto& b) { b[0] = 200; }, false},
        {"name byte 126", [](auto& b) { b[20 + 14 * 30 + 21] = 126; }, true},
        {"name byte 1", [](auto& b) { b[20 + 14 * 30 + 21] = 1; }, false},
        {"volume 64", [&](auto& b) { b[kVolume] = 64; }, true},
        {"volume 65", [&](auto& b) { b[kVolume] = 65; }, false},
        {"last volume 65", [](auto& b) { b[20 + 14 * 30 + 25] = 65; }, false},
        {"song length 1", [](auto& b) { b[470] = 1; }, true},
        {"song length 128", [](auto& b) { b[470] = 128; }, true},
        {"song length 0", [](auto& b) { b[470] = 0; }, false},
        {"song length 129", [](auto& b) { b[470] = 129; }, false},
        {"order 127 past the song", [](auto& b) { b[472 + 100] = 127; b.resize(600 + 128 * 1024); }, true},
        {"order 128 past the song", [](auto& b) { b[472 + 100] = 128; b.resize(600 + 129 * 1024); }, false},
        {"cut after the patterns", [](auto& b) { b.resize(600 + 2 * 1024); }, true},
        {"cut in the last pattern", [](auto& b) { b.resize(600 + 2 * 1024 - 1); }, false},
        {"patterns the file lacks", [](auto& b) { b[472 + 5] = 3; }, false},
    };
    const std::vector<std::uint8_t> bytes = oldSong().bytes();
    for (const Case& k : cases) {
        std::vector<std::uint8_t> changed = bytes;
        k.change(changed);
        Loaded loaded(changed);
        EXPECT_EQ(loaded.module != nullptr, k.loads) << k.what;
    }
}

// The first trackers' files often give the loop start in bytes.
TEST(Loader, FifteenSampleLoopStartMayBeInBytes) {
    struct Case {
        int start_words, length_words;  // as in the file; the sample is 100 words
        int loop_start;                  // bytes, as loaded
    };
    const Case cases[] = {
        {40, 60, 80},    // fits in words: words
        {80, 40, 80},    // runs past the end in words, fits in bytes: bytes
        {81, 40, 80},    // in bytes, odd: rounded down to a word
        {180, 20, 360},  // past the end either way: words, as any file
        {0, 100, 0},
    };
    for (const Case& k : cases) {
        for (int samples : {15, 31}) {
            modwriter::Song song = oldSong();
            song.num_samples = samples;
            song.samples[1] = harness::oneShotSample(200);
            song.samples[1].loop_start_words = k.start_words;
            song.samples[1].loop_length_words = k.length_words;
            Loaded loaded(song);
            ASSERT_NE(loaded.module, nullptr);
            const int expected = samples == 15 ? k.loop_start : 2 * k.start_words;
            EXPECT_EQ(loaded.module->samples[1].loop_start, expected) << k.start_words << " of " << samples;
            EXPECT_EQ(loaded.module->samples[1].loop_length, 2 * k.length_words);
        }
    }
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

// Why each kind of file is refused, in the words the programs print, after
// both engines have had it; the rows without a reason load, on the engine
// named. A tag naming a count Zindle plays in a spelling it doesn't read is no
// tag at all; one naming 0 or more than 32 channels says so; what libxmp
// knows but can't load says that.
TEST(Loader, SaysWhyItRefusesAFile) {
    TempDir dir;
    const auto file = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        harness::writeBytes(dir.file(name), bytes);
        return dir.file(name);
    };
    const auto tagged = [&](const std::string& name, const std::string& tag) {
        return file(name, songWithTag(tag).bytes());
    };
    const auto magic = [&](const std::string& name, std::size_t at, const std::string& bytes) {
        std::vector<std::uint8_t> head(2000, 0);
        std::copy(bytes.begin(), bytes.end(), head.begin() + static_cast<long>(at));
        return file(name, head);
    };
    const auto noTag = [](const std::string& found) {
        return "not a MOD file: no known tag at byte 1080 (found \"" + found + "\") and no 15-sample module";
    };
    const auto unplayable = [](const std::string& channels, const std::string& tag) {
        return "a module with " + channels + " channels (tag \"" + tag + "\"), which Zindle doesn't play";
    };
    const std::vector<std::uint8_t> good = harness::basicSong().bytes();
    const std::string locked = tagged("locked.mod", "M.K.");
    chmod(locked.c_str(), 0);

    struct Row {
        std::string path;
        std::string why;           // "" for a file that loads
        int channels = 0;          // of a file that loads
        std::string engine = "";   // that plays it
    };
    const auto libxmpCant = [](const std::string& format) {
        return "a module libxmp knows (" + format + "), but it can't load this one: the file is damaged or cut short";
    };
    const Row rows[] = {
        {tagged("09ch.mod", "09CH"), libxmpCant("Amiga Protracker/Compatible")},
        {tagged("cd61.mod", "CD61"), "", 6, "libxmp"},
        {tagged("tdz4.mod", "TDZ4"), "", 4, "libxmp"},
        {tagged("flt6.mod", "FLT6"), noTag("FLT6")},
        {tagged("m.k.mod", "M.k."), noTag("M.k.")},
        {tagged("binary.mod", std::string("\0\x01\xFF\"", 4)), noTag("\\x00\\x01\\xFF\\x22")},
        {tagged("33ch.mod", "33CH"), unplayable("33", "33CH")},
        {tagged("99cn.mod", "99CN"), unplayable("99", "99CN")},
        {tagged("00ch.mod", "00CH"), unplayable("0", "00CH")},
        {tagged("0chn.mod", "0CHN"), unplayable("0", "0CHN")},
        {tagged("tdz0.mod", "TDZ0"), unplayable("0", "TDZ0")},
        {magic("song.xm", 0, "Extended Module: demo"), libxmpCant("Fast Tracker II")},
        {magic("song.s3m", 44, "SCRM"), "an S3M module (Scream Tracker 3), but not one libxmp reads either"},
        {magic("song.it", 0, "IMPM"), "", 1, "libxmp"},
        {file("short.mod", std::vector<std::uint8_t>(good.begin(), good.begin() + 1083)),
         "too short to be a MOD file (1083 bytes)"},
        {dir.file("missing.mod"), "no such file"},
        {dir.file("short.mod/x.mod"), "Not a directory"},
        {dir.path(), "a folder, not a file"},
        {"/dev/null", "not a regular file (a device)"},
        {locked, "permission denied"},
        {tagged("10ch.mod", "10CH"), "", 10, "zindle"},
        {tagged("32cn.mod", "32CN"), "", 32, "zindle"},
    };
    for (const Row& row : rows) {
        if (row.path == locked && geteuid() == 0) continue;  // root reads it anyway
        LoadRefusal why;
        why.reason = LoadRefusalReason::kTooShort;  // stale: every load says why, or kNone
        LoadedSong* song = songLoad(row.path.c_str(), &why);
        if (row.why.empty()) {
            ASSERT_NE(song, nullptr) << row.path;
            EXPECT_EQ(songFacts(song).channels, row.channels) << row.path;
            EXPECT_STREQ(songFacts(song).engine, row.engine.c_str()) << row.path;
            EXPECT_EQ(why.reason, LoadRefusalReason::kNone) << row.path;
            EXPECT_TRUE(songProbe(row.path.c_str())) << row.path;
            songFree(song);
            continue;
        }
        EXPECT_EQ(song, nullptr) << row.path;
        char text[kRefusalTextBytes];
        zindleDescribeRefusal(why, text, sizeof text);
        EXPECT_EQ(text, row.why) << row.path;
        // The first bytes alone give the same answer, but for what libxmp
        // knows: its test reads no further than what tells the format.
        LoadRefusal probed;
        if (row.why.rfind("a module libxmp knows", 0) == 0) {
            EXPECT_TRUE(songProbe(row.path.c_str(), &probed)) << row.path;
            continue;
        }
        EXPECT_FALSE(songProbe(row.path.c_str(), &probed)) << row.path;
        zindleDescribeRefusal(probed, text, sizeof text);
        EXPECT_EQ(text, row.why) << row.path;
    }
    // Running out of memory can't be arranged here: its words from the record alone.
    LoadRefusal no_memory;
    no_memory.reason = LoadRefusalReason::kNoMemory;
    char text[kRefusalTextBytes];
    zindleDescribeRefusal(no_memory, text, sizeof text);
    EXPECT_STREQ(text, "not enough memory to load it");
    // A buffer too small for the words gets what fits.
    zindleDescribeRefusal(no_memory, text, 4);
    EXPECT_STREQ(text, "not");
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
    zindleFree(nullptr);  // does nothing
    EXPECT_EQ(mod_playing, 0);
    for (const Voice& voice : v) EXPECT_EQ(voice.data, nullptr);
    mixaudio(nullptr, buffer, sizeof buffer);  // reads nothing released
    harness::resetGlobals();
}
