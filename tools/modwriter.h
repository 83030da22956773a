// A small writer of MOD files, for tests, benchmarks and the demo module:
// any tag, 1 to 32 channels, StarTrekker's paired 8-channel layout and the
// untagged 15-sample files. Fields hold the raw values that go into the file,
// so that hostile files (odd lengths, bad bytes, a tag that disagrees with
// the channels written) can be written as easily as good ones.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "player/protracker_loader.h"

namespace modwriter {

struct SampleDesc {
    std::string name;                 // up to kSampleNameBytes (22) bytes are written
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

constexpr int kMaxWriterChannels = kMaxChannels;
// kRowsPerPattern rows of kMaxWriterChannels cells, row by row; Song::channels of each row are written.
using Pattern = std::array<Cell, kRowsPerPattern * kMaxWriterChannels>;

struct Song {
    std::string title;                    // up to kTitleBytes (20) bytes are written
    std::array<SampleDesc, kNumSamples> samples;  // with num_samples 15, the first 15 are written
    int song_length = 1;                  // raw byte
    int restart = 127;                    // raw byte
    std::array<int, kOrderSlots> orders{};  // raw bytes
    std::string tag = "M.K.";             // not written with num_samples 15
    int channels = 4;                     // cells written per row, 1..32
    int num_samples = 31;                 // 31, or 15 for an untagged file
    // Each pattern written as two 4-channel blocks, channels 1-4 then 5-8, as
    // FLT8 files hold them (channels should be 8); orders stay raw bytes,
    // counting those blocks.
    bool paired_blocks = false;
    std::vector<Pattern> patterns;        // patterns written in order
    int pattern_blocks = -1;              // patterns written; -1: 1 + largest order entry
                                          // (halved first with paired_blocks)

    // The cell of a pattern, growing the pattern list as needed.
    Cell& at(int pattern, int row, int channel);
    // Sets a row from text, one field group per channel (up to `channels`) separated by '|':
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
