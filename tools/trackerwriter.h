// A small writer of XM, S3M and IT modules, for tests and the fuzzer's
// seeds: one song description written in any of the three formats, every
// instrument a single sample (IT in sample mode). Fields hold what goes into
// the file, effects in the format's own numbering, so that odd files are as
// easy to write as good ones. Also a gzip wrapper, for packed modules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trackerwriter {

constexpr int kNoNote = 0;
constexpr int kKeyOff = 97;  // the note that releases a key (XM 97, S3M/IT note off)
constexpr int kNoVolume = -1;

// A note number: 1 is C-0, twelve to the octave ("C-4" = 49).
int noteNumber(const std::string& name);

struct Sample {
    std::string name;
    std::vector<std::int16_t> data;  // points; an 8-bit sample's lie in -128..127
    bool sixteen_bit = false;
    int volume = 64;
    int loop_start = 0;   // points
    int loop_length = 0;  // points; 0: no loop
    int relative_note = 0;  // XM: semitones from C-4 at 8363 Hz
    int finetune = 0;       // XM: -128..127
    int c5speed = 8363;     // S3M and IT: the rate of C-5 (S3M: C-4)
};

struct Cell {
    int note = kNoNote;     // 1.. (noteNumber), kKeyOff
    int instrument = 0;     // 0: none
    int volume = kNoVolume; // 0..64 in the volume column, kNoVolume: none
    int effect = 0;         // XM: 0..35; S3M, IT: 1..26 for A..Z; 0: none
    int param = 0;
};

struct Pattern {
    int rows = 64;            // S3M: always 64
    std::vector<Cell> cells;  // rows x channels, row by row
};

struct Song {
    std::string title;
    int channels = 4;
    int speed = 6;
    int tempo = 125;
    int restart = 0;
    std::vector<int> orders;
    std::vector<Pattern> patterns;
    std::vector<Sample> samples;  // sample n is instrument n (1..)

    // The cell of a pattern, growing the pattern list (64 rows each) as needed.
    Cell& at(int pattern, int row, int channel);
    // Sets a row from text, one "NOTE II VV EPP" group per channel separated
    // by '|': "C-4 01 40 A0F | --- .. .. ... | ...". Note "---" none, "off"
    // a key off; ".." no instrument or volume; "..." no effect, else the
    // effect's character (0-9, A-Z) and two hex digits, read in the format's
    // numbering: XM's 0-9, A-Z as 0..35; for S3M and IT, A..Z as 1..26.
    void row(int pattern, int row, const std::string& text, bool letters_from_a = false);

    std::vector<std::uint8_t> xm() const;
    std::vector<std::uint8_t> s3m() const;
    std::vector<std::uint8_t> it() const;
};

// A looping saw of length points (never all zero), 8- or 16-bit.
Sample sawSample(int length, bool sixteen_bit = false, int volume = 64);

// bytes as a gzip file (stored, uncompressed deflate blocks).
std::vector<std::uint8_t> gzip(const std::vector<std::uint8_t>& bytes);

}  // namespace trackerwriter
