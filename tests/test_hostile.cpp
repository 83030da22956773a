// Hostile modules: damaged, truncated and deliberately odd files. Each one
// either loads or is refused where the loader refuses (no tag), and every one
// that loads plays ten seconds through the real mixer callback while the views
// are drawn on off-screen surfaces. At every tick the engine must stay inside
// the song and every voice inside the module's sample data; the sanitizer
// builds (scripts/ci-sanitizers.sh) run the same table for memory errors and
// undefined behaviour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "display/pattern_viewer.h"
#include "display/sample_viewer.h"
#include "display/textout.h"
#include "tests/engine_harness.h"
#include "tools/hostile_cases.h"
#include "tests/screen_text.h"

using harness::TempDir;
using modwriter::Song;

namespace {

constexpr std::uint64_t kTenSeconds = 10 * kOutputRate;
using hostile::kPatternBytes;
using hostile::kTagEnd;
using hostile::richSong;
using hostile::saw;
using modwriter::Cell;

// --- What must hold of a loaded module, whatever the file said.

std::string loadedProblems(const Module& m) {
    std::ostringstream out;
    if (m.loaded != 1) out << "not marked loaded; ";
    if (m.channels < 1 || m.channels > kMaxChannels) out << "channels " << m.channels << "; ";
    if (m.num_samples != 15 && m.num_samples != 31) out << "num_samples " << m.num_samples << "; ";
    for (int s = m.num_samples; s >= 0 && s < kNumSamples; ++s)
        if (m.samples[s].length != 0 || m.samples[s].volume != 0) out << "sample " << s + 1 << " not empty; ";
    if (m.song_length < 0 || m.song_length > 128) out << "song_length " << m.song_length << "; ";
    int largest = 0;
    for (int order : m.orders) {
        if (order < 0 || order > 255) out << "order entry " << order << "; ";
        largest = std::max(largest, order);
    }
    if (m.num_patterns != largest + 1) out << "num_patterns " << m.num_patterns << "; ";
    int bytes = 0;
    for (const Sample& s : m.samples) {
        if (s.length < 0 || s.length > 131070 || s.length % 2 != 0) out << "length " << s.length << "; ";
        if (s.loop_length != 0 && s.loop_length < 4) out << "loop_length " << s.loop_length << "; ";
        if (s.volume < 0 || s.volume > 64) out << "volume " << s.volume << "; ";
        if (s.finetune < 0 || s.finetune > 15) out << "finetune " << s.finetune << "; ";
        if (s.offset != bytes) out << "offset " << s.offset << "; ";
        bytes += s.length;
    }
    if (m.sample_bytes != bytes) out << "sample_bytes " << m.sample_bytes << "; ";
    for (int p = 0; p < m.num_patterns; ++p) {
        if (!m.patterns[p]) {
            out << "pattern " << p << " missing; ";
            continue;
        }
        for (int i = 0; i < kRowsPerPattern * m.channels; ++i) {
            const PatternCell& cell = m.patterns[p][i];
            if (cell.period != 0 && (cell.period < 113 || cell.period > 856)) out << "period " << cell.period << "; ";
            if (cell.sample < 0 || cell.sample > 31) out << "sample " << cell.sample << "; ";
            if (cell.effect < 0 || cell.effect > 15) out << "effect " << cell.effect << "; ";
            if (cell.param < 0 || cell.param > 255) out << "param " << cell.param << "; ";
        }
    }
    return out.str();
}

// --- What must hold at every tick: checked from the tick hook.

const Module* ticking = nullptr;
std::string* tick_problems = nullptr;

void checkTick() {
    const Module& m = *ticking;
    std::ostringstream out;
    if (mod_row < 0 || mod_row >= kRowsPerPattern) out << "row " << mod_row << "; ";
    if (mod_order < 0 || (mod_order >= m.song_length && mod_order != 0)) out << "order " << mod_order << "; ";
    if (mod_order >= 0 && mod_order < kOrderSlots && mod_pattern != m.orders[mod_order])
        out << "pattern " << mod_pattern << " at order " << mod_order << "; ";
    if (mod_pattern < 0 || mod_pattern >= m.num_patterns) out << "pattern " << mod_pattern << "; ";
    if (mod_speed < 0 || mod_speed > 32) out << "speed " << mod_speed << "; ";
    if (mod_samplespertick < 470 || mod_samplespertick > 3636) out << "frames per tick " << mod_samplespertick << "; ";
    const std::int8_t* begin = m.sample_data;
    const std::int8_t* end = m.sample_data + m.sample_bytes;
    for (int i = 0; i < kMaxVoices; ++i) {
        if (!v[i].data) continue;
        if (v[i].data < begin || v[i].data + v[i].length > end)
            out << "voice " << i << " reaches outside the sample data; ";
        if (v[i].volume > 64) out << "voice " << i << " volume " << int{v[i].volume} << "; ";
    }
    for (const Channel& ch : channels) {
        if (ch.volume < 0 || ch.volume > 64) out << "channel volume " << ch.volume << "; ";
        if (ch.sample < 0 || ch.sample > 31) out << "channel sample " << ch.sample << "; ";
    }
    // One report per kind is enough to see what went wrong.
    const std::string found = out.str();
    if (!found.empty() && tick_problems->find(found) == std::string::npos) *tick_problems += found;
}

// --- Playing a file

struct Views {
    screentext::SurfacePtr screen = screentext::makeSurface();
    screentext::SurfacePtr background = screentext::makeSurface(0x2104);
};

// Called before mixaudio renders buffer n.
using BeforeBuffer = std::function<void(int n)>;

struct Played {
    bool loaded = false;
    std::string load_problems;
    std::string tick_problems;
    int ticks = 0;
};

int tick_count = 0;
void countAndCheck() {
    ++tick_count;
    checkTick();
}

// Loads the bytes with the real loader from a file and, when they load,
// plays `frames` through mixaudio in device-sized buffers, switching the view
// every eight buffers (1, 2, 3, 4) and drawing view 4 as the main loop would.
Played playBytes(const std::vector<std::uint8_t>& bytes, std::uint64_t frames = kTenSeconds,
                 const BeforeBuffer& before = {}) {
    harness::resetGlobals();
    TempDir dir;
    const std::string path = dir.file("hostile.mod");
    harness::writeBytes(path, bytes);
    Played played;
    Module* module = zindleLoad(path.c_str());
    if (!module) return played;
    played.loaded = true;
    played.load_problems = loadedProblems(*module);

    Views views;
    screen = views.screen.get();
    background = views.background.get();
    char song_name[32];
    std::snprintf(song_name, sizeof song_name, "Song name: %.20s", module->name);
    textOut(background, 4, 10, song_name, 0xFFFF, 0, 0);
    base_volume = 100;

    ticking = module;
    tick_problems = &played.tick_problems;
    tick_count = 0;
    harness::on_tick = countAndCheck;
    zindlePlay(module, 0);
    std::uint8_t buffer[4 * kChunkFrames];
    for (int n = 0; frames > 0; ++n) {
        if (before) before(n);
        constexpr int kCycle[4] = {1, 2, 3, 4};
        display_mode = kCycle[n / 8 % 4];
        const std::uint64_t chunk = std::min<std::uint64_t>(frames, kChunkFrames);
        mixaudio(nullptr, buffer, static_cast<int>(4 * chunk));
        if (display_mode == 4) viewsDrawScopes();
        frames -= chunk;
    }
    played.ticks = tick_count;
    zindleFree(module);
    harness::resetGlobals();
    return played;
}

Played playSong(const Song& song, const BeforeBuffer& before = {}) {
    return playBytes(song.bytes(), kTenSeconds, before);
}

// Asserts a loaded, sound, complete run; `what` names the case.
void expectPlayedCleanly(const Played& played, const std::string& what) {
    ASSERT_TRUE(played.loaded) << what;
    EXPECT_EQ(played.load_problems, "") << what;
    EXPECT_EQ(played.tick_problems, "") << what;
    // Ten seconds are at least 130 ticks at the slowest tempo.
    EXPECT_GE(played.ticks, 130) << what;
}

// Whether the loader refuses bytes as a file.
bool refused(const std::vector<std::uint8_t>& bytes) {
    const TempDir dir;
    harness::writeBytes(dir.file("t.mod"), bytes);
    Module* module = zindleLoad(dir.file("t.mod").c_str());
    zindleFree(module);
    return module == nullptr;
}

}  // namespace

// Every cut of the file before the tag is complete is refused; every cut from
// there on, at each boundary and inside each field, loads and plays.
TEST(Hostile, FileCutAnywhere) {
    const std::vector<std::uint8_t> whole = hostile::richSong().bytes();
    ASSERT_EQ(whole.size(), static_cast<std::size_t>(kTagEnd + 2 * kPatternBytes + 64 + 40 + 30));

    // Refused cuts are cheap: try every length up to the tag's last byte.
    for (int cut = 0; cut < kTagEnd; ++cut)
        EXPECT_TRUE(refused(std::vector<std::uint8_t>(whole.begin(), whole.begin() + cut))) << "cut at " << cut;

    for (int cut : hostile::playedCuts()) {
        const Played played = playBytes(std::vector<std::uint8_t>(whole.begin(), whole.begin() + cut));
        expectPlayedCleanly(played, "cut at " + std::to_string(cut));
    }
}

// Order entries up to 255 whose patterns the file doesn't hold: the blocks
// read as empty, and jumps through them stay inside the song.
TEST(Hostile, OrdersPastThePatternData) {
    for (const auto& [what, song] : hostile::ordersPastThePatternData()) {
        const Played played = playSong(song, [](int n) {
            if (n % 50 == 49) zindleJump(mod_order + 1);
        });
        expectPlayedCleanly(played, what);
    }
}

// Every kind of sample length and loop, played with notes, with sample
// changes under a playing voice, with offsets and with the invert loop.
TEST(Hostile, SampleLengthsAndLoops) {
    for (const hostile::NamedBytes& file : hostile::sampleLengthsAndLoops())
        expectPlayedCleanly(playBytes(file.bytes), file.what);
}

// Every period the twelve bits can hold, at every finetune: the loader clamps
// them and the note lookup stays inside its table.
TEST(Hostile, EveryPeriodInCells) {
    const Song song = hostile::everyPeriod();
    int last_order = 0;
    const Played played = playSong(song, [&](int) { last_order = std::max(last_order, mod_order); });
    expectPlayedCleanly(played, "periods 1..4095");
    EXPECT_EQ(last_order, 15) << "all sixteen patterns played";
}

// Every command, extended ones included, with the parameters 00, 0F, F0 and
// FF, on notes, on empty cells and on a channel that has no sample yet.
TEST(Hostile, EveryCommandWithExtremeParameters) {
    for (const auto& [what, song] : hostile::everyCommand()) expectPlayedCleanly(playSong(song), what);
}

// Titles and sample names made of control bytes and bytes of 128 and more:
// the views draw the title as blank cells.
TEST(Hostile, ControlAndHighBytesInNames) {
    for (const auto& [what, song] : hostile::controlAndHighBytesInNames()) expectPlayedCleanly(playSong(song), what);
}

// Song lengths of 0, 128 and a byte past 128, with jumps and breaks that
// point past the end.
TEST(Hostile, SongLengthsAtTheLimits) {
    for (const auto& [what, song] : hostile::songLengthsAtTheLimits()) {
        const Played played = playSong(song, [](int n) {
            if (n % 20 == 19) zindleJump(mod_order + 7);
        });
        expectPlayedCleanly(played, what);
    }
}

// zindleJump to -1, 0, the song's length and 200, in songs of 0, 5 and 128
// positions: the song goes on at a position inside it.
TEST(Hostile, JumpsOutsideTheSong) {
    for (const hostile::JumpCase& k : hostile::jumpCases()) {
        const Song song = hostile::jumpSong(k.length, k.restart);
        int order_after_jump = -2;
        int row_after_jump = -2;
        const Played played = playSong(song, [&](int n) {
            if (n == 100) {
                zindleJump(k.target);
                order_after_jump = mod_order;
                row_after_jump = mod_row;
            }
        });
        const std::string what = "length " + std::to_string(k.length) + ", jump to " + std::to_string(k.target);
        expectPlayedCleanly(played, what);
        EXPECT_EQ(order_after_jump, k.expected_order) << what;
        EXPECT_EQ(row_after_jump, 0) << what;
    }
}

// --- Shapes beyond four channels and 31 samples

namespace {

// richSong on `channels` channels, its rows repeated across them and the
// timing commands on the last ones.
Song wideSong(int channels, const std::string& tag) {
    Song song = richSong();
    song.channels = channels;
    song.tag = tag;
    for (int p = 0; p < 2; ++p)
        for (int row = 0; row < 3; ++row)
            for (int c = 4; c < channels; ++c) song.at(p, row, c) = song.at(p, row, c % 4);
    song.at(1, 10, channels - 1) = Cell{0, 0, 0xE, 0x62};
    song.at(1, 12, channels - 1) = Cell{0, 0, 0xB, 0x00};
    return song;
}

// Pages through the channel groups of views 1 and 4 as the C key does.
void pageGroups(int n) {
    if (n % 16 == 15 && source) first_shown_channel = nextChannelGroup(first_shown_channel, source->channels);
}

}  // namespace

TEST(Hostile, ChannelCountsInTags) {
    const std::pair<const char*, int> refused_tags[] = {{"0CHN", 4}, {"33CH", 33}, {"99CH", 32}, {"00CN", 4}, {"TDZ0", 4}};
    for (const auto& [tag, channels] : refused_tags)
        EXPECT_TRUE(refused(wideSong(std::min(channels, 32), tag).bytes())) << tag;
    for (int channels : {1, 2, 3, 5, 8, 9, 17, 31, 32}) {
        const std::string tag = channels < 10 ? std::to_string(channels) + "CHN" : std::to_string(channels) + "CH";
        expectPlayedCleanly(playBytes(wideSong(channels, tag).bytes(), kTenSeconds, pageGroups), tag);
        // The same files cut inside the patterns and the samples.
        const std::vector<std::uint8_t> whole = wideSong(channels, tag).bytes();
        for (std::size_t cut : {std::size_t{1084}, std::size_t{1085 + 256 * static_cast<std::size_t>(channels)},
                                whole.size() - 50})
            expectPlayedCleanly(playBytes(std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut)),
                                          kTenSeconds, pageGroups),
                                tag + " cut at " + std::to_string(cut));
    }
}

// FLT8 order entries are halved: odd ones, 255, and blocks the file lacks.
TEST(Hostile, Flt8OddOrderEntries) {
    for (int blocks : {-1, 0, 1, 3}) {
        Song song = wideSong(8, "FLT8");
        song.paired_blocks = true;
        song.song_length = 6;
        song.orders = {1, 3, 255, 0, 7, 2};
        song.orders[127] = 201;
        song.pattern_blocks = blocks;
        expectPlayedCleanly(playSong(song, pageGroups), "FLT8 with " + std::to_string(blocks) + " patterns");
    }
}

// A 15-sample file cut at every boundary of its header, its patterns and its
// samples: refused while the patterns its orders name are incomplete, played
// from there on.
TEST(Hostile, FifteenSampleFileCutAtEveryBoundary) {
    Song song = richSong();
    song.num_samples = 15;
    song.samples[14] = saw(30, 0, 15);
    song.restart = 0;
    const std::vector<std::uint8_t> whole = song.bytes();
    const int patterns_end = 600 + 2 * kPatternBytes;
    ASSERT_EQ(whole.size(), static_cast<std::size_t>(patterns_end + 64 + 40 + 30 + 30));
    std::vector<int> refused_cuts = {0, 1, 19, 20, 21, 470, 471, 472, 599, 600, 601, 600 + kPatternBytes, patterns_end - 1};
    for (int s = 1; s <= 15; ++s) refused_cuts.push_back(20 + 30 * s);
    for (int cut : refused_cuts)
        EXPECT_TRUE(refused(std::vector<std::uint8_t>(whole.begin(), whole.begin() + cut))) << "cut at " << cut;
    for (int cut : {patterns_end, patterns_end + 1, patterns_end + 64, patterns_end + 103, patterns_end + 104,
                    patterns_end + 134, static_cast<int>(whole.size()) - 1, static_cast<int>(whole.size())})
        expectPlayedCleanly(playBytes(std::vector<std::uint8_t>(whole.begin(), whole.begin() + cut)),
                            "15 samples cut at " + std::to_string(cut));
}

// The plausibility limits of an untagged file, just inside (plays) and just
// outside (refused), and the loop start given in bytes.
TEST(Hostile, FifteenSampleLimits) {
    Song song = richSong();
    song.num_samples = 15;
    song.samples[3] = saw(200, 80, 40);   // a loop start in bytes
    song.samples[4] = saw(200, 180, 20);  // past the end either way
    song.row(0, 5, "C-2 04 ... | C-2 05 ... | --- 20 ... | C-3 31 ...");
    const std::vector<std::uint8_t> bytes = song.bytes();
    struct Case {
        const char* what;
        int at, value;
        bool loads;
    };
    const Case cases[] = {
        {"title byte 32", 5, 32, true},     {"title byte 126", 5, 126, true}, {"title byte 31", 5, 31, false},
        {"title byte 127", 5, 127, false},  {"name byte 255", 20 + 30 * 7, 255, false},
        {"volume 64", 20 + 30 * 14 + 25, 64, true}, {"volume 65", 20 + 30 * 14 + 25, 65, false},
        {"song length 1", 470, 1, true},    {"song length 128", 470, 128, true},
        {"song length 0", 470, 0, false},   {"song length 129", 470, 129, false},
        {"restart 0", 471, 0, true},        {"restart 255", 471, 255, true},
        {"order 128", 472 + 127, 128, false}, {"order 255", 472, 255, false},
    };
    for (const Case& k : cases) {
        std::vector<std::uint8_t> changed = bytes;
        changed[static_cast<std::size_t>(k.at)] = static_cast<std::uint8_t>(k.value);
        if (k.loads)
            expectPlayedCleanly(playBytes(changed), k.what);
        else
            EXPECT_TRUE(refused(changed)) << k.what;
    }
}

// --- XM, S3M and IT on libxmp: what our side reads of what libxmp loaded.

namespace {

const LoadedSong* tracker_ticking = nullptr;

// What the views are told at a tick must describe the song: a row inside
// its pattern, cells and voices that read inside libxmp's data (the
// sanitizer builds check the reads themselves).
void checkTrackerTick() {
    ++tick_count;
    NowPlaying now;
    songDescribe(&now);
    std::ostringstream out;
    if (!now.shown) out << "nothing shown; ";
    if (now.channels < 1 || now.channels > 64) out << "channels " << now.channels << "; ";
    if (now.rows < 0 || now.rows > 256) out << "rows " << now.rows << "; ";
    if (now.instruments < 0 || now.instruments > kMaxInstruments) out << "instruments " << now.instruments << "; ";
    if (now.rows > 0 && now.cell) {
        // Every cell of every row shown: the whole pattern.
        CellText cell;
        for (int r = 0; r < now.rows; ++r)
            for (int c = 0; c < now.channels; ++c) {
                now.cell(now.song, now.pattern, r, c, &cell);
                if (std::strlen(cell.note) != 3 || std::strlen(cell.effect) < 3) out << "cell text; ";
            }
    }
    ScopeVoice voices[64];
    songDescribeVoices(voices, 0, now.channels);
    for (int c = 0; c < now.channels; ++c) {
        const ScopeVoice& v = voices[c];
        if (!v.data) continue;
        if (v.volume > 64) out << "voice volume " << int{v.volume} << "; ";
        if (v.loop_end > v.length || v.loop_length > v.loop_end) out << "voice loop past its sample; ";
    }
    const std::string found = out.str();
    if (!found.empty() && tick_problems->find(found) == std::string::npos) *tick_problems += found;
}

// Loads a tracker file through both engines and, when one takes it, plays
// `frames` with every view drawn in turn, checking every tick.
Played playTrackerFile(const hostile::NamedBytes& file, std::uint64_t frames) {
    harness::resetGlobals();
    TempDir dir;
    const std::string path = dir.file("hostile" + file.extension);
    harness::writeBytes(path, file.bytes);
    Played played;
    LoadedSong* song = songLoad(path.c_str());
    if (!song) return played;
    played.loaded = true;
    const SongFacts& facts = songFacts(song);
    if (facts.channels < 1 || facts.channels > 64) played.load_problems += "channels; ";

    Views views;
    screen = views.screen.get();
    background = views.background.get();
    base_volume = 100;
    tick_problems = &played.tick_problems;
    tick_count = 0;
    tracker_ticking = song;
    harness::on_tick = checkTrackerTick;
    songPlay(song, 0);
    std::uint8_t buffer[4 * kChunkFrames];
    for (int n = 0; frames > 0; ++n) {
        constexpr int kCycle[4] = {1, 2, 3, 4};
        display_mode = kCycle[n / 4 % 4];
        if (n % 16 == 15) first_shown_channel = nextChannelGroup(first_shown_channel, facts.channels);
        if (n == 20) songJump(-1);
        const std::uint64_t chunk = std::min<std::uint64_t>(frames, kChunkFrames);
        mixaudio(nullptr, buffer, static_cast<int>(4 * chunk));
        if (display_mode == 4) viewsDrawScopes();
        frames -= chunk;
    }
    played.ticks = tick_count;
    songFree(song);
    tracker_ticking = nullptr;
    harness::resetGlobals();
    return played;
}

void expectTrackerFilesPlayCleanly(const std::vector<hostile::NamedBytes>& files, std::uint64_t frames,
                                   bool all_load) {
    int loaded = 0;
    for (const hostile::NamedBytes& file : files) {
        const Played played = playTrackerFile(file, frames);
        loaded += played.loaded;
        if (all_load) {
            EXPECT_TRUE(played.loaded) << file.what;
        }
        EXPECT_EQ(played.load_problems, "") << file.what;
        EXPECT_EQ(played.tick_problems, "") << file.what;
    }
    std::printf("%d of %zu files loaded\n", loaded, files.size());
}

}  // namespace

// Each format's file cut at every boundary of its first kilobyte and on
// through it: loaded by libxmp or refused, and what it loaded played.
TEST(Hostile, TrackerFilesCutShort) {
    expectTrackerFilesPlayCleanly(hostile::trackerCuts(), kOutputRate, false);
}

// Counts, offsets, lengths and flags changed to anything.
TEST(Hostile, TrackerFilesMutated) {
    expectTrackerFilesPlayCleanly(hostile::trackerMutants(), kOutputRate, false);
}

// The formats' limits: row counts, instruments, channels, orders, samples.
TEST(Hostile, TrackerFilesAtTheLimits) {
    expectTrackerFilesPlayCleanly(hostile::trackerLimits(), 3 * kOutputRate, false);
}
