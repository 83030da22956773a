// The status line: one text line of its own at the bottom of every view,
// with the song's time ("1:23/4:56", the pass from the second on), "Paused",
// and at its right end the list's modes and "n/N". The player says what it
// holds and whether it is shown; the views draw it after their own picture.
#pragma once

#include <SDL/SDL.h>

#include <cstddef>
#include <cstdint>

#include "display/screen.h"
#include "player/now_playing.h"

// The line's place and width, in characters.
constexpr int kStatusLineY = kScreenHeight - kCellSize;
constexpr int kStatusChars = kScreenWidth / kCellSize;
// The right end's text at most: the list's modes and counter.
constexpr int kStatusRightChars = 30;

// What the player tells the status line.
struct StatusFacts {
    bool shown = false;
    bool paused = false;
    char right[kStatusRightChars + 1] = {};  // "Shuf Loop Sleep 14 3/31", or ""
};
// Set on the main thread under the audio lock (the tick reads it).
void statusSet(const StatusFacts& facts);
bool statusShown();
bool statusPaused();

// frames at 48000 Hz as a time: "m:ss", "h:mm:ss" from an hour on.
void statusFormatTime(std::uint64_t frames, char* out, std::size_t size);
// The line's text for what plays (kStatusChars + 1 bytes hold it): the
// elapsed time and one pass's length ("--:--" until known), " pass N" from
// the second pass, "  Paused", and the right end's text flush right.
void statusText(const NowPlaying& now, char* out, std::size_t size);
// Draws the line onto the bottom text line of surface, on black, when shown.
void statusDraw(SDL_Surface* surface, const NowPlaying& now);
// Program start: not shown, nothing paused, nothing at the right.
void statusReset();
