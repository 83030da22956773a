// The status line's state and drawing. The tick draws it on the audio thread
// after views 1 and 2, so it formats into fixed buffers and never allocates.
#include "display/status_line.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "audio/audio_mixer.h"
#include "display/textout.h"

namespace {

constexpr std::uint64_t kSecondsPerMinute = 60;
constexpr std::uint64_t kSecondsPerHour = 3600;
constexpr int kTextX = 0;

StatusFacts facts;

}  // namespace

void statusSet(const StatusFacts& set) {
    facts = set;
    facts.right[kStatusRightChars] = '\0';
}

bool statusShown() { return facts.shown; }

bool statusPaused() { return facts.paused; }

void statusFormatTime(std::uint64_t frames, char* out, std::size_t size) {
    const unsigned long long seconds = frames / kOutputRate;
    if (seconds >= kSecondsPerHour)
        std::snprintf(out, size, "%llu:%02llu:%02llu", seconds / kSecondsPerHour,
                      seconds / kSecondsPerMinute % kSecondsPerMinute, seconds % kSecondsPerMinute);
    else
        std::snprintf(out, size, "%llu:%02llu", seconds / kSecondsPerMinute, seconds % kSecondsPerMinute);
}

void statusText(const NowPlaying& now, char* out, std::size_t size) {
    if (size == 0) return;
    char elapsed[24];
    char length[24] = "--:--";
    statusFormatTime(now.elapsed_frames, elapsed, sizeof elapsed);
    if (now.pass_frames > 0) statusFormatTime(now.pass_frames, length, sizeof length);
    char left[kStatusChars * 2];
    int used = std::snprintf(left, sizeof left, "%s/%s", elapsed, length);
    if (now.pass > 1 && used >= 0)
        used += std::snprintf(left + used, sizeof left - static_cast<std::size_t>(used), " pass %d", now.pass);
    if (facts.paused && used >= 0) std::snprintf(left + used, sizeof left - static_cast<std::size_t>(used), "  Paused");
    // The right end keeps its place; the left gives way when both don't fit.
    const int right = static_cast<int>(std::strlen(facts.right));
    const int room = std::max(0, kStatusChars - right - (right > 0 ? 1 : 0));
    const int left_chars = std::min(room, static_cast<int>(std::strlen(left)));
    const int gap = kStatusChars - left_chars - right;
    std::snprintf(out, size, "%.*s%*s%s", left_chars, left, std::max(gap, 0), "", facts.right);
}

void statusDraw(SDL_Surface* surface, const NowPlaying& now) {
    if (!surface || !facts.shown) return;
    char text[kStatusChars + 1];
    statusText(now, text, sizeof text);
    SDL_Rect strip{0, static_cast<Sint16>(kStatusLineY), static_cast<Uint16>(kScreenWidth),
                   static_cast<Uint16>(kCellSize)};
    SDL_FillRect(surface, &strip, kBlack);
    textOut(surface, kTextX, kStatusLineY, text, kWhite, 0, 0);
}

void statusReset() { facts = StatusFacts{}; }
