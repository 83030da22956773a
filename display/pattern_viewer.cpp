// View 1: the header line and 25 rows of the playing pattern around the
// current row, with note, sample and effect per channel, or note and sample
// per channel in a compact cell when there are more than four. Drawn by the tick
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
#include "display/textout.h"
#include "display/views.h"
#include "player/protracker_sequencer.h"

constexpr char name_tab[38][4] = {
    "...",
    "C-1", "C#1", "D-1", "D#1", "E-1", "F-1", "F#1", "G-1", "G#1", "A-1", "A#1", "B-1",
    "C-2", "C#2", "D-2", "D#2", "E-2", "F-2", "F#2", "G-2", "G#2", "A-2", "A#2", "B-2",
    "C-3", "C#3", "D-3", "D#3", "E-3", "F-3", "F#3", "G-3", "G#3", "A-3", "A#3", "B-3",
    "???"};

constexpr char hextable[17] = "0123456789ABCDEF";

namespace {

constexpr int kUnknownNote = kNotes + 1;
constexpr int kLines = 25;
constexpr int kPlayingLine = 12;   // the highlighted line: the row being played
constexpr int kFirstLineY = 35;
constexpr int kLineHeight = 8;
constexpr int kHeaderX = 4;
constexpr int kHeaderY = 19;
constexpr int kChannelX = 67;      // effect column of channel 0
constexpr int kChannelStride = 76;
constexpr int kNoteOffset = 46;    // note, left of the effect
constexpr int kSampleOffset = 19;  // sample, left of the effect

// The compact cells of 5 or more channels: glyphs 7 pixels apart (a glyph
// keeps off its right-hand column), note then sample, under a line of
// channel numbers. Eight fill the width after the row numbers with no room
// for a gap, so neighbours differ in shade instead; fewer are spread over the
// width, with equal gaps after the row numbers and between cells.
constexpr int kFullCellChannels = 4;
constexpr int kCompactX = 18;
constexpr int kCompactStride = 38;
constexpr int kNarrowPitch = 7;
constexpr int kCompactSampleOffset = 3 * kNarrowPitch;
constexpr int kCompactCellWidth = kCompactSampleOffset + kNarrowPitch + kCellSize;
constexpr int kRowNumberWidth = 2 * kCellSize;
constexpr int kChannelNumberY = kFirstLineY - kLineHeight;
static_assert(kCompactX + kCompactStride * (kChannelsShown - 1) + kCompactCellWidth <= kScreenWidth,
              "eight compact cells fit the screen");
// The notes of every other cell of eight, a step darker than white.
constexpr int kNoteShade = 0xBDF7;

struct CompactLayout {
    int x;       // the first cell's left edge
    int stride;  // from one cell's left edge to the next
};

constexpr CompactLayout compactLayout(int shown) {
    if (shown >= kChannelsShown || shown < 1) return {kCompactX, kCompactStride};
    const int gap = (kScreenWidth - kRowNumberWidth - kCompactCellWidth * shown) / shown;
    return {kRowNumberWidth + gap, kCompactCellWidth + gap};
}
static_assert(compactLayout(7).x == 23 && compactLayout(7).stride == 43, "seven cells, 7 pixels apart");
constexpr bool everyLayoutFits() {
    for (int shown = 1; shown <= kChannelsShown; ++shown) {
        const CompactLayout layout = compactLayout(shown);
        if (layout.x + layout.stride * (shown - 1) + kCompactCellWidth > kScreenWidth) return false;
    }
    return true;
}
static_assert(everyLayoutFits(), "the last cell ends on the screen");

// For every period up to the longest in period_tab, the index of its entry
// there, or kUnknownNote when it has none: one look-up per cell instead of a
// search through the table.
constexpr int kLongestPeriod = kMaxPeriod;

constexpr std::array<std::uint8_t, kLongestPeriod + 1> buildNoteOfPeriod() {
    std::array<std::uint8_t, kLongestPeriod + 1> notes{};
    for (int period = 0; period <= kLongestPeriod; ++period) {
        int k = 0;
        while (k < kUnknownNote && period_tab[static_cast<std::size_t>(k)] != period) ++k;
        notes[static_cast<std::size_t>(period)] = static_cast<std::uint8_t>(k);
    }
    return notes;
}
constexpr std::array<std::uint8_t, kLongestPeriod + 1> kNoteOfPeriod = buildNoteOfPeriod();

const char* noteName(std::int32_t period) {
    if (period < 0 || period > kLongestPeriod) return name_tab[kUnknownNote];
    return name_tab[kNoteOfPeriod[static_cast<std::size_t>(period)]];
}

// Two decimal digits of n (0..99) into out.
void twoDigits(char* out, int n) {
    out[0] = static_cast<char>('0' + n / 10 % 10);
    out[1] = static_cast<char>('0' + n % 10);
    out[2] = '\0';
}

void drawCell(SDL_Surface* screen, const PatternCell& cell, int x, int y, int opaque) {
    textOut(screen, x - kNoteOffset, y, noteName(cell.period), kWhite, opaque, kHighlight);

    char sample[3] = "..";
    if (cell.sample != 0) twoDigits(sample, cell.sample);
    textOut(screen, x - kSampleOffset, y, sample, kSampleColour, opaque, kHighlight);

    char effect[4] = {hextable[cell.effect & 15], hextable[(cell.param >> 4) & 15], hextable[cell.param & 15],
                      '\0'};
    if (effect[0] == '0' && effect[1] == '0' && effect[2] == '0') effect[0] = effect[1] = effect[2] = '.';
    textOut(screen, x, y, effect, kEffectColour, opaque, kHighlight);
}

// text with its glyphs kNarrowPitch pixels apart.
void narrowText(SDL_Surface* screen, int x, int y, const char* text, int colour, int opaque) {
    for (; *text != '\0'; ++text, x += kNarrowPitch) {
        const char glyph[2] = {*text, '\0'};
        textOut(screen, x, y, glyph, colour, opaque, kHighlight);
    }
}

void drawCompactCell(SDL_Surface* screen, const PatternCell& cell, int x, int y, int opaque, int note_colour) {
    narrowText(screen, x, y, noteName(cell.period), note_colour, opaque);
    char sample[3] = "..";
    if (cell.sample != 0) twoDigits(sample, cell.sample);
    narrowText(screen, x + kCompactSampleOffset, y, sample, kSampleColour, opaque);
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

void drawPattern(SDL_Surface* screen, SDL_Surface* background, Module* module) {
    if (!screen || !background || !module || module->loaded == 0 || mod_playing == 0) return;

    copyBackground(screen, background);

    char header[96];
    std::snprintf(header, sizeof header, "#%03d/%03d - %03dbpm (%02d ticks) - Vol: %03d", module->order,
                  module->song_length, module->bpm, module->speed, base_volume);
    textOut(screen, kHeaderX, kHeaderY, header, kWhite, 0, 0);

    // Guards against a position mirror that names no pattern block.
    if (module->pattern < 0 || module->pattern >= kPatternSlots) return;
    const PatternCell* block = module->patterns[module->pattern];
    if (!block) return;
    const int channels = module->channels;
    const int first = firstShownChannel(channels);
    const int shown = std::min(kChannelsShown, channels - first);
    const CompactLayout compact = compactLayout(shown);
    if (channels > kFullCellChannels) {
        for (int j = 0; j < shown; ++j) {
            char number[3];
            twoDigits(number, first + j + 1);
            narrowText(screen, compact.x + compact.stride * j + kNarrowPitch, kChannelNumberY, number, kRowColour, 0);
        }
    }

    for (int line = 0; line < kLines; ++line) {
        const int r = module->row + line - kPlayingLine;
        if (r < 0 || r >= kRowsPerPattern) continue;
        const int y = kFirstLineY + kLineHeight * line;
        const int opaque = line == kPlayingLine ? 1 : 0;

        char number[3];
        twoDigits(number, r);
        textOut(screen, 0, y, number, kRowColour, opaque, kHighlight);
        const PatternCell* cells = block + r * channels;
        if (channels <= kFullCellChannels) {
            for (int j = 0; j < channels; ++j) drawCell(screen, cells[j], kChannelX + kChannelStride * j, y, opaque);
        } else {
            for (int j = 0; j < shown; ++j) {
                const int note_colour = shown == kChannelsShown && j % 2 == 1 ? kNoteShade : kWhite;
                drawCompactCell(screen, cells[first + j], compact.x + compact.stride * j, y, opaque, note_colour);
            }
        }
    }
}

