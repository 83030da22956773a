// A small writer of four-channel MOD files, for tests, benchmarks and the
// demo module. Fields hold the raw values that go into the file, so that
// hostile files (odd lengths, bad bytes) can be written as easily as good ones.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace modwriter {

struct SampleDesc {
    std::string name;                 // up to 22 bytes are written
    std::vector<std::int8_t> data;    // written after the patterns
    int length_words = -1;            // -1: (data.size() + 1) / 2
    int finetune = 0;                 // raw byte
    int volume = 64;                  // raw byte
    int loop_start_words = 0;
    int loop_length_words = 0;        // 0 or 1 = no loop
};

struct Cell {
    int period = 0;  // 12 bits are written
    int sample = 0;  // 0..255: high nibble in byte 0, low nibble in byte 2
    int effect = 0;  // 0..15
    int param = 0;   // 0..255
};

using Pattern = std::array<Cell, 256>;  // 64 rows x 4 channels, row by row

struct Song {
    std::string title;                    // up to 20 bytes are written
    std::array<SampleDesc, 31> samples;
    int song_length = 1;                  // raw byte
    int restart = 127;                    // raw byte
    std::array<int, 128> orders{};        // raw bytes
    std::string tag = "M.K.";
    std::vector<Pattern> patterns;        // pattern blocks written in order
    int pattern_blocks = -1;              // -1: 1 + largest order entry

    // The cell of a pattern, growing the pattern list as needed.
    Cell& at(int pattern, int row, int channel);
    // Sets a row from text, one field group per channel separated by '|':
    // "C-2 01 A0F | --- -- 000 | ...". Note "---" or "..." is no note,
    // "--"/".." no sample, "..."/"000" no effect.
    void row(int pattern, int row, const std::string& text);
    // The whole file.
    std::vector<std::uint8_t> bytes() const;
    // Writes the file; false when it can't be written.
    bool write(const std::string& path) const;
};

// Period of a note name such as "C-2" or "F#3" at finetune 0 (0 for "---").
int notePeriod(const std::string& name);
// Parses one channel's "NOTE SS EFF" group.
Cell parseCell(const std::string& text);

}  // namespace modwriter
