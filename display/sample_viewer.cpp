// View 2, the sample meters, and view 4, the oscilloscopes: both on black
// under two title lines, coloured from one slowly turning rainbow. View 2 is
// drawn by the tick on the audio thread, view 4 by the main loop; neither
// presents the screen.
#include "display/sample_viewer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "display/screen.h"
#include "display/status_line.h"
#include "display/textout.h"
#include "display/views.h"

namespace {

constexpr int kSegment = 128;

constexpr int rgb565(int red, int green, int blue) { return red << 11 | green << 5 | blue; }

// Entry n of the wheel: segment n / 128 blends one half-bright primary into
// the next over its 128 entries.
constexpr int wheelColour(int n) {
    const int k = n % kSegment;
    switch (n / kSegment) {
    case 0: return rgb565(16, (k + 1) >> 2, 0);       // red -> yellow
    case 1: return rgb565(15 - (k >> 3), 32, 0);      // yellow -> green
    case 2: return rgb565(0, 32, (k + 1) >> 3);       // green -> cyan
    case 3: return rgb565(0, 31 - (k >> 2), 16);      // cyan -> blue
    case 4: return rgb565((k + 1) >> 3, 0, 16);       // blue -> magenta
    default: return rgb565(16, 0, 15 - (k >> 3));     // magenta -> red
    }
}

constexpr std::array<int, kColtabSize> makeColtab() {
    std::array<int, kColtabSize> table{};
    for (int n = 0; n < kColtabSize; ++n) table[static_cast<std::size_t>(n)] = wheelColour(n);
    return table;
}

}  // namespace

constexpr std::array<int, kColtabSize> coltab = makeColtab();

static_assert(coltab[0] == 0x8000 && coltab[3] == 0x8020 && coltab[127] == 0x8400 && coltab[128] == 0x7C00 &&
                  coltab[255] == 0x0400 && coltab[256] == 0x0400 && coltab[383] == 0x0410 &&
                  coltab[384] == 0x03F0 && coltab[511] == 0x0010 && coltab[512] == 0x0010 &&
                  coltab[639] == 0x8010 && coltab[640] == 0x800F && coltab[767] == 0x8000,
              "the wheel's seams");

namespace {

constexpr int kCell = kCellSize;
constexpr int kTitleX = 4;
constexpr int kNameY = 0;
constexpr int kPositionY = 10;

constexpr int kScreenRows = kScreenHeight / kCell;  // character lines on the screen
static_assert(kMaxMeter < kScreenRows, "a full meter stands below the title lines");
constexpr int kColumnHue = 10;        // wheel entries between neighbouring meter columns
constexpr int kColumnsPerMove = 32;   // meter columns drawn per step of colindex
constexpr int kTracesPerMove = 25;    // traces drawn per step of colindex2
constexpr int kIndexStep = 2;

constexpr int kScopeX = 32;
constexpr int kScopeWidth = 256;
constexpr int kScopeFirstBaseline = 37;
constexpr int kScopeSpacing = 55;
constexpr int kScopeSpacingAboveStatus = 53;  // with the status line below
// Up to 4 channels get the tall scopes above; 5 or more up to kChannelsShown
// scopes of half the height, closer together.
constexpr int kTallScopes = 4;
constexpr int kTallScale = 256;  // sample x volume per pixel
constexpr int kShortFirstBaseline = 35;
constexpr int kShortSpacing = 27;
constexpr int kShortSpacingAboveStatus = 25;
constexpr int kShortScale = 512;
constexpr int kGroupX = kTitleX + 28 * kCell;  // after the position line
constexpr int kLastY = kScreenHeight - 1;

// What the two title lines show.
struct Titles {
    char name[kShownTitleChars + 1];
    int order;
    int song_length;
    int bpm;
    int speed;
};

Titles titlesOf(const NowPlaying& now) {
    Titles t{};
    std::memcpy(t.name, now.title, sizeof t.name);
    t.name[sizeof t.name - 1] = '\0';
    t.order = now.order;
    t.song_length = now.song_length;
    t.bpm = now.bpm;
    t.speed = now.speed;
    return t;
}

// SDL_FillRect(screen, nullptr, 0). On unlocked 16-bit memory with no clip
// that is zero bytes across every row, written here directly; any other
// surface goes through SDL_FillRect.
// Gain over SDL_FillRect: 59% fewer instructions per drawQuadrascopes, 40% per drawSampleViewer (callgrind).
void clearScreen(SDL_Surface* screen) {
    const SDL_Rect& clip = screen->clip_rect;
    if (screen->format->BytesPerPixel != 2 || SDL_MUSTLOCK(screen) || clip.x != 0 || clip.y != 0 ||
        clip.w != screen->w || clip.h != screen->h) {
        SDL_FillRect(screen, nullptr, 0);
        return;
    }
    const auto row_bytes = static_cast<std::size_t>(screen->w) * 2;
    auto* row = static_cast<std::uint8_t*>(screen->pixels);
    for (int y = 0; y < screen->h; ++y, row += screen->pitch) std::memset(row, 0, row_bytes);
}

void clearWithTitles(SDL_Surface* screen, const Titles& t) {
    clearScreen(screen);
    char line[64];
    // Beside a counter the title is shorter, leaving room for the channel group.
    std::snprintf(line, sizeof line, "Now Playing: %s", t.name);
    textOut(screen, kTitleX, kNameY, line, kWhite, 0, 0);
    std::snprintf(line, sizeof line, "#%03d/%03d - %03dbpm (%02d ticks)", t.order, t.song_length, t.bpm,
                  t.speed);
    textOut(screen, kTitleX, kPositionY, line, kWhite, 0, 0);
}

// Moves an offset into coltab on by one step, wrapping at the table's end.
void stepIndex(int& index) {
    index += kIndexStep;
    if (index >= kColtabSize) index = 0;
}

// floor(n / d) for negative n too (d > 0).
constexpr int floorDiv(std::int32_t n, int d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }
static_assert(floorDiv(-1, 256) == -1 && floorDiv(-256, 256) == -1 && floorDiv(-257, 256) == -2 &&
                  floorDiv(255, 256) == 0,
              "rounds towards minus infinity");

// Sample point p of a voice's data, on the 8-bit scale: a 16-bit point's
// high byte (rounded down).
template <bool kSixteenBit>
std::int32_t pointAt(const void* data, std::uint32_t p) {
    if constexpr (kSixteenBit) {
        std::int16_t point;
        std::memcpy(&point, static_cast<const std::uint8_t*>(data) + 2 * static_cast<std::size_t>(p), sizeof point);
        return floorDiv(point, 256);
    } else {
        return static_cast<const std::int8_t*>(data)[p];
    }
}

// The row of trace column j of a voice whose baseline is y0, scale sample x
// volume units to the pixel.
template <bool kSixteenBit>
int traceY(const ScopeVoice& voice, std::uint32_t j, int y0, int scale, int last_y) {
    int y = y0;
    if (voice.data) {
        std::uint32_t p = j + voice.position;
        if (p >= voice.loop_end) {
            if (voice.loop_once)
                p -= voice.loop_length;
            else if (voice.loop_length)
                p = voice.loop_end - voice.loop_length + (p - voice.loop_end) % voice.loop_length;
        }
        if (p < voice.length) {
            const std::int32_t s = pointAt<kSixteenBit>(voice.data, p);
            y = y0 + floorDiv((-s - 1) * static_cast<std::int32_t>(voice.volume), scale);
            if (y < 0) y = 0;
        }
    }
    return y < last_y ? y : last_y;
}

// One trace: kScopeWidth columns of a voice from baseline y0, coloured from
// wheel entry (j + i + offset) for column j.
template <bool kSixteenBit>
void drawTrace(std::uint16_t* pixels, int width, const ScopeVoice& voice, int y0, int scale, int i, int offset,
               int last_y) {
    for (int j = 0; j < kScopeWidth; ++j) {
        const int y = traceY<kSixteenBit>(voice, static_cast<std::uint32_t>(j), y0, scale, last_y);
        pixels[y * width + kScopeX + j] =
            static_cast<std::uint16_t>(coltab[static_cast<std::size_t>((j + i + offset) % kColtabSize)]);
    }
}

// "first-last" of a group of columns, at the end of the position line.
void drawGroup(SDL_Surface* screen, const char* group) { textOut(screen, kGroupX, kPositionY, group, kWhite, 0, 0); }

// Where the pictures end: the screen's last line, or the one above the status line.
int lastRow() { return statusShown() ? kScreenRows - 1 : kScreenRows; }
int lastY() { return statusShown() ? kStatusLineY - 1 : kLastY; }

}  // namespace

void drawSampleViewer(SDL_Surface* screen, const NowPlaying& now) {
    if (!screen || !now.shown) return;
    clearWithTitles(screen, titlesOf(now));
    const int first = firstShownInstrument(now.instruments);
    const int shown = std::min(kMeterColumns, now.instruments - first);
    if (now.instruments > kMeterColumns) {
        char group[32];
        std::snprintf(group, sizeof group, " in %03d-%03d", (first + 1) % 1000, (first + shown) % 1000);
        drawGroup(screen, group);
    }

    for (int i = 0; i < shown; ++i) {
        // Guards against a meter taller than the screen; above the status
        // line the tallest loses a line.
        const int m = std::clamp(viewsMeter(first + i + 1), 0, kMaxMeter - (kScreenRows - lastRow()));
        const int colour = coltab[static_cast<std::size_t>((kColumnHue * i + colindex) % kColtabSize)];
        for (int n = 0; n < m; ++n) textOut(screen, kCell * i, (lastRow() - m + n) * kCell, "#", colour, 0, 0);
        if (++c == kColumnsPerMove) {
            c = 0;
            stepIndex(colindex);
        }
    }
}

void drawQuadrascopes(SDL_Surface* screen, const NowPlaying& now, const ScopeVoice* voices) {
    if (!screen || !now.shown) return;
    const int first_channel = firstShownChannel(now.channels);

    // Drawn apart from the tick's drawing of views 1 and 2.
    std::lock_guard<std::mutex> drawing(screen_mutex);
    clearWithTitles(screen, titlesOf(now));
    const bool tall = now.channels <= kTallScopes;
    const int shown = std::min(kChannelsShown, now.channels - first_channel);
    if (now.channels > kChannelsShown) {
        // Channel numbers stay below 100: a module has at most 64.
        char group[32];
        std::snprintf(group, sizeof group, " ch %02d-%02d", (first_channel + 1) % 100, (first_channel + shown) % 100);
        drawGroup(screen, group);
    }
    auto* const pixels = static_cast<std::uint16_t*>(screen->pixels);
    const int width = screen->w;
    const bool status = statusShown();
    const int last_y = lastY();
    for (int i = 0; i < shown; ++i) {
        const int spacing = tall ? (status ? kScopeSpacingAboveStatus : kScopeSpacing)
                                 : (status ? kShortSpacingAboveStatus : kShortSpacing);
        const int y0 = (tall ? kScopeFirstBaseline : kShortFirstBaseline) + spacing * i;
        const int scale = tall ? kTallScale : kShortScale;
        if (voices[i].sixteen_bit)
            drawTrace<true>(pixels, width, voices[i], y0, scale, i, colindex2, last_y);
        else
            drawTrace<false>(pixels, width, voices[i], y0, scale, i, colindex2, last_y);
        if (++c2 == kTracesPerMove) {
            c2 = 0;
            stepIndex(colindex2);
        }
    }
}
