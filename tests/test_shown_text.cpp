// Names from outside as the font draws them (player/shown_text.h): ISO
// 8859-1 titles and UTF-8 file names, accents dropped, anything else one '?',
// cut at the width; the file name in place of a blank title.
#include <gtest/gtest.h>

#include <string>

#include "player/shown_text.h"

namespace {

struct Conversion {
    std::string in;
    const char* shown;
};

std::string latin1(const std::string& in, std::size_t width = 40) {
    char out[64];
    const std::size_t n = shownFromLatin1(in.data(), in.size(), out, width + 1);
    EXPECT_EQ(n, std::string(out).size()) << in;
    return out;
}

std::string utf8(const std::string& in, std::size_t width = 40) {
    char out[64];
    const std::size_t n = shownFromUtf8(in.data(), in.size(), out, width + 1);
    EXPECT_EQ(n, std::string(out).size()) << in;
    EXPECT_EQ(shownFromUtf8(in).substr(0, width), out) << in;  // the whole text, the same
    return out;
}

TEST(ShownText, Latin1) {
    const Conversion cases[] = {
        {"plain ASCII {|}~ 0-9", "plain ASCII {|}~ 0-9"},
        {"\xDCn\xEF" "c\xF6" "d\xE9", "Unicode"},
        {"Stra\xDF" "e", "Strasse"},
        {"\xC6sop \xE6 \xD8 \xF8 \xC5 \xE5 \xD1 \xF1 \xC7 \xE7", "AEsop ae O o A a N n C c"},
        {"\xC0\xC1\xC2\xC3\xC4\xC5\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF", "AAAAAAEEEEIIII"},
        {"\xD0\xD2\xD3\xD4\xD5\xD6\xD9\xDA\xDB\xDC\xDD\xDE", "DOOOOOUUUUYTh"},
        {"\xE0\xE8\xEC\xF0\xF2\xF9\xFD\xFE\xFF", "aeidouythy"},
        {"2\xD7" "3\xF7" "4 \xA9\xB0\xBF\xA4", "2?3?4 ????"},  // signs, not letters
        {"no\xA0" "break", "no break"},
        {"tab\there\x01\x1F\x7F\x80\x9F.", "tab here     ."},  // controls: blank cells, as always
        {std::string("cut\0after", 9), "cut"},
        {"", ""},
    };
    for (const Conversion& c : cases) EXPECT_EQ(latin1(c.in), c.shown) << c.in;
}

TEST(ShownText, Utf8) {
    const Conversion cases[] = {
        {"plain ASCII {|}~", "plain ASCII {|}~"},
        {"\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9", "Unicode"},                        // Ünïcödé
        {"Stra\xC3\x9F" "e", "Strasse"},                                                  // Straße
        {"my song \xE2\x99\xAB", "my song ?"},                                            // ♫: one '?'
        {"\xC5\x92uvre \xC5\x93 \xC5\xA0\xC5\xA1 \xC5\xBD\xC5\xBE \xC5\xB8", "OEuvre oe Ss Zz Y"},
        {"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5!", "?? ?!"},                          // 日本 🎵
        {"\xC3\x97 \xC2\xA0 \xC2\x85", "?    "},                                          // ×, no-break space, a C1 control
        {"bad\xFF" "byte", "bad?byte"},                                                   // a byte no sequence starts with
        {"\x80\xBF" "x", "??x"},                                                          // stray continuation bytes
        {"cut \xE2\x99", "cut ?"},                                                        // a sequence cut at the end
        {"cut \xE2\x99" "x", "cut ?x"},                                                   // ... and before a letter
        {"cut \xF0\x9F\x8E" "\xC3\xA9", "cut ?e"},                                        // ... and before another
        {"\xC0\xAF \xE0\x80\xAF \xED\xA0\x80 \xF4\x90\x80\x80", "?? ??? ??? ????"},        // overlong, surrogate, past U+10FFFF
        {"", ""},
    };
    for (const Conversion& c : cases) EXPECT_EQ(utf8(c.in), c.shown) << c.in;
}

// Cut at the width, also where one letter gives two.
TEST(ShownText, CutAtTheWidth) {
    EXPECT_EQ(latin1("Stra\xDF" "e", 5), "Stras");
    EXPECT_EQ(latin1("Gro\xDF", 4), "Gros");
    EXPECT_EQ(latin1("abcdefghijklmnopqrstuvwxyz", 20), "abcdefghijklmnopqrst");
    EXPECT_EQ(utf8("\xC3\x86" "\xC3\x86", 3), "AEA");
    EXPECT_EQ(utf8("my song \xE2\x99\xAB\xE2\x99\xAB", 9), "my song ?");
    EXPECT_EQ(latin1("anything", 0), "");
}

TEST(ShownText, FileTitle) {
    const Conversion cases[] = {
        {"/music/\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 dir/my song \xE2\x99\xAB.xm", "my song ?"},
        {"tune.mod", "tune"},
        {"songs/two.dots.s3m", "two.dots"},
        {"folder.d/no extension", "no extension"},
        {"/x/.hidden", ".hidden"},
        {"a very long file name indeed.it", "a very long file nam"},
    };
    for (const Conversion& c : cases) {
        char out[21];
        shownFileTitle(c.in, out, sizeof out);
        EXPECT_STREQ(out, c.shown) << c.in;
    }
}

TEST(ShownText, BlankTitles) {
    EXPECT_TRUE(blankTitle("", 0));
    EXPECT_TRUE(blankTitle("\0\0\0", 3));
    EXPECT_TRUE(blankTitle("    ", 4));
    EXPECT_TRUE(blankTitle("  \0x", 4));
    EXPECT_FALSE(blankTitle(" . ", 3));
    EXPECT_FALSE(blankTitle("\x01", 1));  // a control byte is the title's own, drawn blank as ever
    EXPECT_FALSE(blankTitle("\xA0", 1));
}

}  // namespace
