// The sleep timer: the music ends after the minutes it is set to, fading to
// silence over its last seconds, and the player with it, as Escape ends it.
// Times are SDL_GetTicks milliseconds, given by the caller.
#pragma once

#include <cstdint>

// The longest time the timer takes, in minutes (a day).
constexpr int kMaxSleepMinutes = 24 * 60;
// The fade to silence when the time has run out.
constexpr int kSleepFadeSeconds = 10;

// Sets the timer to end minutes (1..kMaxSleepMinutes) from now_ms; 0 turns it off.
void sleepSet(int minutes, std::uint32_t now_ms);
// The list's button: off, 15, 30, 45, 60, 90 minutes, then off again, each
// from now_ms; from a time between two steps, the next step above. Returns
// the minutes now set (0: off).
int sleepStep(std::uint32_t now_ms);
bool sleepRunning();
// The minutes left at now_ms, rounded up (0 once the time has run out).
int sleepMinutesLeft(std::uint32_t now_ms);
// Whether the time has run out at now_ms.
bool sleepDue(std::uint32_t now_ms);
