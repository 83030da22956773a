// View 1: the header line and 25 rows of the playing pattern around the
// current row, with note, instrument and effect per channel, or note and
// instrument per channel in a compact cell when there are more than four,
// all as the engine playing writes them. Drawn by the tick
// on the audio thread, so it formats into small fixed buffers and never
// allocates; presenting the screen is the main loop's job.
#include "display/pattern_viewer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "audio/volume.h"
#include "display/screen.h"
#include "display/status_line.h"
#include "display/textout.h"
#include "display/views.h"

namespace {

constexpr int kLines = 25;
// With the status line below, one line less.
constexpr int kLinesAboveStatus = kLines - 1;
constexpr int kPlayingLine = 12;   // the highlighted line: the row being played
constexpr int kFirstLineY = 35;
constexpr int kLineHeight = 8;
constexpr int kHeaderX = 4;
constexpr int kHeaderY = 19;
constexpr int kChannelX = 67;      // effect column of channel 0
constexpr int kChannelStride = 76;
constexpr int kNoteOffset = 46;    // note, left of the effect
constexpr int kSampleOffset = 19;  // instrument, left of the effect

// The compact cells of 5 or more channels: glyphs 7 pixels apart (a glyph
// keeps off its right-hand column), note then instrument, under a line of
// channel numbers. Eight fill the width after the row numbers with no room
// for a gap, so neighbours differ in shade instead; fewer are spread over the
// width, with equal gaps after the row numbers and between cells. Eight cells
// with three-digit instruments set their glyphs a pixel closer.
constexpr int kFullCellChannels = 4;
constexpr int kCompactX = 18;
constexpr int kCompactStride = 38;
constexpr int kNarrowPitch = 7;
constexpr int kTightPitch = 6;
constexpr int kNoteChars = 3;
constexpr int kRowNumberWidth = 2 * kCellSize;
constexpr int kChannelNumberY = kFirstLineY - kLineHeight;
// The notes of every other cell of eight, a step darker than white.
constexpr int kNoteShade = 0xBDF7;

// Where a compact cell's glyphs go.
struct CompactCell {
    int pitch;              // from one glyph to the next
    int instrument_offset;  // the instrument, right of the cell's left edge
    int width;              // to the right edge of the last glyph
};

constexpr CompactCell compactCell(int instrument_chars, int shown) {
    const int pitch = instrument_chars > 2 && shown >= kChannelsShown ? kTightPitch : kNarrowPitch;
    return {pitch, kNoteChars * pitch, (kNoteChars + instrument_chars - 1) * pitch + kCellSize};
}
constexpr int kCompactCellWidth = compactCell(2, kChannelsShown).width;
static_assert(kCompactCellWidth == 36, "a note and two digits, 7 pixels apart");
static_assert(kCompactX + kCompactStride * (kChannelsShown - 1) + kCompactCellWidth <= kScreenWidth,
              "eight compact cells fit the screen");

struct CompactLayout {
    int x;       // the first cell's left edge
    int stride;  // from one cell's left edge to the next
};

constexpr CompactLayout compactLayout(int shown, int cell_width = kCompactCellWidth) {
    if (shown >= kChannelsShown || shown < 1)
        return {std::min(kCompactX, kScreenWidth - kCompactStride * (kChannelsShown - 1) - cell_width), kCompactStride};
    const int gap = (kScreenWidth - kRowNumberWidth - cell_width * shown) / shown;
    return {kRowNumberWidth + gap, cell_width + gap};
}
static_assert(compactLayout(7).x == 23 && compactLayout(7).stride == 43, "seven cells, 7 pixels apart");
static_assert(compactLayout(kChannelsShown).x == kCompactX, "eight cells after the row numbers");
constexpr bool everyLayoutFits() {
    for (int digits = 2; digits <= 3; ++digits) {
        for (int shown = 1; shown <= kChannelsShown; ++shown) {
            const int width = compactCell(digits, shown).width;
            const CompactLayout layout = compactLayout(shown, width);
            if (layout.x < kRowNumberWidth || layout.x + layout.stride * (shown - 1) + width > kScreenWidth)
                return false;
        }
    }
    return true;
}
static_assert(everyLayoutFits(), "the last cell ends on the screen");

// The full cells of up to 4 channels. Two-digit instruments and three-glyph
// effects take whole 8-pixel glyphs, placed from each effect column; wider
// fields go 7 pixels apart from each cell's left edge after the row numbers.
constexpr int kFieldGap = 3;
constexpr int kNarrowEffectChars = 4;
static_assert(kRowNumberWidth + kChannelStride * (kFullCellChannels - 1) + kNoteChars * kNarrowPitch + kFieldGap +
                      3 * kNarrowPitch + kFieldGap + kNarrowEffectChars * kNarrowPitch <=
                  kScreenWidth,
              "four narrow full cells fit the screen");

// Two decimal digits of n (0..99) into out.
void twoDigits(char* out, int n) {
    out[0] = static_cast<char>('0' + n / 10 % 10);
    out[1] = static_cast<char>('0' + n % 10);
    out[2] = '\0';
}

// Two hex digits of n (0..255) into out.
void twoHexDigits(char* out, int n) {
    out[0] = hextable[(n >> 4) & 15];
    out[1] = hextable[n & 15];
    out[2] = '\0';
}

// text with its glyphs pitch pixels apart.
void spacedText(SDL_Surface* screen, int x, int y, const char* text, int colour, int opaque, int pitch) {
    for (; *text != '\0'; ++text, x += pitch) {
        const char glyph[2] = {*text, '\0'};
        textOut(screen, x, y, glyph, colour, opaque, kHighlight);
    }
}

void narrowText(SDL_Surface* screen, int x, int y, const char* text, int colour, int opaque) {
    spacedText(screen, x, y, text, colour, opaque, kNarrowPitch);
}

// Channel j's full cell on line y.
void drawCell(SDL_Surface* screen, const CellText& cell, const NowPlaying& now, int j, int y, int opaque) {
    if (now.instrument_chars == 2 && now.effect_chars == 3) {
        const int x = kChannelX + kChannelStride * j;
        textOut(screen, x - kNoteOffset, y, cell.note, kWhite, opaque, kHighlight);
        textOut(screen, x - kSampleOffset, y, cell.instrument, kSampleColour, opaque, kHighlight);
        textOut(screen, x, y, cell.effect, kEffectColour, opaque, kHighlight);
        return;
    }
    const int x = kRowNumberWidth + kChannelStride * j;
    const int instrument_x = x + kNoteChars * kNarrowPitch + kFieldGap;
    narrowText(screen, x, y, cell.note, kWhite, opaque);
    narrowText(screen, instrument_x, y, cell.instrument, kSampleColour, opaque);
    narrowText(screen, instrument_x + now.instrument_chars * kNarrowPitch + kFieldGap, y, cell.effect, kEffectColour,
               opaque);
}

void drawCompactCell(SDL_Surface* screen, const CellText& cell, const CompactCell& shape, int x, int y, int opaque,
                     int note_colour) {
    spacedText(screen, x, y, cell.note, note_colour, opaque, shape.pitch);
    spacedText(screen, x + shape.instrument_offset, y, cell.instrument, kSampleColour, opaque, shape.pitch);
}

// SDL's blit of one surface onto the whole of another is a plain copy of
// pixel memory when both are unlocked 16-bit memory of the same size and
// format, the source has no colour key or surface alpha and the target no
// clip. Then the rows are copied here directly; anything else goes through
// SDL_BlitSurface.
// Gain over SDL_BlitSurface: 52% fewer instructions per drawPattern (callgrind).
bool blitIsPlainCopy(const SDL_Surface* from, const SDL_Surface* to) {
    const SDL_PixelFormat& a = *from->format;
    const SDL_PixelFormat& b = *to->format;
    const SDL_Rect& clip = to->clip_rect;
    return from != to && from->w == to->w && from->h == to->h && a.BytesPerPixel == 2 &&
           b.BytesPerPixel == 2 && a.BitsPerPixel == b.BitsPerPixel && a.Rmask == b.Rmask &&
           a.Gmask == b.Gmask && a.Bmask == b.Bmask && a.Amask == b.Amask &&
           (from->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA)) == 0 && !SDL_MUSTLOCK(from) && !SDL_MUSTLOCK(to) &&
           clip.x == 0 && clip.y == 0 && clip.w == to->w && clip.h == to->h;
}

void copyBackground(SDL_Surface* screen, SDL_Surface* background) {
    if (!blitIsPlainCopy(background, screen)) {
        SDL_BlitSurface(background, nullptr, screen, nullptr);
        return;
    }
    // Row by row, each surface stepping by its own pitch.
    const auto row_bytes = static_cast<std::size_t>(screen->w) * 2;
    const auto* from = static_cast<const std::uint8_t*>(background->pixels);
    auto* to = static_cast<std::uint8_t*>(screen->pixels);
    for (int y = 0; y < screen->h; ++y, from += background->pitch, to += screen->pitch)
        std::memcpy(to, from, row_bytes);
}

}  // namespace

void drawPattern(SDL_Surface* screen, SDL_Surface* background, const NowPlaying& now) {
    if (!screen || !background || !now.playing) return;

    copyBackground(screen, background);

    char header[96];
    std::snprintf(header, sizeof header, "#%03d/%03d - %03dbpm (%02d ticks) - Vol: %03d", now.order, now.song_length,
                  now.bpm, now.speed, base_volume);
    textOut(screen, kHeaderX, kHeaderY, header, kWhite, 0, 0);

    if (now.rows <= 0 || !now.cell) return;
    const int channels = now.channels;
    const int first = firstShownChannel(channels);
    const int shown = std::min(kChannelsShown, channels - first);
    const CompactCell shape = compactCell(now.instrument_chars, shown);
    const CompactLayout compact = compactLayout(shown, shape.width);
    if (channels > kFullCellChannels) {
        for (int j = 0; j < shown; ++j) {
            char number[3];
            twoDigits(number, first + j + 1);
            narrowText(screen, compact.x + compact.stride * j + shape.pitch, kChannelNumberY, number, kRowColour, 0);
        }
    }

    CellText cell;
    const int lines = statusShown() ? kLinesAboveStatus : kLines;
    for (int line = 0; line < lines; ++line) {
        const int r = now.row + line - kPlayingLine;
        if (r < 0 || r >= now.rows) continue;
        const int y = kFirstLineY + kLineHeight * line;
        const int opaque = line == kPlayingLine ? 1 : 0;

        char number[3];
        if (now.hex_rows)
            twoHexDigits(number, r);
        else
            twoDigits(number, r);
        textOut(screen, 0, y, number, kRowColour, opaque, kHighlight);
        if (channels <= kFullCellChannels) {
            for (int j = 0; j < channels; ++j) {
                now.cell(now.song, now.pattern, r, j, &cell);
                drawCell(screen, cell, now, j, y, opaque);
            }
        } else {
            for (int j = 0; j < shown; ++j) {
                const int note_colour = shown == kChannelsShown && j % 2 == 1 ? kNoteShade : kWhite;
                now.cell(now.song, now.pattern, r, first + j, &cell);
                drawCompactCell(screen, cell, shape, compact.x + compact.stride * j, y, opaque, note_colour);
            }
        }
    }
}
