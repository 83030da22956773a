// The three views drawn on off-screen 320x240 surfaces from a real loaded
// module: the pattern view's texts, colours and highlight, the meters' bars,
// the oscilloscopes' traces, and the colour cycling of both.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "audio/volume.h"
#include "display/views.h"
#include "tests/engine_harness.h"
#include "audio/audio_mixer.h"
#include "display/pattern_viewer.h"
#include "display/sample_viewer.h"
#include "display/textout.h"
#include "player/protracker_loader.h"
#include "player/protracker_engine.h"
#include "player/protracker_sequencer.h"
#include "tests/screen_text.h"
#include "tools/modwriter.h"

namespace {

using screentext::Image;
using screentext::imageOf;
using screentext::makeSurface;
using screentext::readText;

constexpr std::uint16_t kBackdrop = 0x2104;  // dark grey, so that copying the background shows
constexpr std::uint16_t kWhite = 0xFFFF;
constexpr std::uint16_t kRowColour = 0xD6BA;
constexpr std::uint16_t kSampleColour = 0x171F;
constexpr std::uint16_t kEffectColour = 0xFF0F;
constexpr std::uint16_t kHighlight = 0x43D3;
constexpr std::uint16_t kNoteShade = 0xBDF7;
constexpr int kPlayingY = 131;

// What the views are told of module.
NowPlaying described(const Module* module) {
    NowPlaying now;
    modDescribe(module, &now);
    return now;
}

// View 4 of module, its voices copied as the player copies them.
void drawScopes(SDL_Surface* screen, const Module* module) {
    const NowPlaying now = described(module);
    ScopeVoice voices[kChannelsShown];
    const int first = firstShownChannel(now.channels);
    modDescribeVoices(voices, first, std::min(kChannelsShown, now.channels - first));
    drawQuadrascopes(screen, now, voices);
}

class Views : public testing::Test {
protected:
    void SetUp() override {
        harness::resetGlobals();
        modwriter::Song song;
        song.title = "view test";
        song.song_length = 3;
        song.orders[1] = 1;
        song.orders[2] = 2;
        for (int i = 0; i < 31; ++i) song.samples[static_cast<std::size_t>(i)].data.assign(32, 0);
        song.at(2, 0, 0) = modwriter::Cell{};  // patterns 0 to 2, empty
        path_ = dir_.file("view.mod");
        customise(song);
        ASSERT_TRUE(song.write(path_));
        module_ = zindleLoad(path_.c_str());
        ASSERT_NE(module_, nullptr);
        setPosition(0, 0);
        module_->bpm = 125;
        module_->speed = 6;
        background_ = makeSurface(kBackdrop);
        textOut(background_.get(), 4, 1, "Zindle - The simple ProTracker player", kWhite, 0, 0);
        screen_ = makeSurface(0x1234);
    }
    void TearDown() override {
        zindleFree(module_);
        harness::resetGlobals();
    }
    virtual void customise(modwriter::Song&) {}

    void setPosition(int order, int row) {
        module_->order = order;
        module_->pattern = module_->orders[order];
        module_->row = row;
    }
    Image drawPatternView() {
        mod_playing = 1;
        drawPattern(screen_.get(), background_.get(), described(module_));
        return imageOf(screen_.get());
    }

    harness::TempDir dir_;
    std::string path_;
    Module* module_ = nullptr;
    screentext::SurfacePtr background_{nullptr, SDL_FreeSurface};
    screentext::SurfacePtr screen_{nullptr, SDL_FreeSurface};
};

// y of pattern line i (0..24); line 12 is the playing row.
int lineY(int line) { return 35 + 8 * line; }

bool rowsAreBackdrop(const Image& img, int y_from, int y_to) {
    for (int y = y_from; y <= y_to; ++y)
        for (int x = 0; x < 320; ++x)
            if (img.at(x, y) != kBackdrop) return false;
    return true;
}

// --- Pattern view ----------------------------------------------------------

TEST_F(Views, PatternHeaderShowsPositionTempoAndVolume) {
    struct Case {
        int order, bpm, speed, volume;
        const char* header;
    };
    const Case cases[] = {
        {0, 125, 6, 0, "#000/003 - 125bpm (06 ticks) - Vol: 000"},
        {2, 32, 31, 100, "#002/003 - 032bpm (31 ticks) - Vol: 100"},
        {1, 255, 1, 5, "#001/003 - 255bpm (01 ticks) - Vol: 005"},
    };
    for (const Case& tc : cases) {
        setPosition(tc.order, 10);
        module_->bpm = tc.bpm;
        module_->speed = tc.speed;
        base_volume = tc.volume;
        const Image img = drawPatternView();
        EXPECT_EQ(readText(img, 4, 19, 39, kWhite), tc.header);
        // The title comes with the background, whose colour fills the rest.
        EXPECT_EQ(readText(img, 4, 1, 37, kWhite), "Zindle - The simple ProTracker player");
        EXPECT_EQ(img.at(319, 239), kBackdrop);
        EXPECT_EQ(img.at(0, 30), kBackdrop);
    }
}

TEST_F(Views, PatternLinesStopAtThePatternsEdges) {
    // Row 0: nothing above the playing line; rows 00..12 from it down.
    setPosition(0, 0);
    Image img = drawPatternView();
    EXPECT_TRUE(rowsAreBackdrop(img, lineY(0), lineY(12) - 1));
    EXPECT_EQ(readText(img, 0, lineY(12), 2, kRowColour), "00");
    EXPECT_EQ(readText(img, 0, lineY(13), 2, kRowColour), "01");
    EXPECT_EQ(readText(img, 0, lineY(24), 2, kRowColour), "12");

    // Row 63: rows 51..63 down to the playing line, nothing below it.
    setPosition(0, 63);
    img = drawPatternView();
    EXPECT_EQ(readText(img, 0, lineY(0), 2, kRowColour), "51");
    EXPECT_EQ(readText(img, 0, lineY(11), 2, kRowColour), "62");
    EXPECT_EQ(readText(img, 0, lineY(12), 2, kRowColour), "63");
    EXPECT_TRUE(rowsAreBackdrop(img, lineY(13), 239));
}

class PatternCells : public Views {
protected:
    void customise(modwriter::Song& song) override {
        // Row 20 of pattern 1, and the same cells on row 21.
        for (int row : {20, 21}) {
            song.at(1, row, 0) = modwriter::Cell{0, 0, 0x0, 0x00};
            song.at(1, row, 1) = modwriter::Cell{428, 9, 0x0, 0x37};
            song.at(1, row, 2) = modwriter::Cell{850, 31, 0xC, 0x00};
            song.at(1, row, 3) = modwriter::Cell{856, 1, 0xF, 0x7D};
        }
        song.at(1, 22, 0) = modwriter::Cell{113, 0, 0x1, 0x00};
        song.at(1, 22, 1) = modwriter::Cell{453, 0, 0xE, 0xC3};
    }
};

TEST_F(PatternCells, CellsShowNoteSampleAndEffect) {
    setPosition(1, 20);
    const Image img = drawPatternView();
    struct Expected {
        const char* note;
        const char* sample;
        const char* effect;
    };
    const Expected row[4] = {{"...", "..", "..."}, {"C-2", "09", "037"}, {"???", "31", "C00"}, {"C-1", "01", "F7D"}};
    // The playing line (opaque) and the line below it (transparent) read alike.
    for (int line : {12, 13}) {
        const int y = lineY(line);
        SCOPED_TRACE("line " + std::to_string(line));
        EXPECT_EQ(readText(img, 0, y, 2, kRowColour), line == 12 ? "20" : "21");
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(readText(img, 21 + 76 * j, y, 3, kWhite), row[j].note) << "channel " << j;
            EXPECT_EQ(readText(img, 48 + 76 * j, y, 2, kSampleColour), row[j].sample) << "channel " << j;
            EXPECT_EQ(readText(img, 67 + 76 * j, y, 3, kEffectColour), row[j].effect) << "channel " << j;
        }
    }
    EXPECT_EQ(readText(img, 21, lineY(14), 3, kWhite), "B-3");
    EXPECT_EQ(readText(img, 67, lineY(14), 3, kEffectColour), "100");
    EXPECT_EQ(readText(img, 97, lineY(14), 3, kWhite), "B-1");
    EXPECT_EQ(readText(img, 143, lineY(14), 3, kEffectColour), "EC3");
    EXPECT_EQ(readText(img, 124, lineY(14), 2, kSampleColour), "..");
}

TEST_F(Views, HighlightCoversOnlyTheDrawnCells) {
    setPosition(0, 30);
    const Image img = drawPatternView();
    // Columns of the cells drawn on a line: row number, then per channel
    // note (24), sample (16) and effect (24) pixels wide.
    auto inCell = [](int x) {
        if (x < 16) return true;
        for (int j = 0; j < 4; ++j) {
            const int e = 67 + 76 * j;
            if ((x >= e - 46 && x < e - 22) || (x >= e - 19 && x < e - 3) || (x >= e && x < e + 24)) return true;
        }
        return false;
    };
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const std::uint16_t p = img.at(x, y);
            const bool on_line = y >= kPlayingY && y < kPlayingY + 8;
            if (on_line && inCell(x)) {
                ASSERT_NE(p, kBackdrop) << "uncovered cell pixel at " << x << "," << y;
            } else {
                ASSERT_NE(p, kHighlight) << "highlight outside the cells at " << x << "," << y;
            }
            if (on_line && !inCell(x)) {
                ASSERT_EQ(p, kBackdrop) << "gap painted at " << x << "," << y;
            }
        }
    }
    // The empty effect "..." is three cells of highlight around three 2x2 dots.
    int paper = 0;
    for (int y = kPlayingY; y < kPlayingY + 8; ++y)
        for (int x = 67; x < 91; ++x) paper += img.at(x, y) == kHighlight;
    EXPECT_EQ(paper, 24 * 8 - 3 * 4);
}

TEST_F(Views, PatternLeavesTheScreenWhenNotPlaying) {
    const Image before = imageOf(screen_.get());
    mod_playing = 0;
    drawPattern(screen_.get(), background_.get(), described(module_));
    EXPECT_EQ(imageOf(screen_.get()), before);

    mod_playing = 1;
    module_->loaded = 0;
    drawPattern(screen_.get(), background_.get(), described(module_));
    EXPECT_EQ(imageOf(screen_.get()), before);
    module_->loaded = 1;

    drawPattern(nullptr, background_.get(), described(module_));
    drawPattern(screen_.get(), nullptr, described(module_));
    drawPattern(screen_.get(), background_.get(), NowPlaying{});
    EXPECT_EQ(imageOf(screen_.get()), before);
}

TEST(PatternTables, NotesAndPeriodsLineUp) {
    const std::pair<int, const char*> notes[] = {{0, "..."}, {856, "C-1"}, {808, "C#1"}, {453, "B-1"},
                                                 {428, "C-2"}, {254, "A-2"}, {214, "C-3"}, {113, "B-3"}};
    for (const auto& [period, name] : notes) {
        int k = 0;
        while (k < 37 && period_tab[k] != period) ++k;
        ASSERT_LT(k, 37) << period;
        EXPECT_STREQ(name_tab[k], name) << period;
    }
    EXPECT_STREQ(name_tab[37], "???");
    EXPECT_STREQ(hextable, "0123456789ABCDEF");
}

// --- Sample meters ---------------------------------------------------------

bool columnBlackBetween(const Image& img, int column, int y_from, int y_to) {
    for (int y = y_from; y <= y_to; ++y)
        for (int x = 8 * column; x < 8 * column + 8; ++x)
            if (img.at(x, y) != 0) return false;
    return true;
}

TEST_F(Views, MetersStandOnTheBottomLine) {
    viewsSetMeter(1, 27);
    viewsSetMeter(5, 1);
    viewsSetMeter(31, 2);
    setPosition(1, 0);
    drawSampleViewer(screen_.get(), described(module_));
    const Image img = imageOf(screen_.get());

    EXPECT_EQ(readText(img, 4, 0, 22, kWhite), "Now Playing: view test");
    EXPECT_EQ(readText(img, 4, 10, 28, kWhite), "#001/003 - 125bpm (06 ticks)");

    // 27 characters from row 24 down, in the colour of wheel entry 0.
    EXPECT_EQ(readText(img, 0, 24, 1, 0x8000), "#");
    for (int n = 0; n < 27; ++n) EXPECT_EQ(readText(img, 0, 24 + 8 * n, 1, 0x8000), "#") << n;
    EXPECT_TRUE(columnBlackBetween(img, 0, 18, 23));
    // One character at rows 232-239; column 4 is 40 entries on: 0x8140.
    EXPECT_EQ(readText(img, 32, 232, 1, 0x8140), "#");
    EXPECT_TRUE(columnBlackBetween(img, 4, 18, 231));
    // Two characters in the last column, entry 300: 0x0405.
    EXPECT_EQ(readText(img, 240, 224, 1, 0x0405), "#");
    EXPECT_EQ(readText(img, 240, 232, 1, 0x0405), "#");
    EXPECT_TRUE(columnBlackBetween(img, 30, 18, 223));
    // Meters of 0 draw nothing; right of the 31 columns stays black.
    for (int column : {1, 2, 3, 5, 15, 29, 31, 32, 33, 34, 35, 36, 37, 38, 39})
        EXPECT_TRUE(columnBlackBetween(img, column, 18, 239)) << "column " << column;
}

TEST_F(Views, MeterColoursMoveEveryThirtyTwoColumns) {
    drawSampleViewer(screen_.get(), described(module_));  // all meters 0: only the counters move
    EXPECT_EQ(c, 31);
    EXPECT_EQ(colindex, 0);

    for (int i = 1; i <= kNumSamples; ++i) viewsSetMeter(i, 1);
    drawSampleViewer(screen_.get(), described(module_));
    EXPECT_EQ(c, 30);
    EXPECT_EQ(colindex, 2);
    const Image img = imageOf(screen_.get());
    // The move falls after the first column of this picture.
    EXPECT_EQ(readText(img, 0, 232, 1, 0x8000), "#");   // entry 0
    EXPECT_EQ(readText(img, 8, 232, 1, 0x8060), "#");   // entry 12, not 10 (0x8040)

    colindex = 766;
    c = 31;
    drawSampleViewer(screen_.get(), described(module_));
    EXPECT_EQ(colindex, 0);
    EXPECT_EQ(c, 30);
}

TEST_F(Views, SampleViewerWithoutSurfaceOrModuleDrawsNothing) {
    const Image before = imageOf(screen_.get());
    drawSampleViewer(nullptr, described(module_));
    drawSampleViewer(screen_.get(), NowPlaying{});
    drawScopes(nullptr, module_);
    drawQuadrascopes(screen_.get(), NowPlaying{}, nullptr);
    EXPECT_EQ(imageOf(screen_.get()), before);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(c2, 0);
}

// --- Oscilloscopes ---------------------------------------------------------

constexpr int kBaseline[4] = {37, 92, 147, 202};

// Rows of the trace pixels in each scope column (x 32..287), below the titles.
std::array<std::vector<int>, 256> tracePixels(const Image& img) {
    std::array<std::vector<int>, 256> rows;
    for (int j = 0; j < 256; ++j)
        for (int y = 18; y < 240; ++y)
            if (img.at(32 + j, y) != 0) rows[static_cast<std::size_t>(j)].push_back(y);
    return rows;
}

TEST_F(Views, ScopesDrawSilentVoicesOnTheirBaselines) {
    static std::int8_t data[100] = {0, 127, -128, -1, 1, -2};
    v[0] = Voice{};                                // no data
    v[1].data = data;                              // plays, volume 64
    v[1].length = 100;
    v[1].volume = 64;
    v[2] = v[1];                                   // volume 0
    v[2].volume = 0;
    v[3] = v[1];                                   // ended: at its length
    v[3].position = 100u << kPositionFractionBits;
    setPosition(2, 0);
    drawScopes(screen_.get(), module_);
    const Image img = imageOf(screen_.get());

    EXPECT_EQ(readText(img, 4, 0, 22, kWhite), "Now Playing: view test");
    EXPECT_EQ(readText(img, 4, 10, 28, kWhite), "#002/003 - 125bpm (06 ticks)");

    const int voice1_head[6] = {91, 60, 123, 92, 91, 92};
    const auto rows = tracePixels(img);
    for (int j = 0; j < 256; ++j) {
        const int y1 = j < 6 ? voice1_head[j] : j < 100 ? 91 : 92;
        std::vector<int> expected = {37, y1, 147, 202};
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(rows[static_cast<std::size_t>(j)], expected) << "column " << j;
        for (int i = 0; i < 4; ++i) {
            const int y = i == 1 ? y1 : kBaseline[i];
            ASSERT_EQ(img.at(32 + j, y), coltab[static_cast<std::size_t>((j + i) % 768)]) << j << " " << i;
        }
    }
    // Nothing left or right of the traces.
    for (int y = 18; y < 240; ++y)
        for (int x : {0, 31, 288, 319}) ASSERT_EQ(img.at(x, y), 0) << x << "," << y;
}

TEST_F(Views, ScopeFollowsTheLoopOnceOrEveryTime) {
    static std::int8_t data[200] = {};
    data[130] = -1;
    data[139] = 100;
    data[100] = -100;
    data[140] = 127;
    data[199] = 50;
    v[1].data = data;
    v[1].length = 200;
    v[1].loop_length = 40;
    v[1].loop_end = 140;
    v[1].volume = 64;
    v[1].position = (130u << kPositionFractionBits) | 0x3FFF;  // the fraction doesn't count
    drawScopes(screen_.get(), module_);
    const Image img = imageOf(screen_.get());

    struct Column {
        int j, y;
    };
    // j 0..9 play bytes 130..139, j 10..109 bytes 100..199 (past the loop's
    // end too), from j 110 the sample is over.
    const Column columns[] = {{0, 92}, {1, 91}, {9, 66}, {10, 116}, {11, 91}, {50, 60}, {109, 79}, {110, 92}, {255, 92}};
    for (const Column& col : columns)
        EXPECT_EQ(img.at(32 + col.j, col.y), coltab[static_cast<std::size_t>(col.j + 1)]) << "column " << col.j;
    const auto rows = tracePixels(img);
    for (const Column& col : columns) {
        const auto& r = rows[static_cast<std::size_t>(col.j)];
        EXPECT_EQ(std::count(r.begin(), r.end(), col.y), 1) << "column " << col.j;
        EXPECT_EQ(r.size(), 4u) << "column " << col.j;
    }

    // libxmp's voices follow the loop as often as the trace needs: bytes
    // 130..139, then 100..139 over and over, never flat.
    ScopeVoice voices[kChannelsShown];
    voices[1] = ScopeVoice{data, false, 200, 140, 40, false, 130, 64};
    drawQuadrascopes(screen_.get(), described(module_), voices);
    const Image looped = imageOf(screen_.get());
    for (int j = 10; j < 256; j += 40) EXPECT_EQ(looped.at(32 + j, 116), coltab[static_cast<std::size_t>(j + 1)]) << j;
    EXPECT_EQ(looped.at(32 + 255, 91), coltab[256]) << "byte 105, not the flat line after the sample";
}

// A 16-bit voice is traced by its points' high bytes, rounded down also
// below zero: its trace is that of the 8-bit voice of those bytes.
TEST_F(Views, SixteenBitScopesTraceTheHighBytes) {
    static const std::int16_t wide[] = {-1, -255, -256, -257, -25343, -32768, 32767, 255, 256, 0};
    static std::int8_t high[std::size(wide)];
    for (std::size_t i = 0; i < std::size(wide); ++i) high[i] = static_cast<std::int8_t>(wide[i] >> 8);
    ScopeVoice voices[kChannelsShown];
    voices[1] = ScopeVoice{wide, true, std::size(wide), 0, 0, true, 0, 64};
    voices[2] = ScopeVoice{high, false, std::size(high), 0, 0, true, 0, 64};
    drawQuadrascopes(screen_.get(), described(module_), voices);
    const auto rows = tracePixels(imageOf(screen_.get()));
    for (std::size_t j = 0; j < std::size(wide); ++j) {
        const std::vector<int>& r = rows[j];  // the four traces, top to bottom
        ASSERT_EQ(r.size(), 4u) << "column " << j;
        EXPECT_EQ(r[1] - kBaseline[1], r[2] - kBaseline[2]) << "column " << j << ": " << wide[j];
    }
}

TEST_F(Views, ScopeClampsToTheScreen) {
    static std::int8_t high[1] = {127};
    static std::int8_t low[1] = {-128};
    v[0].data = high;  // 37 - 128 would be above the screen
    v[0].length = 1;
    v[0].volume = 255;
    v[3].data = low;   // 202 + 126 would be below it
    v[3].length = 1;
    v[3].volume = 255;
    drawScopes(screen_.get(), module_);
    EXPECT_EQ(screentext::pixelAt(screen_.get(), 32, 0), coltab[0]);
    EXPECT_EQ(screentext::pixelAt(screen_.get(), 32, 239), coltab[3]);
    EXPECT_EQ(screentext::pixelAt(screen_.get(), 33, 37), coltab[1]);
    EXPECT_EQ(screentext::pixelAt(screen_.get(), 33, 202), coltab[4]);
}

TEST_F(Views, ScopeColoursMoveEveryTwentyFiveTraces) {
    for (int pass = 0; pass < 6; ++pass) drawScopes(screen_.get(), module_);
    EXPECT_EQ(c2, 24);
    EXPECT_EQ(colindex2, 0);
    drawScopes(screen_.get(), module_);
    EXPECT_EQ(c2, 3);
    EXPECT_EQ(colindex2, 2);
    // The seventh pass's first trace still has offset 0, the others 2:
    // at column 5, voice 0 shows entry 5 and voice 1 entry 8 (not 7 or 6).
    EXPECT_EQ(screentext::pixelAt(screen_.get(), 37, 37), 0x8020);
    EXPECT_EQ(screentext::pixelAt(screen_.get(), 37, 92), 0x8040);

    colindex2 = 766;
    c2 = 24;
    drawScopes(screen_.get(), module_);
    EXPECT_EQ(colindex2, 0);
    EXPECT_EQ(c2, 3);
}

// The seams themselves are checked where the wheel is made.
TEST(Coltab, WheelHas128Colours) {
    std::vector<int> distinct(coltab.begin(), coltab.end());
    std::sort(distinct.begin(), distinct.end());
    EXPECT_EQ(std::unique(distinct.begin(), distinct.end()) - distinct.begin(), 128);
}

}  // namespace

// --- Modules of other widths -------------------------------------------------

namespace {

// A 12-channel module: row 20 of pattern 1 holds a cell on some channels.
class WideViews : public Views {
protected:
    void customise(modwriter::Song& song) override {
        song.channels = 12;
        song.tag = "12CH";
        song.at(1, 20, 0) = modwriter::Cell{428, 9, 0xC, 0x10};
        song.at(1, 20, 5) = modwriter::Cell{850, 31, 0, 0};
        song.at(1, 20, 7) = modwriter::Cell{856, 1, 0, 0};
        song.at(1, 20, 8) = modwriter::Cell{113, 2, 0, 0};
        song.at(1, 20, 11) = modwriter::Cell{320, 12, 0, 0};
    }
    // What compact cell j of line `line` reads: note, space, sample. Eight
    // cells stand 38 pixels apart from x = 18, every other note a shade
    // darker; four are spread 76 pixels apart from x = 56.
    static std::string cellText(const Image& img, int j, int line, int shown = 8) {
        const int x = shown == 8 ? 18 + 38 * j : 56 + 76 * j;
        const std::uint16_t note = shown == 8 && j % 2 == 1 ? kNoteShade : kWhite;
        return readNarrowText(img, x, lineY(line), 3, note) + " " +
               readNarrowText(img, x + 21, lineY(line), 2, kSampleColour);
    }
    static std::string channelNumbers(const Image& img) { return screentext::readNarrowNumbers(img, 27, kRowColour); }
};

using screentext::readNarrowText;

}  // namespace

// Five or more channels: a compact cell per channel, eight at a time under
// their numbers; the C key's group step shows the next eight.
TEST_F(WideViews, CompactCellsShowEightChannelsAtATime) {
    setPosition(1, 20);
    const Image first = drawPatternView();
    EXPECT_EQ(channelNumbers(first), "01 02 03 04 05 06 07 08 ");
    const char* const expected_first[8] = {"C-2 09", "... ..", "... ..", "... ..", "... ..", "??? 31", "... ..", "C-1 01"};
    for (int line : {12, 13}) {
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(cellText(first, j, line), line == 12 ? expected_first[j] : "... ..") << j << " line " << line;
        EXPECT_EQ(readText(first, 0, lineY(line), 2, kRowColour), line == 12 ? "20" : "21");
    }
    // The playing line's cells stand on the highlight.
    EXPECT_EQ(first.at(18 + 38 * 7 + 35, kPlayingY), kHighlight);

    first_shown_channel = nextChannelGroup(first_shown_channel, module_->channels);
    EXPECT_EQ(first_shown_channel, 8);
    const Image second = drawPatternView();
    EXPECT_EQ(channelNumbers(second), "09 10 11 12 ");
    const char* const expected_second[4] = {"B-3 02", "... ..", "... ..", "F-2 12"};
    for (int j = 0; j < 4; ++j) EXPECT_EQ(cellText(second, j, 12, 4), expected_second[j]) << j;
    // The gaps after the row numbers and between the spread cells stay clear.
    for (int y = 27; y < 240; ++y)
        for (int x = 16; x < 320; ++x) {
            const bool in_gap = x < 56 || (x - 56) % 76 >= 36;
            if (in_gap) {
                ASSERT_EQ(second.at(x, y), kBackdrop) << x << "," << y;
            }
        }
    // After the last group comes the first again.
    EXPECT_EQ(nextChannelGroup(first_shown_channel, module_->channels), 0);
}

// C steps through the groups of eight and after the last comes back to the
// first, however many groups there are.
TEST(ChannelGroups, CStepsThroughEachGroupThenBackToTheFirst) {
    const struct {
        int channels;
        std::vector<int> firsts;  // the groups C shows in turn, from the first
    } cases[] = {
        {4, {0, 0}}, {9, {0, 8, 0}}, {12, {0, 8, 0}}, {16, {0, 8, 0}}, {24, {0, 8, 16, 0}}, {32, {0, 8, 16, 24, 0}},
    };
    for (const auto& k : cases) {
        std::vector<int> shown = {0};
        for (int first = 0; shown.size() < k.firsts.size();) {
            first = nextChannelGroup(first, k.channels);
            shown.push_back(first);
        }
        EXPECT_EQ(shown, k.firsts) << k.channels << " channels";
    }
}

TEST_F(WideViews, ScopesShowEightChannelsAtATime) {
    for (int group : {0, 8}) {
        first_shown_channel = group;
        drawScopes(screen_.get(), module_);
        const Image img = imageOf(screen_.get());
        EXPECT_EQ(readText(img, 4, 10, 37, kWhite), group == 0 ? "#000/003 - 125bpm (06 ticks) ch 01-08"
                                                               : "#000/003 - 125bpm (06 ticks) ch 09-12");
        // Silent voices: one trace per channel shown, on baselines 27 pixels apart.
        std::vector<int> baselines;
        for (int y = 19; y < 240; ++y)
            if (img.at(32, y) != 0) baselines.push_back(y);
        EXPECT_EQ(baselines, group == 0 ? (std::vector<int>{35, 62, 89, 116, 143, 170, 197, 224})
                                        : (std::vector<int>{35, 62, 89, 116}));
    }
}

// The half-height scopes: sample x volume / 512 pixels from the baseline.
TEST_F(WideViews, ScopesOfManyChannelsHaveHalfTheHeight) {
    static std::int8_t data[4] = {127, -128, 0, -1};
    v[2].data = data;
    v[2].length = 4;
    v[2].volume = 64;
    drawScopes(screen_.get(), module_);
    const Image img = imageOf(screen_.get());
    const int baseline = 35 + 27 * 2;
    const int expected[4] = {baseline - 16, baseline + 15, baseline - 1, baseline};
    for (int j = 0; j < 4; ++j) {
        int found = -1;
        for (int y = baseline - 27; y <= baseline + 20; ++y)
            if (img.at(32 + j, y) != 0 && y != baseline - 27) found = y;
        EXPECT_EQ(found, expected[j]) << j;
    }
}

namespace {

class TwoChannelViews : public Views {
protected:
    void customise(modwriter::Song& song) override {
        song.channels = 2;
        song.tag = "2CHN";
        song.at(1, 20, 1) = modwriter::Cell{428, 9, 0xC, 0x10};
    }
};

}  // namespace

// Up to four channels keep the full cells and the tall scopes.
TEST_F(TwoChannelViews, FewChannelsKeepTheFullCells) {
    setPosition(1, 20);
    const Image img = drawPatternView();
    EXPECT_EQ(readText(img, 21 + 76, lineY(12), 3, kWhite), "C-2");
    EXPECT_EQ(readText(img, 48 + 76, lineY(12), 2, kSampleColour), "09");
    EXPECT_EQ(readText(img, 67 + 76, lineY(12), 3, kEffectColour), "C10");
    for (int x = 21 + 76 * 2; x < 320; ++x) ASSERT_EQ(img.at(x, kPlayingY + 3), kBackdrop) << x;

    drawScopes(screen_.get(), module_);
    const Image scopes = imageOf(screen_.get());
    std::vector<int> baselines;
    for (int y = 19; y < 240; ++y)
        if (scopes.at(32, y) != 0) baselines.push_back(y);
    EXPECT_EQ(baselines, (std::vector<int>{37, 92}));
}

// --- A description of no MOD: wider fields, longer patterns, more meters

namespace {

// A pattern of 200 rows whose every cell names its row and channel: note
// "C#5", instrument row % 128 + 1 in three digits, effect "a" code + row.
void wideCell(const void*, int, int row, int channel, CellText* out) {
    std::snprintf(out->note, sizeof out->note, "%s", channel % 2 ? "off" : "C#5");
    const int instrument = row % 128 + 1;
    out->instrument[0] = static_cast<char>('0' + instrument / 100);
    out->instrument[1] = static_cast<char>('0' + instrument / 10 % 10);
    out->instrument[2] = static_cast<char>('0' + instrument % 10);
    out->instrument[3] = '\0';
    std::snprintf(out->effect, sizeof out->effect, "ac%02X", row & 0xFF);
}

NowPlaying wideDescription(int channels, int instruments) {
    NowPlaying now;
    now.shown = now.playing = true;
    std::snprintf(now.title, sizeof now.title, "wide");
    now.song_length = 3;
    now.bpm = 125;
    now.speed = 6;
    now.rows = 200;
    now.row = 150;
    now.channels = channels;
    now.instruments = instruments;
    now.instrument_chars = 3;
    now.effect_chars = 4;
    now.hex_rows = true;
    now.cell = wideCell;
    return now;
}

}  // namespace

// Full cells of three-digit instruments and four-character effects, 7
// pixels a glyph from each cell's left edge after the row numbers, and row
// numbers in hexadecimal past 100 rows.
TEST_F(Views, WideFieldsAndLongPatterns) {
    mod_playing = 1;
    drawPattern(screen_.get(), background_.get(), wideDescription(4, 128));
    Image img = imageOf(screen_.get());
    EXPECT_EQ(readText(img, 0, lineY(12), 2, kRowColour), "96");  // row 150
    EXPECT_EQ(readText(img, 0, lineY(24), 2, kRowColour), "A2");  // row 162
    for (int j = 0; j < 4; ++j) {
        const int x = 16 + 76 * j;
        EXPECT_EQ(readNarrowText(img, x, lineY(12), 3, kWhite), j % 2 ? "off" : "C#5") << j;
        EXPECT_EQ(readNarrowText(img, x + 24, lineY(12), 3, kSampleColour), "023") << j;
        EXPECT_EQ(readNarrowText(img, x + 48, lineY(12), 4, kEffectColour), "ac96") << j;
    }
    // Eight compact cells of three-digit instruments, glyphs 6 pixels apart.
    drawPattern(screen_.get(), background_.get(), wideDescription(12, 128));
    img = imageOf(screen_.get());
    for (int j = 0; j < 8; ++j) {
        const int x = 16 + 38 * j;
        std::string instrument;
        for (int k = 0; k < 3; ++k) instrument += readNarrowText(img, x + 18 + 6 * k, lineY(12), 1, kSampleColour);
        EXPECT_EQ(instrument, "023") << j;
    }
}

// More instruments than columns: 40 meters at a time, from the group shown,
// named on the title line.
TEST_F(Views, MetersPageThroughManyInstruments) {
    viewsSetMeter(1, 27);
    viewsSetMeter(45, 3);
    const NowPlaying now = wideDescription(4, 100);
    drawSampleViewer(screen_.get(), now);
    Image img = imageOf(screen_.get());
    EXPECT_EQ(readText(img, 228, 10, 11, kWhite), " in 001-040");
    EXPECT_EQ(readText(img, 0, 232, 1, 0x8000), "#");
    EXPECT_TRUE(columnBlackBetween(img, 4, 18, 239));

    first_shown_instrument = nextInstrumentGroup(0, now.instruments);
    drawSampleViewer(screen_.get(), now);
    img = imageOf(screen_.get());
    EXPECT_EQ(readText(img, 228, 10, 11, kWhite), " in 041-080");
    EXPECT_TRUE(columnBlackBetween(img, 0, 18, 239));
    EXPECT_FALSE(columnBlackBetween(img, 4, 216, 239));

    // The last group holds what is left: 20 meters, named up to the last.
    first_shown_instrument = nextInstrumentGroup(first_shown_instrument, now.instruments);
    drawSampleViewer(screen_.get(), now);
    EXPECT_EQ(readText(imageOf(screen_.get()), 228, 10, 11, kWhite), " in 081-100");
    EXPECT_EQ(nextInstrumentGroup(80, 100), 0);
}

// --- Titles as people wrote them -------------------------------------------

namespace {

// Twenty bytes of ISO 8859-1 that give 21 characters without their accents.
class LatinTitleViews : public Views {
protected:
    void customise(modwriter::Song& song) override { song.title = "\xC9t\xE9 \xE0 Stra\xDF" "e \xD8resund"; }
};

}  // namespace

// Views 2 and 4 draw the letters without their accents, ß as ss, cut at the
// title's 20 characters.
TEST_F(LatinTitleViews, TitleDrawnAsItsBaseLettersCutAtTheWidth) {
    const std::string shown = "Now Playing: Ete a Strasse Oresun ";
    drawSampleViewer(screen_.get(), described(module_));
    EXPECT_EQ(readText(imageOf(screen_.get()), 4, 0, 34, kWhite), shown);
    drawScopes(screen_.get(), module_);
    EXPECT_EQ(readText(imageOf(screen_.get()), 4, 0, 34, kWhite), shown);
}

// The title the views and view 1's song-name line show, made at the load:
// the module's own, or its file's name where that is empty or spaces.
TEST(ShownTitles, ABlankTitleShowsTheFileName) {
    harness::resetGlobals();
    harness::TempDir dir;
    const std::string folder = dir.file("\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 dir");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    struct Case {
        std::string title;
        const char* file;
        const char* shown;
    };
    const Case cases[] = {
        {"", "my song \xE2\x99\xAB.mod", "my song ?"},
        {"    ", "Stra\xC3\x9F" "e.mod", "Strasse"},
        {"\x01\x02", "controls.mod", "  "},  // control bytes are a title, drawn blank as ever
        {"\xE9t\xE9", "summer.mod", "ete"},
        {"plain", "plain.mod", "plain"},
    };
    for (const Case& c : cases) {
        const std::string path = folder + "/" + c.file;
        ASSERT_TRUE(harness::shortSong(c.title).write(path));
        LoadedSong* song = songLoad(path.c_str());
        ASSERT_NE(song, nullptr) << c.file;
        EXPECT_STREQ(songShownTitle(song), c.shown) << c.file;
        songPlay(song, 0);
        NowPlaying now;
        songDescribe(&now);
        EXPECT_STREQ(now.title, c.shown) << c.file;
        songFree(song);
    }
    harness::resetGlobals();
}
