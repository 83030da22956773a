// What is playing, as the views show it: one record whichever engine plays.
// The engine playing fills it (player/engine.h: songDescribe and
// songDescribeVoices) at the tick's redraw point on the audio thread or under
// the audio lock; the views draw from it alone and never ask which engine it is.
#pragma once

#include <cstdint>

// A song name is shown with at most this many characters.
constexpr int kShownTitleChars = 20;
// Instruments (MOD: samples) an engine numbers for the meters: 1..kMaxInstruments.
constexpr int kMaxInstruments = 256;

// The hex digits of view 1's text: effect parameters and row numbers in
// capitals; in lowercase the codes of the effects no letter names.
inline constexpr char hextable[17] = "0123456789ABCDEF";
inline constexpr char kLowerHexDigits[17] = "0123456789abcdef";

// One pattern cell as view 1 writes it, each field zero-terminated text.
struct CellText {
    char note[4];        // "C-2", "F#4"; "..." no note; "???" a note the engine can't name
    char instrument[4];  // NowPlaying::instrument_chars digits, or as many dots for none
    char effect[5];      // three characters ("A0F", "..." none), or four for an effect shown by code
};

// Writes the cell at (row, channel) of pattern into out. row lies in
// 0..NowPlaying::rows-1 and channel in 0..NowPlaying::channels-1 of a
// description whose song and pattern these are.
using CellReader = void (*)(const void* song, int pattern, int row, int channel, CellText* out);

struct NowPlaying {
    bool shown = false;    // a module is there: views 2 and 4 show its titles
    bool playing = false;  // and it plays: view 1 shows its pattern
    char title[kShownTitleChars + 1] = {};
    int order = 0;         // order position
    int song_length = 0;   // order positions in the song
    int bpm = 0;
    int speed = 0;         // ticks per row
    int pattern = 0;       // the pattern at the order position
    int row = 0;           // the row playing
    int rows = 0;          // rows of that pattern; 0 when there is none to show
    int channels = 0;      // 1..64
    int instruments = 0;   // meter columns in all: instruments numbered 1..instruments
    int instrument_chars = 2;  // digits of an instrument number in a cell: 2 or 3
    int effect_chars = 3;      // the widest effect text a cell can hold: 3 or 4
    bool hex_rows = false;     // row numbers in hexadecimal (patterns past 100 rows)
    const void* song = nullptr;
    CellReader cell = nullptr;
    // The song's own time (songElapsedFrames), one pass's length (0 until
    // known) in frames at 48000 Hz, and the pass playing (1..).
    std::uint64_t elapsed_frames = 0;
    std::uint64_t pass_frames = 0;
    int pass = 1;
};

// The voice under one channel, for its oscilloscope: a copy of what the
// engine plays, whose sample data stays valid while the module is loaded.
struct ScopeVoice {
    const void* data = nullptr;  // the sample's first point; null: silent
    bool sixteen_bit = false;    // points are 16-bit (else 8-bit), native byte order
    std::uint32_t length = 0;    // points
    std::uint32_t loop_end = 0;  // the point after the loop; 0: no loop
    std::uint32_t loop_length = 0;
    // The MOD scopes follow a loop once, then go flat past its end; libxmp's
    // voices follow it as often as the trace needs, so that a short waveform
    // (an XM's 32-point loop) fills the scope as it sounds.
    bool loop_once = true;
    std::uint32_t position = 0;  // the point playing
    std::uint8_t volume = 0;     // 0..64
};
