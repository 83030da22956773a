// Modules our loader refuses and libxmp plays: XM, S3M and IT files written
// by the tracker writer, and a packed MOD. zindle-render's renders of them
// against libxmp's own (zindle-xmp-reference), what the views are told, and
// the effect and note notation of view 1.
#include <gtest/gtest.h>
#include <xmp.h>

#include <array>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "display/sample_viewer.h"
#include "display/views.h"
#include "player/engine.h"
#include "player/xmp_engine.h"
#include "tests/engine_harness.h"
#include "tests/process.h"
#include "tests/screen_text.h"
#include "tools/module_sets.h"

using harness::TempDir;
using harness::TrackerFormat;

namespace {

const std::string kRender = ZINDLE_RENDER_BIN;
const std::string kReference = ZINDLE_XMP_REFERENCE_BIN;
constexpr std::uint64_t kPassFrames = 48 * 3 * 960;  // trackerSong: 48 rows of 3 ticks

struct Written {
    std::string what;
    std::string path;
};

// The test song in each format, and a MOD packed with gzip (which our
// loader refuses and libxmp unpacks), in dir.
std::vector<Written> writeEach(const TempDir& dir, int channels = 4) {
    std::vector<Written> files;
    for (TrackerFormat format : harness::kTrackerFormats) {
        const std::string name = "song" + harness::trackerExtension(format);
        harness::writeBytes(dir.file(name), harness::trackerBytes(format, harness::trackerSong(format, channels)));
        files.push_back({name, dir.file(name)});
    }
    harness::writeBytes(dir.file("packed.mod.gz"), trackerwriter::gzip(harness::shortSong("packed", 125, 6, 0, 2).bytes()));
    files.push_back({"packed.mod.gz", dir.file("packed.mod.gz")});
    return files;
}

}  // namespace

// What zindle-render writes raw is what libxmp renders alone from the same
// start: one pass (the test song's 48 rows in every format), two passes, a
// length in seconds (past two passes: libxmp plays on as the module says), a
// later start.
TEST(Libxmp, RawRendersAreLibxmpsOwnBitForBit) {
    TempDir dir;
    struct Run {
        std::vector<std::string> options;  // zindle-render's
        std::vector<std::string> reference;  // START MODE VALUE
    };
    const Run runs[] = {
        {{}, {"0", "loops", "1"}},
        {{"--loops", "2"}, {"0", "loops", "2"}},
        {{"--seconds", "7.5"}, {"0", "seconds", "7.5"}},
        {{"--start", "1"}, {"1", "loops", "1"}},
    };
    for (const Written& file : writeEach(dir)) {
        for (const Run& run : runs) {
            std::vector<std::string> render = {kRender, "--raw", "-o", dir.file("ours.raw")};
            render.insert(render.end(), run.options.begin(), run.options.end());
            render.push_back(file.path);
            const harness::Result ours = harness::run(render);
            ASSERT_EQ(ours.status, 0) << file.what << ": " << ours.err;
            std::vector<std::string> reference = {kReference, file.path, dir.file("theirs.raw")};
            reference.insert(reference.end(), run.reference.begin(), run.reference.end());
            ASSERT_EQ(harness::run(reference).status, 0) << file.what;
            const std::vector<std::uint8_t> a = harness::readBytes(dir.file("ours.raw"));
            const std::vector<std::uint8_t> b = harness::readBytes(dir.file("theirs.raw"));
            EXPECT_GT(a.size(), 48000u) << file.what;
            if (run.options.empty() && file.what != "packed.mod.gz") {
                EXPECT_EQ(a.size(), 4 * kPassFrames) << file.what;
            }
            EXPECT_TRUE(a == b) << file.what << " " << run.reference[1] << " " << run.reference[2] << ": "
                                << a.size() << " bytes against " << b.size();
        }
    }
}

// A module of three songs (songs.xm: positions 0-1, 2-3 and 4-5, each pass
// 2 x 16 rows of 6 ticks): each song's start and position times are told,
// --song K renders that song alone as libxmp plays it from its start, and a
// song past the module's last, or one named with a start, is refused.
TEST(Libxmp, EachSongOfAModuleIsToldAndRendered) {
    TempDir dir;
    const std::string module = dir.file("songs.xm");
    for (const ModuleFile& file : trackerModules())
        if (file.name == "songs.xm") harness::writeBytes(module, file.bytes);
    const harness::Result json = harness::run({kRender, "--json", module});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"songs\":3,"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find(
                  "\"song_list\":[{\"number\":1,\"start\":0,\"duration_ms\":3840,\"duration_frames\":184320,"
                  "\"position_ms\":[0,1920,null,null,null,null]},{\"number\":2,\"start\":2,\"duration_ms\":3840,"
                  "\"duration_frames\":184320,\"position_ms\":[null,null,0,1920,null,null]},{\"number\":3,\"start\":4,"
                  "\"duration_ms\":3840,\"duration_frames\":184320,\"position_ms\":[null,null,null,null,0,1920]}]}\n"),
              std::string::npos) << json.out;
    EXPECT_EQ(harness::run({kRender, "--probe-line", module}).out,
              "XM\t2\t3840\t0/184320/0,92160,-,-,-,-\t2/184320/-,-,0,92160,-,-\t4/184320/-,-,-,-,0,92160\n");

    const harness::Result second = harness::run({kRender, "--raw", "-o", dir.file("ours.raw"), "--song", "2", module});
    ASSERT_EQ(second.status, 0) << second.err;
    ASSERT_EQ(harness::run({kReference, module, dir.file("theirs.raw"), "2", "loops", "1"}).status, 0);
    const std::vector<std::uint8_t> ours = harness::readBytes(dir.file("ours.raw"));
    EXPECT_EQ(ours.size(), 4u * 184320);
    EXPECT_TRUE(ours == harness::readBytes(dir.file("theirs.raw")));

    const harness::Result past = harness::run({kRender, "--raw", "-o", dir.file("past.raw"), "--song", "4", module});
    EXPECT_EQ(past.status, 1);
    EXPECT_EQ(past.err, "zindle-render: " + module + ": --song 4 but the module has 3 songs\n");
    for (const std::vector<std::string>& options : {std::vector<std::string>{"--song", "0"}, {"--song", "two"},
                                                    {"--song", "2", "--start", "2"}}) {
        std::vector<std::string> argv = {kRender, "--raw", "-o", dir.file("bad.raw")};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(module);
        EXPECT_EQ(harness::run(argv).status, 2) << options[1];
    }
}

// Each engine's table, filled entry by entry by name, leaves none empty.
TEST(Libxmp, BothEngineTablesAreWhole) {
    for (const EngineTable* t : {&kModEngine, &kXmpEngine})
        EXPECT_TRUE(t->name && t->load && t->release && t->facts && t->describe_damage && t->probe && t->start &&
                    t->jump && t->order && t->mix && t->skip && t->describe && t->describe_voices && t->passes &&
                    t->playing && t->set_stop_at_pass_end && t->tick_frames && t->trace && t->reset)
            << t->name;
}

// Which engine plays what: our own takes every MOD it reads, libxmp the rest.
TEST(Libxmp, EachFilePlaysOnTheEngineThatReadsIt) {
    TempDir dir;
    harness::writeBytes(dir.file("plain.mod"), harness::shortSong("plain", 125, 6).bytes());
    std::vector<Written> files = writeEach(dir, 6);
    files.push_back({"plain.mod", dir.file("plain.mod")});
    // Packed, a small module is shorter than a MOD's header: still libxmp's.
    trackerwriter::Song small;
    small.channels = 6;
    small.orders = {0};
    small.samples = {trackerwriter::sawSample(16)};
    small.patterns = {trackerwriter::Pattern{4, {}}};
    small.row(0, 0, "C-4 01 .. ...");
    const std::vector<std::uint8_t> packed_small = trackerwriter::gzip(small.xm());
    ASSERT_LT(packed_small.size(), static_cast<std::size_t>(kHeaderBytes));
    harness::writeBytes(dir.file("small.xm.gz"), packed_small);
    files.push_back({"small.xm.gz", dir.file("small.xm.gz")});
    for (const Written& file : files) {
        LoadRefusal why;
        LoadedSong* song = songLoad(file.path.c_str(), &why);
        ASSERT_NE(song, nullptr) << file.what;
        EXPECT_EQ(why.reason, LoadRefusalReason::kNone);
        const bool ours = file.what == "plain.mod";
        EXPECT_STREQ(songFacts(song).engine, ours ? "zindle" : "libxmp") << file.what;
        EXPECT_EQ(songFacts(song).channels, ours || file.what == "packed.mod.gz" ? 4 : 6) << file.what;
        songFree(song);
    }
}

namespace {
int locks_taken = 0;
void countLock() { ++locks_taken; }
}  // namespace

// The player reads the next module while one plays: loading takes no audio
// lock on either engine, and loading and freeing other songs leave what the
// one playing sounds like as it was, bit for bit.
TEST(Libxmp, AnotherSongLoadsAndGoesWhileOnePlays) {
    TempDir dir;
    harness::writeBytes(dir.file("plain.mod"), harness::shortSong("plain", 125, 6, 0, 2).bytes());
    std::vector<Written> files = writeEach(dir);
    files.push_back({"plain.mod", dir.file("plain.mod")});
    constexpr int kBuffers = 40;
    const auto play = [&](const Written& playing, bool others) {
        harness::resetGlobals();
        Platform counting = platform();
        counting.lock_audio = countLock;
        platformUse(counting);
        LoadedSong* song = songLoad(playing.path.c_str());
        EXPECT_NE(song, nullptr) << playing.what;
        if (!song) return std::vector<std::uint8_t>{};
        songPlay(song, 0);
        std::vector<std::uint8_t> out(4 * kChunkFrames * kBuffers);
        for (int n = 0; n < kBuffers; ++n) {
            if (others && n == kBuffers / 2)
                for (const Written& other : files) {
                    locks_taken = 0;
                    LoadedSong* loaded = songLoad(other.path.c_str());
                    EXPECT_EQ(locks_taken, 0) << other.what << " loading while " << playing.what << " plays";
                    EXPECT_NE(loaded, nullptr) << other.what;
                    songFree(loaded);
                }
            mixaudio(nullptr, out.data() + 4 * kChunkFrames * n, 4 * kChunkFrames);
        }
        songFree(song);
        harness::resetGlobals();
        return out;
    };
    for (const Written& playing : {files.back(), files.front()})
        EXPECT_TRUE(play(playing, true) == play(playing, false)) << playing.what;
}

// Backspace and Tab step through the order positions of libxmp's module as
// of ours: the next, the previous, from the first to the last and past the
// last to the first, the pass count starting again.
TEST(Libxmp, JumpsStepThroughTheOrderPositions) {
    TempDir dir;
    harness::writeBytes(dir.file("song.s3m"), harness::trackerSong(TrackerFormat::kS3m).s3m());
    harness::resetGlobals();
    LoadedSong* song = songLoad(dir.file("song.s3m").c_str());
    ASSERT_NE(song, nullptr);
    songPlay(song, 0);
    std::uint8_t buffer[4 * kChunkFrames];
    const auto orderAfterTick = [&]() {
        songMix(buffer, kChunkFrames);
        return songOrder();
    };
    EXPECT_EQ(orderAfterTick(), 0);
    const struct {
        int to, order;
    } steps[] = {{1, 1}, {2, 2}, {3, 0}, {-1, 2}, {1, 1}};
    for (const auto& step : steps) {
        songJump(step.to);
        // The frames left of the tick before the jump, then the jump's tick.
        songMix(buffer, kChunkFrames);
        EXPECT_EQ(orderAfterTick(), step.order) << step.to;
        EXPECT_EQ(songPasses(), 0);
    }
    songFree(song);
    harness::resetGlobals();
}

// What the views are told at the first tick of an XM: the position, tempo,
// pattern and its cells as view 1 writes them.
TEST(Libxmp, TheDescriptionOfWhatPlays) {
    TempDir dir;
    trackerwriter::Song song = harness::trackerSong(TrackerFormat::kXm, 4, 120);
    song.row(1, 3, "off .. .. ... | C#5 119 .. ...");
    harness::writeBytes(dir.file("song.xm"), song.xm());
    harness::resetGlobals();
    LoadedSong* loaded = songLoad(dir.file("song.xm").c_str());
    ASSERT_NE(loaded, nullptr);
    songPlay(loaded, 1);
    std::uint8_t buffer[4 * 16];
    songMix(buffer, 16);  // the first tick
    NowPlaying now;
    songDescribe(&now);
    EXPECT_TRUE(now.shown);
    EXPECT_TRUE(now.playing);
    EXPECT_STREQ(now.title, "tracker test");
    EXPECT_EQ(now.order, 1);
    EXPECT_EQ(now.song_length, 3);
    EXPECT_EQ(now.pattern, 1);
    EXPECT_EQ(now.row, 0);
    EXPECT_EQ(now.rows, 64);
    EXPECT_EQ(now.speed, 3);
    EXPECT_EQ(now.bpm, 125);
    EXPECT_EQ(now.channels, 4);
    EXPECT_EQ(now.instruments, 120);
    EXPECT_EQ(now.instrument_chars, 3);
    ASSERT_NE(now.cell, nullptr);
    CellText cell;
    now.cell(now.song, now.pattern, 0, 0, &cell);
    EXPECT_STREQ(cell.note, "E-4");
    EXPECT_STREQ(cell.instrument, "002");
    EXPECT_STREQ(cell.effect, "F03");
    now.cell(now.song, now.pattern, 3, 0, &cell);
    EXPECT_STREQ(cell.note, "off");
    EXPECT_STREQ(cell.instrument, "...");
    EXPECT_STREQ(cell.effect, "...");
    now.cell(now.song, now.pattern, 3, 1, &cell);
    EXPECT_STREQ(cell.note, "C#5");
    EXPECT_STREQ(cell.instrument, "119");
    now.cell(now.song, now.pattern, 2, 1, &cell);
    EXPECT_STREQ(cell.effect, "A02");
    songFree(loaded);
    harness::resetGlobals();
}

// View 2's meters of libxmp's modules: a note raises its instrument's meter,
// and a note written without an instrument number that of the instrument
// its channel plays, in every format.
TEST(Libxmp, NotesRaiseTheMeterOfTheirInstrument) {
    struct Seen {
        int row;
        std::array<bool, 3> raised;  // instruments 1..3
    };
    static std::vector<Seen> seen;
    for (TrackerFormat format : harness::kTrackerFormats) {
        trackerwriter::Song song;
        song.channels = 2;
        song.orders = {0};
        for (int volume : {64, 48, 32}) song.samples.push_back(trackerwriter::sawSample(64, false, volume));
        const bool letters = format != TrackerFormat::kXm;
        song.row(0, 0, "C-4 02 .. ... | C-4 03 .. ...", letters);
        song.row(0, 8, "E-4 .. .. ... | --- .. .. ...", letters);
        TempDir dir;
        const std::string path = dir.file("song" + harness::trackerExtension(format));
        harness::writeBytes(path, harness::trackerBytes(format, song));
        harness::resetGlobals();
        display_mode = kViewMeters;
        seen.clear();
        // The meters at the first tick of rows 0 and 8, those of row 0 let
        // fall to nothing on row 7.
        harness::on_tick = [] {
            NowPlaying now;
            songDescribe(&now);
            if (now.row == 7)
                for (int i = 1; i <= 3; ++i) viewsSetMeter(i, 0);
            if ((now.row == 0 || now.row == 8) && (seen.empty() || seen.back().row != now.row))
                seen.push_back({now.row, {viewsMeter(1) > 0, viewsMeter(2) > 0, viewsMeter(3) > 0}});
        };
        LoadedSong* loaded = songLoad(path.c_str());
        ASSERT_NE(loaded, nullptr);
        songPlay(loaded, 0);
        std::uint8_t buffer[4 * kChunkFrames];
        for (int n = 0; n < 60 && seen.size() < 2; ++n) songMix(buffer, kChunkFrames);
        songFree(loaded);
        harness::resetGlobals();
        const std::string what = harness::trackerExtension(format);
        ASSERT_EQ(seen.size(), 2u) << what;
        EXPECT_EQ(seen[0].raised, (std::array<bool, 3>{false, true, true})) << what << ": row 0";
        EXPECT_EQ(seen[1].raised, (std::array<bool, 3>{false, true, false})) << what << ": row 8, no instrument number";
    }
}

// View 4 of libxmp's voices: the usual loop, ending at the sample's end, is
// followed across the whole trace, 8-bit and 16-bit alike: the trace repeats
// the loop's 32 points and never goes flat.
TEST(Libxmp, ScopesFollowALoopToTheSamplesEnd) {
    constexpr int kLoop = 32;
    for (TrackerFormat format : harness::kTrackerFormats) {
        trackerwriter::Song song;
        song.orders = {0};
        song.samples = {trackerwriter::sawSample(kLoop, false), trackerwriter::sawSample(kLoop, true)};
        song.row(0, 0, "--- .. .. ... | C-4 01 .. ... | C-4 02 .. ...", format != TrackerFormat::kXm);
        TempDir dir;
        const std::string path = dir.file("song" + harness::trackerExtension(format));
        harness::writeBytes(path, harness::trackerBytes(format, song));
        harness::resetGlobals();
        LoadedSong* loaded = songLoad(path.c_str());
        ASSERT_NE(loaded, nullptr);
        songPlay(loaded, 0);
        std::uint8_t buffer[4 * kChunkFrames];
        for (int n = 0; n < 10; ++n) songMix(buffer, kChunkFrames);
        NowPlaying now;
        songDescribe(&now);
        ScopeVoice voices[kChannelsShown];
        songDescribeVoices(voices, 0, now.channels);
        const screentext::SurfacePtr surface = screentext::makeSurface();
        drawQuadrascopes(surface.get(), now, voices);
        songFree(loaded);
        harness::resetGlobals();
        const screentext::Image img = screentext::imageOf(surface.get());
        for (int channel : {1, 2}) {
            const int baseline = 37 + 55 * channel;
            std::vector<int> trace;  // the row of each column's pixel
            for (int x = 32; x < 32 + 256; ++x) {
                int y = baseline - 27;
                while (y < baseline + 27 && img.at(x, y) == 0) ++y;
                trace.push_back(y);
            }
            const std::string what = harness::trackerExtension(format) + " channel " + std::to_string(channel);
            for (std::size_t j = 0; j + kLoop < trace.size(); ++j)
                ASSERT_EQ(trace[j + kLoop], trace[j]) << what << ", column " << j + kLoop;
            EXPECT_GT(std::set<int>(trace.end() - kLoop, trace.end()).size(), 8u) << what;
        }
    }
}

// View 1's notation of libxmp's effects: FastTracker 2's letters, the
// letters of the same effects under other codes, and the rest by code.
TEST(Libxmp, EffectNotation) {
    const struct {
        int type, param;
        const char* text;
    } cases[] = {
        {0x00, 0x00, "..."}, {0x00, 0x37, "037"}, {0x0A, 0x0F, "A0F"}, {0x0E, 0x61, "E61"},
        {0x0F, 0x06, "F06"}, {0x10, 0x40, "G40"}, {0x1B, 0x21, "R21"}, {0x21, 0x12, "X12"},
        {0xA3, 0x04, "F04"}, {0x87, 0x90, "F90"}, {0x8E, 0x10, "D10"}, {0x89, 0x0F, "P0F"},
        {0xB4, 0x47, "047"}, {0x80, 0x20, "8020"}, {0xAC, 0x12, "ac12"}, {0xFF, 0xFF, "ffFF"},
    };
    for (const auto& c : cases) {
        char text[5];
        xmpEffectText(c.type, c.param, text);
        EXPECT_STREQ(text, c.text) << c.type << " " << c.param;
    }
}

TEST(Libxmp, NoteNotation) {
    const std::pair<int, const char*> cases[] = {
        {0, "..."}, {61, "C-4"}, {62, "C#4"}, {72, "B-4"}, {13, "C-0"}, {1, "C--"}, {121, "C-9"},
        {XMP_KEY_OFF, "off"}, {XMP_KEY_CUT, "cut"}, {XMP_KEY_FADE, "fad"}, {122, "???"}, {255, "???"},
    };
    for (const auto& [note, name] : cases) {
        char text[4];
        xmpNoteText(note, text);
        EXPECT_STREQ(text, name) << note;
    }
}

// --json names what libxmp read: the format, channels, instruments, samples,
// patterns, order positions, songs, and the one-pass length; --info says it
// for a person, the engine and a packed file included; --probe-line the
// format in short, the channels and the length.
TEST(Libxmp, InfoNamesTheFormatAndWhatTheModuleHolds) {
    TempDir dir;
    for (const Written& file : writeEach(dir, 6)) {
        const bool packed = file.what == "packed.mod.gz";
        const harness::Result json = harness::run({kRender, "--json", file.path});
        ASSERT_EQ(json.status, 0) << json.err;
        // The format in short, as libxmp names it, and the tracker the file says wrote it.
        const std::string name = file.what == "song.xm" ? "XM" : file.what == "song.s3m" ? "S3M" : "IT";
        const std::string type = file.what == "song.xm"    ? "Fast Tracker II"
                                 : file.what == "song.s3m" ? "Scream Tracker 3"
                                                           : "Impulse Tracker";
        const std::string tracker = file.what == "song.xm"    ? "Zindle tests XM 1.04"
                                    : file.what == "song.s3m" ? "Scream Tracker 3.20 S3M"
                                                              : "Impulse Tracker 2.14 IT 2.14";
        // libxmp adds an empty pattern to an XM's.
        const std::string patterns = file.what == "song.xm" ? "3" : "2";
        const std::string format =
            packed ? "{\"name\":\"MOD\",\"type\":\"Amiga Protracker/Compatible\",\"tracker\":"
                   : "{\"name\":\"" + name + "\",\"type\":\"" + type + "\",\"tracker\":\"" + tracker +
                         "\",\"engine\":\"libxmp\",\"packed\":false,\"channels\":6,\"instruments\":3,\"samples\":3},"
                         "\"length\":3,\"patterns\":" + patterns + ",\"songs\":1,\"restart\":0,\"duration_ms\":2880,"
                         "\"duration_frames\":138240,";
        if (packed) {
            EXPECT_NE(json.out.find("\"engine\":\"libxmp\",\"packed\":true,\"channels\":4,\"instruments\":31,\"samples\":31},"),
                      std::string::npos) << json.out;
        }
        EXPECT_NE(json.out.find(format), std::string::npos) << json.out;
        if (!packed) {
            EXPECT_NE(json.out.find("{\"number\":2,\"name\":\"instrument 2\",\"samples\":1,\"volume\":49}"),
                      std::string::npos) << json.out;
            EXPECT_NE(json.out.find("\"length\":576,\"loop_start\":0,\"loop_length\":576,\"bits\":16}"),
                      std::string::npos) << json.out;
        }
        const harness::Result text = harness::run({kRender, "--info", file.path});
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_NE(text.out.find(packed ? "Engine:    libxmp 4.5.0 (the file is packed: libxmp unpacked it)\n"
                                       : "Engine:    libxmp 4.5.0\n"),
                  std::string::npos) << text.out;
        if (packed) continue;
        EXPECT_EQ(harness::run({kRender, "--probe-line", file.path}).out, name + "\t6\t2880\t0/138240/0,46080,92160\n");
        EXPECT_NE(text.out.find("Format:    " + name + ", " + type + " (" + tracker + "), 6 channels, 3 instruments, 3 samples\n"
                                "Engine:    libxmp 4.5.0\n"
                                "Song:      3 positions, " + patterns + " patterns, 1 song, restart at position 0\n"
                                "One pass:  0:02.880 (138240 frames)\n"),
                  std::string::npos)
            << text.out;
    }
}

// --trace prints a line a tick: FRAME ORDER ROW TICK SPEED BPM, then per
// channel NOTE:INSTRUMENT:VOLUME:PERIOD as libxmp tells them.
TEST(Libxmp, TraceTellsEachTickAsLibxmpDoes) {
    TempDir dir;
    harness::writeBytes(dir.file("song.it"), harness::trackerSong(TrackerFormat::kIt, 2).it());
    const harness::Result r = harness::run({kRender, "--trace", "--raw", "-o", dir.file("o.raw"), dir.file("song.it")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    std::stringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 48u * 3) << "a line a tick of one pass";
    // The first tick: Impulse Tracker's C-4 (libxmp's note 48 counting from
    // 0) on instrument 0 (counting from 0) at its volume, 48; channel 1 has
    // no note yet (255).
    EXPECT_EQ(lines[0].substr(0, 14), "0 0 0 0 3 125 ");
    EXPECT_NE(lines[0].find(" 48:0:48:"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" 255:255:0:0"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].substr(0, 14), "960 0 0 1 3 12");
    EXPECT_EQ(lines[3].substr(0, 15), "2880 0 1 0 3 12");
    EXPECT_EQ(lines[48].substr(0, 17), "46080 1 0 0 3 125");
}

// A module of two songs (a jump back from the first pattern leaves the
// other orders to a second one): --info counts them, and one pass plays
// the first, 16 rows.
TEST(Libxmp, OnePassOfAModuleOfSeveralSongsPlaysTheFirst) {
    TempDir dir;
    trackerwriter::Song song = harness::trackerSong(TrackerFormat::kXm);
    song.at(0, 15, 1).effect = 0xB;  // B00: back to order 0
    harness::writeBytes(dir.file("two.xm"), song.xm());
    const harness::Result json = harness::run({kRender, "--json", dir.file("two.xm")});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"songs\":2,"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"duration_frames\":46080,"), std::string::npos) << json.out;
    const harness::Result r = harness::run({kRender, "--raw", "-o", dir.file("o.raw"), dir.file("two.xm")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(harness::readBytes(dir.file("o.raw")).size(), 4u * 16 * 3 * 960);
}
