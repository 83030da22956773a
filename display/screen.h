// The player's screen: its size and depth, and the named colours of the
// palette every view draws with (RGB565).
#pragma once

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 240;
constexpr int kScreenDepth = 16;   // bits per pixel
constexpr int kCellSize = 8;       // one character of the font, square

constexpr int kBlack = 0x0000;
constexpr int kWhite = 0xFFFF;
constexpr int kRowColour = 0xD6BA;     // row numbers and channel numbers
constexpr int kSampleColour = 0x171F;  // sample numbers
constexpr int kEffectColour = 0xFF0F;  // effect commands
constexpr int kHighlight = 0x43D3;     // the bar under the row being played
