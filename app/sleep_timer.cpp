#include "app/sleep_timer.h"

#include <array>

namespace {

constexpr std::uint32_t kMsPerMinute = 60 * 1000;
// The button's steps, after off.
constexpr std::array<int, 5> kSteps = {15, 30, 45, 60, 90};

int set_minutes = 0;            // 0: off
std::uint32_t deadline_ms = 0;  // when it runs out

// Milliseconds from now_ms to the deadline, 0 once past (the clock wraps
// after 49 days: the difference is read as signed).
std::uint32_t left(std::uint32_t now_ms) {
    const auto ahead = static_cast<std::int32_t>(deadline_ms - now_ms);
    return ahead > 0 ? static_cast<std::uint32_t>(ahead) : 0;
}

}  // namespace

void sleepSet(int minutes, std::uint32_t now_ms) {
    set_minutes = minutes > 0 && minutes <= kMaxSleepMinutes ? minutes : 0;
    deadline_ms = now_ms + static_cast<std::uint32_t>(set_minutes) * kMsPerMinute;
}

int sleepStep(std::uint32_t now_ms) {
    int next = 0;
    for (const int step : kSteps)
        if (step > set_minutes) {
            next = step;
            break;
        }
    sleepSet(next, now_ms);
    return next;
}

bool sleepRunning() { return set_minutes != 0; }

int sleepMinutesLeft(std::uint32_t now_ms) {
    if (!sleepRunning()) return 0;
    return static_cast<int>((left(now_ms) + kMsPerMinute - 1) / kMsPerMinute);
}

bool sleepDue(std::uint32_t now_ms) { return sleepRunning() && left(now_ms) == 0; }
