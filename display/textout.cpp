// The 8x8 bitmap font and textOut, which writes its glyphs straight into a
// 16-bit surface's pixels. Used at start-up on the background and on the
// audio thread by views 1 and 2, so it neither allocates nor locks.
#include "display/textout.h"

#include <cstddef>

namespace {

constexpr int kCell = 8;
constexpr int kCellPixels = kCell * kCell;

// The glyphs of codes 32..122 in code order, 8 rows of 8 columns each,
// '#' = ink. A glyph keeps off its right-hand column and bottom row so that
// characters and lines stay apart; descenders and the 4's bar may use them.
constexpr char kGlyphArt[] =
    // 32 space
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 33 !
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "........"
    "...#...."
    "........"
    // 34 "
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 35 #
    ".##.##.."
    ".##.##.."
    "#######."
    ".##.##.."
    "#######."
    ".##.##.."
    ".##.##.."
    "........"
    // 36 $
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 37 %
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 38 &
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 39 '
    "...#...."
    "...#...."
    "..#....."
    "........"
    "........"
    "........"
    "........"
    "........"
    // 40 (
    "....#..."
    "...#...."
    "..#....."
    "..#....."
    "..#....."
    "...#...."
    "....#..."
    "........"
    // 41 )
    "..#....."
    "...#...."
    "....#..."
    "....#..."
    "....#..."
    "...#...."
    "..#....."
    "........"
    // 42 *
    "........"
    "...#...."
    ".#.#.#.."
    "..###..."
    ".#.#.#.."
    "...#...."
    "........"
    "........"
    // 43 +
    "........"
    "...#...."
    "...#...."
    ".#####.."
    "...#...."
    "...#...."
    "........"
    "........"
    // 44 ,
    "........"
    "........"
    "........"
    "........"
    "........"
    "...##..."
    "....#..."
    "...#...."
    // 45 -
    "........"
    "........"
    "........"
    ".#####.."
    "........"
    "........"
    "........"
    "........"
    // 46 .
    "........"
    "........"
    "........"
    "........"
    "........"
    "...##..."
    "...##..."
    "........"
    // 47 /
    ".....#.."
    ".....#.."
    "....#..."
    "...#...."
    "..#....."
    ".#......"
    ".#......"
    "........"
    // 48 0
    "..###..."
    ".#...#.."
    ".#..##.."
    ".#.#.#.."
    ".##..#.."
    ".#...#.."
    "..###..."
    "........"
    // 49 1
    "...#...."
    "..##...."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "..###..."
    "........"
    // 50 2
    "..###..."
    ".#...#.."
    ".....#.."
    "....#..."
    "...#...."
    "..#....."
    ".#####.."
    "........"
    // 51 3
    ".#####.."
    "....#..."
    "...#...."
    "....#..."
    ".....#.."
    ".#...#.."
    "..###..."
    "........"
    // 52 4
    "....#..."
    "...##..."
    "..#.#..."
    ".#..#..."
    ".#######"
    "....#..."
    "....#..."
    "........"
    // 53 5
    ".#####.."
    ".#......"
    ".####..."
    ".....#.."
    ".....#.."
    ".#...#.."
    "..###..."
    "........"
    // 54 6
    "...##..."
    "..#....."
    ".#......"
    ".####..."
    ".#...#.."
    ".#...#.."
    "..###..."
    "........"
    // 55 7
    ".#####.."
    ".....#.."
    "....#..."
    "...#...."
    "..#....."
    "..#....."
    "..#....."
    "........"
    // 56 8
    "..###..."
    ".#...#.."
    ".#...#.."
    "..###..."
    ".#...#.."
    ".#...#.."
    "..###..."
    "........"
    // 57 9
    "..###..."
    ".#...#.."
    ".#...#.."
    "..####.."
    ".....#.."
    "....#..."
    "..##...."
    "........"
    // 58 :
    "........"
    "...##..."
    "...##..."
    "........"
    "...##..."
    "...##..."
    "........"
    "........"
    // 59 ;
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 60 <
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 61 =
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 62 >
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 63 ?
    "..###..."
    ".#...#.."
    ".....#.."
    "....#..."
    "...#...."
    "........"
    "...#...."
    "........"
    // 64 at sign
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 65 A
    "..###..."
    ".#...#.."
    ".#...#.."
    ".#####.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "........"
    // 66 B
    ".####..."
    ".#...#.."
    ".#...#.."
    ".####..."
    ".#...#.."
    ".#...#.."
    ".####..."
    "........"
    // 67 C
    "..###..."
    ".#...#.."
    ".#......"
    ".#......"
    ".#......"
    ".#...#.."
    "..###..."
    "........"
    // 68 D
    ".###...."
    ".#..#..."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#..#..."
    ".###...."
    "........"
    // 69 E
    ".#####.."
    ".#......"
    ".#......"
    ".####..."
    ".#......"
    ".#......"
    ".#####.."
    "........"
    // 70 F
    ".#####.."
    ".#......"
    ".#......"
    ".####..."
    ".#......"
    ".#......"
    ".#......"
    "........"
    // 71 G
    "..###..."
    ".#...#.."
    ".#......"
    ".#.###.."
    ".#...#.."
    ".#...#.."
    "..####.."
    "........"
    // 72 H
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#####.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "........"
    // 73 I
    "..###..."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "..###..."
    "........"
    // 74 J
    "...###.."
    "....#..."
    "....#..."
    "....#..."
    "....#..."
    ".#..#..."
    "..##...."
    "........"
    // 75 K
    ".#...#.."
    ".#..#..."
    ".#.#...."
    ".##....."
    ".#.#...."
    ".#..#..."
    ".#...#.."
    "........"
    // 76 L
    ".#......"
    ".#......"
    ".#......"
    ".#......"
    ".#......"
    ".#......"
    ".#####.."
    "........"
    // 77 M
    ".#...#.."
    ".##.##.."
    ".#.#.#.."
    ".#.#.#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "........"
    // 78 N
    ".#...#.."
    ".#...#.."
    ".##..#.."
    ".#.#.#.."
    ".#..##.."
    ".#...#.."
    ".#...#.."
    "........"
    // 79 O
    "..###..."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "..###..."
    "........"
    // 80 P
    ".####..."
    ".#...#.."
    ".#...#.."
    ".####..."
    ".#......"
    ".#......"
    ".#......"
    "........"
    // 81 Q
    "..###..."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#.#.#.."
    ".#..#..."
    "..##.#.."
    ".....#.."
    // 82 R
    ".####..."
    ".#...#.."
    ".#...#.."
    ".####..."
    ".#.#...."
    ".#..#..."
    ".#...#.."
    "........"
    // 83 S
    "..####.."
    ".#......"
    ".#......"
    "..###..."
    ".....#.."
    ".....#.."
    ".####..."
    "........"
    // 84 T
    ".#####.."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "........"
    // 85 U
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "..###..."
    "........"
    // 86 V
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "..#.#..."
    "...#...."
    "........"
    // 87 W
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#.#.#.."
    ".#.#.#.."
    ".#.#.#.."
    "..#.#..."
    "........"
    // 88 X
    ".#...#.."
    ".#...#.."
    "..#.#..."
    "...#...."
    "..#.#..."
    ".#...#.."
    ".#...#.."
    "........"
    // 89 Y
    ".#...#.."
    ".#...#.."
    "..#.#..."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "........"
    // 90 Z
    ".#####.."
    ".....#.."
    "....#..."
    "...#...."
    "..#....."
    ".#......"
    ".#####.."
    "........"
    // 91 [
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 92 backslash
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 93 ]
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 94 ^
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 95 _
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    ".#####.."
    "........"
    // 96 grave accent
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    "........"
    // 97 a
    "........"
    "........"
    "..###..."
    ".....#.."
    "..####.."
    ".#...#.."
    "..####.."
    "........"
    // 98 b
    ".#......"
    ".#......"
    ".####..."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".####..."
    "........"
    // 99 c
    "........"
    "........"
    "..###..."
    ".#......"
    ".#......"
    ".#......"
    "..###..."
    "........"
    // 100 d
    ".....#.."
    ".....#.."
    "..####.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "..####.."
    "........"
    // 101 e
    "........"
    "........"
    "..###..."
    ".#...#.."
    ".#####.."
    ".#......"
    "..###..."
    "........"
    // 102 f
    "...##..."
    "..#....."
    ".###...."
    "..#....."
    "..#....."
    "..#....."
    "..#....."
    ".#......"
    // 103 g
    "........"
    "........"
    "..####.."
    ".#...#.."
    ".#...#.."
    "..####.."
    ".....#.."
    "..###..."
    // 104 h
    ".#......"
    ".#......"
    ".####..."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "........"
    // 105 i
    "...#...."
    "........"
    "..##...."
    "...#...."
    "...#...."
    "...#...."
    "..###..."
    "........"
    // 106 j
    "....#..."
    "........"
    "...##..."
    "....#..."
    "....#..."
    "....#..."
    ".#..#..."
    "..##...."
    // 107 k
    ".#......"
    ".#......"
    ".#..#..."
    ".#.#...."
    ".##....."
    ".#.#...."
    ".#..#..."
    "........"
    // 108 l
    "..##...."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "...#...."
    "..###..."
    "........"
    // 109 m
    "........"
    "........"
    ".##.#..."
    ".#.#.#.."
    ".#.#.#.."
    ".#.#.#.."
    ".#...#.."
    "........"
    // 110 n
    "........"
    "........"
    ".####..."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "........"
    // 111 o
    "........"
    "........"
    "..###..."
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "..###..."
    "........"
    // 112 p
    "........"
    "........"
    ".####..."
    ".#...#.."
    ".#...#.."
    ".####..."
    ".#......"
    ".#......"
    // 113 q
    "........"
    "........"
    "..####.."
    ".#...#.."
    ".#...#.."
    "..####.."
    ".....#.."
    ".....#.."
    // 114 r
    "........"
    "........"
    ".#.##..."
    ".##..#.."
    ".#......"
    ".#......"
    ".#......"
    "........"
    // 115 s
    "........"
    "........"
    "..####.."
    ".#......"
    "..###..."
    ".....#.."
    ".####..."
    "........"
    // 116 t
    "..#....."
    "..#....."
    ".####..."
    "..#....."
    "..#....."
    "..#..#.."
    "...##..."
    "........"
    // 117 u
    "........"
    "........"
    ".#...#.."
    ".#...#.."
    ".#...#.."
    ".#..##.."
    "..##.#.."
    "........"
    // 118 v
    "........"
    "........"
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "..#.#..."
    "...#...."
    "........"
    // 119 w
    "........"
    "........"
    ".#...#.."
    ".#...#.."
    ".#.#.#.."
    ".#.#.#.."
    "..#.#..."
    "........"
    // 120 x
    "........"
    "........"
    ".#...#.."
    "..#.#..."
    "...#...."
    "..#.#..."
    ".#...#.."
    "........"
    // 121 y
    "........"
    "........"
    ".#...#.."
    ".#...#.."
    ".#...#.."
    "..####.."
    ".....#.."
    "..###..."
    // 122 z
    "........"
    "........"
    ".#####.."
    "....#..."
    "...#...."
    "..#....."
    ".#####.."
    "........";

static_assert(sizeof kGlyphArt == kFontGlyphs * kCellPixels + 1, "91 glyphs of 8 rows of 8");

constexpr char art(int code, int row, int column) {
    return kGlyphArt[(code - kFontFirstCode) * kCellPixels + row * kCell + column];
}

constexpr bool artIsWellFormed() {
    for (std::size_t i = 0; i + 1 < sizeof kGlyphArt; ++i)
        if (kGlyphArt[i] != '#' && kGlyphArt[i] != '.') return false;
    return true;
}
static_assert(artIsWellFormed(), "glyph rows hold only '#' and '.'");

constexpr bool inkInRow(int code, int row) {
    for (int k = 0; k < kCell; ++k)
        if (art(code, row, k) == '#') return true;
    return false;
}

constexpr bool inkInColumn(int code, int column) {
    for (int r = 0; r < kCell; ++r)
        if (art(code, r, column) == '#') return true;
    return false;
}

constexpr bool isBlankCode(int code) {
    for (char blank : " \"$%&;<=>[\\]^@`")
        if (blank != '\0' && code == blank) return true;
    return false;
}

constexpr bool hasDescender(int code) {
    for (char d : ",Qfgjpqy")
        if (d != '\0' && code == d) return true;
    return false;
}

constexpr bool glyphIsEmpty(int code) {
    for (int r = 0; r < kCell; ++r)
        if (inkInRow(code, r)) return false;
    return true;
}

// Blank cells are exactly the fifteen listed; every other code has ink.
constexpr bool blanksAreRight() {
    for (int code = kFontFirstCode; code < kFontFirstCode + kFontGlyphs; ++code)
        if (glyphIsEmpty(code) != isBlankCode(code)) return false;
    return true;
}
static_assert(blanksAreRight(), "blank cells: space \" $ % & ; < = > [ \\ ] ^ @ `");

// The bottom row is for descenders only, the right-hand column for the 4.
constexpr bool marginsAreRight() {
    for (int code = kFontFirstCode; code < kFontFirstCode + kFontGlyphs; ++code) {
        if (inkInRow(code, kCell - 1) != hasDescender(code)) return false;
        if (inkInColumn(code, kCell - 1) != (code == '4')) return false;
    }
    return true;
}
static_assert(marginsAreRight(), "descenders reach the bottom row, the 4 the right-hand column");

// The meter bars are stacks of '#': two strokes two pixels wide crossed by
// two one pixel high, filling seven columns and seven rows.
constexpr bool hashIsRight() {
    constexpr int kSpan = kCell - 1;
    bool full_row[kCell] = {};
    bool full_column[kCell] = {};
    int rows = 0;
    int columns = 0;
    for (int i = 0; i < kSpan; ++i) {
        full_row[i] = full_column[i] = true;
        for (int j = 0; j < kSpan; ++j) {
            full_row[i] = full_row[i] && art('#', i, j) == '#';
            full_column[i] = full_column[i] && art('#', j, i) == '#';
        }
        rows += full_row[i];
        columns += full_column[i];
    }
    // Two single-pixel rows, four columns in two adjacent pairs, nothing else.
    if (rows != 2 || columns != 4) return false;
    for (int i = 0; i + 1 < kSpan; ++i)
        if (full_row[i] && full_row[i + 1]) return false;
    int pairs = 0;
    for (int i = 0; i + 1 < kSpan; ++i) pairs += full_column[i] && full_column[i + 1];
    if (pairs != 2) return false;
    for (int r = 0; r < kCell; ++r)
        for (int k = 0; k < kCell; ++k)
            if ((art('#', r, k) == '#') != (r < kSpan && k < kSpan && (full_row[r] || full_column[k])))
                return false;
    return true;
}
static_assert(hashIsRight(), "the '#' glyph makes the meter bars");

// No two inked glyphs look the same, so every text on screen reads back.
constexpr bool glyphsAreDistinct() {
    for (int a = kFontFirstCode; a < kFontFirstCode + kFontGlyphs; ++a) {
        if (glyphIsEmpty(a)) continue;
        for (int b = a + 1; b < kFontFirstCode + kFontGlyphs; ++b) {
            bool same = true;
            for (int i = 0; i < kCellPixels && same; ++i)
                same = art(a, i / kCell, i % kCell) == art(b, i / kCell, i % kCell);
            if (same) return false;
        }
    }
    return true;
}
static_assert(glyphsAreDistinct(), "every inked glyph is unique");

constexpr std::array<std::uint32_t, 8 * kFontSheetWidth> buildSheet() {
    std::array<std::uint32_t, 8 * kFontSheetWidth> sheet{};
    for (int code = kFontFirstCode; code < kFontFirstCode + kFontGlyphs; ++code)
        for (int r = 0; r < kCell; ++r)
            for (int k = 0; k < kCell; ++k)
                sheet[static_cast<std::size_t>(r * kFontSheetWidth + (code - kFontFirstCode) * kCell + k)] =
                    art(code, r, k) == '#' ? 1u : 0u;
    return sheet;
}

}  // namespace

constexpr std::array<std::uint32_t, 8 * kFontSheetWidth> __bitmapFont = buildSheet();

namespace {

// The sheet read the way textOut draws it: for every byte value, one ink
// mask per glyph row, bit k set where column k is ink. Codes without a glyph
// get eight empty rows, so any byte indexes it and draws a blank cell.
using GlyphRows = std::array<std::uint8_t, kCell>;

constexpr std::array<GlyphRows, 256> buildInkRows() {
    std::array<GlyphRows, 256> rows{};
    for (int code = kFontFirstCode; code < kFontFirstCode + kFontGlyphs; ++code)
        for (int r = 0; r < kCell; ++r)
            for (int k = 0; k < kCell; ++k)
                if (__bitmapFont[static_cast<std::size_t>(r * kFontSheetWidth + (code - kFontFirstCode) * kCell + k)] !=
                    0)
                    rows[static_cast<std::size_t>(code)][static_cast<std::size_t>(r)] |=
                        static_cast<std::uint8_t>(1u << k);
    return rows;
}
constexpr std::array<GlyphRows, 256> kInkRows = buildInkRows();
static_assert(kInkRows['#'][0] == 0x36 && kInkRows['#'][7] == 0 && kInkRows['4'][4] == 0xFE &&
                  kInkRows[0x7F][0] == 0 && kInkRows[' '][3] == 0,
              "row masks follow the sheet");

// For every row mask, its eight pixels as lanes: 0xFFFF where the bit is
// set, 0 where it isn't. A row is then drawn with three bitwise operations on
// eight pixels at once, with no branch per pixel.
using RowLanes = std::array<std::uint16_t, kCell>;

constexpr std::array<RowLanes, 256> buildLanes() {
    std::array<RowLanes, 256> lanes{};
    for (int m = 0; m < 256; ++m)
        for (int k = 0; k < kCell; ++k)
            lanes[static_cast<std::size_t>(m)][static_cast<std::size_t>(k)] = (m >> k & 1) != 0 ? 0xFFFF : 0;
    return lanes;
}
constexpr std::array<RowLanes, 256> kLanes = buildLanes();

// One glyph row of 8 pixels: ink where the mask is set, and elsewhere paper
// (opaque) or the pixel as it was (transparent: read and written back
// unchanged). The pixels and the table never overlap, which lets the compiler
// do all eight in one vector.
inline void paintRow(std::uint16_t* __restrict row, const std::uint16_t* __restrict lanes, std::uint16_t ink,
                     std::uint16_t paper) {
    for (int k = 0; k < kCell; ++k) row[k] = static_cast<std::uint16_t>((ink & lanes[k]) | (paper & ~lanes[k]));
}

inline void inkRow(std::uint16_t* __restrict row, const std::uint16_t* __restrict lanes, std::uint16_t ink) {
    for (int k = 0; k < kCell; ++k) row[k] = static_cast<std::uint16_t>((ink & lanes[k]) | (row[k] & ~lanes[k]));
}

}  // namespace

void textOut(SDL_Surface* surface, int x, int y, const char* text, int colour, int opaque,
             int background_colour) {
    if (!surface || !text || *text == '\0') return;
    const auto ink = static_cast<std::uint16_t>(colour & 0xFFFF);
    const auto paper = static_cast<std::uint16_t>(background_colour & 0xFFFF);
    const std::ptrdiff_t width = surface->w;
    std::uint16_t* cell = static_cast<std::uint16_t*>(surface->pixels) + (y * width + x);

    // Bytes are taken unsigned: a name byte of 128 or more must not index
    // below the tables.
    // The row loops are unrolled: their counting would add a third to a cell.
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    if (opaque == 1) {
        for (; *p != 0; ++p, cell += kCell) {
            std::uint16_t* row = cell;
#pragma GCC unroll 8
            for (std::uint8_t mask : kInkRows[*p]) {
                paintRow(row, kLanes[mask].data(), ink, paper);
                row += width;
            }
        }
    } else {
        for (; *p != 0; ++p, cell += kCell) {
            std::uint16_t* row = cell;
#pragma GCC unroll 8
            for (std::uint8_t mask : kInkRows[*p]) {
                inkRow(row, kLanes[mask].data(), ink);
                row += width;
            }
        }
    }
}
