// textOut on off-screen surfaces: where cells land, which pixels are
// written in opaque and transparent text, and what codes without a glyph do.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "display/textout.h"
#include "tests/screen_text.h"

namespace {

using screentext::makeSurface;
using screentext::pixelAt;

constexpr std::uint16_t kFill = 0x1234;
constexpr std::uint16_t kInk = 0xF800;
constexpr std::uint16_t kPaper = 0x07E0;

bool sheetInk(unsigned char code, int row, int column) {
    if (code < 32 || code > 126) return false;
    return __bitmapFont[static_cast<std::size_t>(row * kFontSheetWidth + (code - 32) * 8 + column)] != 0;
}

struct TextCase {
    const char* name;
    std::string text;
    int opaque;
    int x, y;
};

// A failure names the case, not the record's bytes.
void PrintTo(const TextCase& tc, std::ostream* out) { *out << tc.name; }

class TextOutCells : public testing::TestWithParam<TextCase> {};

// Every pixel of the surface: the text's cells hold ink or (opaque) paper,
// everything else keeps the fill.
TEST_P(TextOutCells, WritesOnlyTheTextsCells) {
    const TextCase& tc = GetParam();
    auto surface = makeSurface(kFill);
    textOut(surface.get(), tc.x, tc.y, tc.text.c_str(), 0x10000 | kInk, tc.opaque, 0xF0000 | kPaper);

    const int cells = static_cast<int>(tc.text.size());
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            std::uint16_t expected = kFill;
            const int cell = (x - tc.x) >> 3;
            if (y >= tc.y && y < tc.y + 8 && x >= tc.x && cell < cells) {
                const auto code = static_cast<unsigned char>(tc.text[static_cast<std::size_t>(cell)]);
                if (sheetInk(code, y - tc.y, (x - tc.x) & 7))
                    expected = kInk;
                else if (tc.opaque == 1)
                    expected = kPaper;
            }
            ASSERT_EQ(pixelAt(surface.get(), x, y), expected) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    TextOut, TextOutCells,
    testing::Values(TextCase{"Opaque", "Az09", 1, 8, 16}, TextCase{"Transparent", "Az09", 0, 8, 16},
                    TextCase{"OpaqueTwoIsTransparent", "Az09", 2, 8, 16},
                    TextCase{"BlankCellKeepsItsPlace", "A%B", 1, 100, 50},
                    TextCase{"BlankCellTransparent", "A%B", 0, 100, 50},
                    TextCase{"CodesWithoutGlyphOpaque", "\x01\x1F\x7F\x80\xFF", 1, 0, 0},
                    TextCase{"CodesWithoutGlyphTransparent", "\x01\x1F\x7F\x80\xFF", 0, 0, 0},
                    TextCase{"BracesBarAndTilde", "{a|b}~", 1, 16, 24},
                    TextCase{"LastCellOfTheSurface", "y", 1, 312, 232},
                    TextCase{"EmptyString", "", 1, 40, 40}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

// Drawn text reads back glyph by glyph, wherever it starts. The text holds
// every code with ink, so this also finds a glyph that lost its ink or looks
// like another (reading back takes the first glyph that matches).
TEST(TextOut, DrawnTextReadsBack) {
    auto surface = makeSurface();
    const std::string all = "!#'()*+,-./0123456789:?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz{|}~";
    textOut(surface.get(), 3, 7, all.substr(0, 39).c_str(), 0xFFFF, 0, 0);
    textOut(surface.get(), 5, 101, all.substr(39, 39).c_str(), 0xFFFF, 1, 0x43D3);
    textOut(surface.get(), 300, 230, all.substr(78).c_str(), 0xFFFF, 0, 0);
    const auto img = screentext::imageOf(surface.get());
    EXPECT_EQ(screentext::readText(img, 3, 7, 39, 0xFFFF), all.substr(0, 39));
    EXPECT_EQ(screentext::readText(img, 5, 101, 39, 0xFFFF), all.substr(39, 39));
    EXPECT_EQ(screentext::readText(img, 300, 230, 2, 0xFFFF), all.substr(78));
}

// The four glyphs names drew as blanks before, drawn: braces mirroring each
// other around the bar's column, and a tilde's wave at the dash's height.
TEST(TextOut, BracesBarAndTildeAsDrawn) {
    struct Glyph {
        char code;
        const char* art;  // 8 rows of 8, '#' = ink
    };
    const Glyph glyphs[] = {
        {'{', "....##.." "...#...." "...#...." "..#....." "...#...." "...#...." "....##.." "........"},
        {'|', "...#...." "...#...." "...#...." "...#...." "...#...." "...#...." "...#...." "........"},
        {'}', ".##....." "...#...." "...#...." "....#..." "...#...." "...#...." ".##....." "........"},
        {'~', "........" "........" "..#....." ".#.#.#.." "....#..." "........" "........" "........"},
    };
    auto surface = makeSurface();
    textOut(surface.get(), 40, 40, "{|}~", 0xFFFF, 1, 0x0001);
    for (std::size_t g = 0; g < std::size(glyphs); ++g)
        for (int r = 0; r < 8; ++r)
            for (int k = 0; k < 8; ++k) {
                const bool ink = glyphs[g].art[r * 8 + k] == '#';
                EXPECT_EQ(pixelAt(surface.get(), 40 + 8 * static_cast<int>(g) + k, 40 + r), ink ? 0xFFFF : 0x0001)
                    << glyphs[g].code << " row " << r << " column " << k;
            }
    // The braces mirror each other around column 3.
    for (int r = 0; r < 8; ++r)
        for (int k = 0; k < 7; ++k) EXPECT_EQ(sheetInk('{', r, k), sheetInk('}', r, 6 - k)) << r << "," << k;
}

// Characters and lines stay apart: a glyph keeps off its cell's bottom row
// unless it descends below the line, and off its right-hand column but for
// the bar of the 4.
TEST(TextOut, GlyphsKeepOffTheCellsMargins) {
    const std::string descenders = ",Qfgjpqy";
    for (int code = kFontFirstCode; code < kFontFirstCode + kFontGlyphs; ++code) {
        bool bottom_row = false;
        bool right_column = false;
        for (int i = 0; i < 8; ++i) {
            bottom_row = bottom_row || sheetInk(static_cast<unsigned char>(code), 7, i);
            right_column = right_column || sheetInk(static_cast<unsigned char>(code), i, 7);
        }
        const char ch = static_cast<char>(code);
        EXPECT_EQ(bottom_row, descenders.find(ch) != std::string::npos) << ch;
        EXPECT_EQ(right_column, ch == '4') << ch;
    }
}

// The meter bars are stacked '#': crossed strokes filling 7 columns and
// 7 rows, leaving a one-pixel gap to the next character in both directions.
TEST(TextOut, HashFillsSevenBySeven) {
    auto surface = makeSurface();
    textOut(surface.get(), 0, 0, "#", 0xFFFF, 0, 0);
    textOut(surface.get(), 0, 8, "#", 0xFFFF, 0, 0);
    int ink_rows = 0;
    for (int y = 0; y < 16; ++y) {
        int ink = 0;
        for (int x = 0; x < 8; ++x) ink += pixelAt(surface.get(), x, y) == 0xFFFF;
        EXPECT_EQ(pixelAt(surface.get(), 7, y), 0) << "right-hand column, row " << y;
        if (y == 7 || y == 15) {
            EXPECT_EQ(ink, 0) << "bottom row of the cell";
        }
        if (ink == 7) ++ink_rows;
    }
    EXPECT_EQ(ink_rows, 4);  // two full horizontal strokes per cell
}

}  // namespace
