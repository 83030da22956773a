// The in-memory form of a loaded ProTracker module and the reader that builds
// it from a MOD file: 31-sample files with a format tag naming 1 to 32
// channels, and the untagged 15-sample files of the first trackers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "player/engine.h"

// One pattern cell, decoded and clamped when the file is read.
struct PatternCell {
    std::int32_t period;  // Amiga period: 0 = no note, else 113..856
    std::int32_t sample;  // 0 = none, else 1..31 (past num_samples: an empty sample)
    std::int32_t effect;  // command 0..15
    std::int32_t param;   // parameter 0..255, clamped per command
};

// Limits of the format, applied when a file is read and kept by the engine.
constexpr int kMinPeriod = 113;  // B-3, the highest note
constexpr int kMaxPeriod = 856;  // C-1, the lowest note
// Volumes go up to kMaxVolume (audio/audio_mixer.h).

// The effect commands, as the command nibble of a cell numbers them.
enum EffectCommand : std::int32_t {
    kEffectArpeggio = 0x0,
    kEffectPortaUp = 0x1,
    kEffectPortaDown = 0x2,
    kEffectTonePorta = 0x3,
    kEffectVibrato = 0x4,
    kEffectTonePortaVolSlide = 0x5,
    kEffectVibratoVolSlide = 0x6,
    kEffectTremolo = 0x7,
    kEffectPanning = 0x8,
    kEffectSampleOffset = 0x9,
    kEffectVolumeSlide = 0xA,
    kEffectPositionJump = 0xB,
    kEffectSetVolume = 0xC,
    kEffectPatternBreak = 0xD,
    kEffectExtended = 0xE,
    kEffectSpeed = 0xF,
};

constexpr int kRowsPerPattern = 64;
constexpr int kMaxChannels = 32;
constexpr int kNumSamples = 31;      // sample headers of a tagged file; Module::samples holds as many
constexpr int kOldNumSamples = 15;   // sample headers of an untagged file
constexpr int kOrderSlots = 128;
// Order bytes go up to 255, so the table holds a block for every byte value.
constexpr int kPatternSlots = 256;

// The layout of a MOD file: the title, the sample headers, the song length
// and restart bytes, the order table and (31 samples only) the tag; then
// the patterns, kRowsPerPattern rows of one cell per channel; then the
// sample data, sample after sample.
constexpr int kTitleBytes = 20;
constexpr int kSampleNameBytes = 22;
constexpr int kSampleHeaderBytes = 30;  // name, length, finetune, volume, loop start, loop length
// Where the tag stands (kTagOffset, kTagBytes) is in player/engine.h: a
// refusal quotes those bytes of any file.
constexpr int kHeaderBytes = kTagOffset + kTagBytes;  // a tagged file's patterns start here
constexpr int kCellBytes = 4;
static_assert(kTitleBytes + kNumSamples * kSampleHeaderBytes + 2 + kOrderSlots == kTagOffset, "the 31-sample header");

struct Sample {
    char name[24];              // up to 22 characters, zero-terminated
    std::int32_t length;        // bytes, even, 0..131070
    std::int32_t offset;        // byte offset inside Module::sample_data
    std::int32_t loop_start;    // bytes from the sample's start (even)
    std::int32_t loop_length;   // bytes: 0 = no loop, else >= kMinLoopBytes
    std::int32_t finetune;      // 0..15, rewritten by command E5
    std::int32_t volume;        // default volume 0..64
    std::int32_t missing;       // bytes of its data past the file's end, read as zero: 0..length
};

struct Module {
    std::int32_t restart_enabled;  // 1 when the restart byte was below 127
    std::int32_t row;              // mirrors of the playing position, for the views
    std::int32_t order;
    std::int32_t pattern;
    std::int32_t bpm;
    std::int32_t speed;
    std::int32_t loaded;           // 1 once the whole file has been read
    std::int32_t sample_bytes;     // size of sample_data
    std::int32_t restart_pos;      // 0..song_length when restart_enabled
    std::int32_t song_length;      // 0..128
    std::int32_t num_patterns;     // 1 + largest order entry (1..256)
    std::int32_t orders[kOrderSlots];  // pattern numbers 0..255
    char name[24];                 // title, up to 20 characters, zero-terminated
    Sample samples[kNumSamples];   // sample n (1..31) is entry n-1; past num_samples all zero
    // Blocks of kRowsPerPattern * channels cells, row by row: cell (row, channel)
    // is entry row * channels + channel.
    PatternCell* patterns[kPatternSlots];
    std::int8_t* sample_data;      // all samples back to back
    std::int32_t channels;         // channels and voices the module plays: 1..kMaxChannels
    std::int32_t num_samples;      // sample headers in the file: 31, or 15 for an untagged file
    char tag[kTagBytes + 1];       // the format tag as in the file, zero-terminated; "" when untagged
};

// The sample-data block of the most recent successful load (null before any,
// and once that module is freed).
extern std::int8_t* file_sample_data;

// Reads the MOD file at path. Returns a fully loaded Module, or null when the
// file can't be opened, carries none of the accepted tags and isn't a
// plausible 15-sample file either, or memory runs out; then fills *why (when
// given) from what was read of the file; on success why->reason is kNone.
// Accepted tags: M.K. M!K! M&K! N.T. FLT4 (4 channels), 1CHN..9CHN,
// 10CH..32CH, 10CN..32CN (the number of channels), CD81 OKTA OCTA FLT8 (8),
// TDZ1..TDZ3 (1..3). Prints nothing. Bytes past the end of a short tagged
// file read as zero (Sample::missing counts them in the sample data).
Module* zindleLoad(const char* path, LoadRefusal* why = nullptr);

// Whether the file at path is a module zindleLoad reads, from its first
// bytes alone (the rest of a file may still fail to load). False after
// filling *why (when given) as zindleLoad would.
bool zindleProbe(const char* path, LoadRefusal* why = nullptr);

// A module whose file ends inside its sample data (a broken download) plays
// silence where the data is missing; these say so. The bytes missing, all
// samples together.
int zindleMissingSampleBytes(const Module& module);
// Writes "sample data cut short: N bytes missing (sample 3: 200, sample 4:
// 1000)" to out (at most size bytes, zero-terminated); "" when nothing is
// missing. kShortDataTextBytes always holds the whole text.
constexpr std::size_t kShortDataTextBytes = 512;
void zindleDescribeShortData(const Module& module, char* out, std::size_t size);

// Releases the module with its pattern blocks and sample data; the module
// playing (source) is stopped and its voices silenced first. Null does nothing.
void zindleFree(Module* module);
