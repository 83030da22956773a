// The hostile modules of tests/test_hostile.cpp, built in code: damaged,
// truncated and deliberately odd files. The test plays them through the
// engine; `zindle-make-modules corpus` writes them to files for comparing renderers
// (scripts/cross-check.sh). Needs only the MOD writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/modwriter.h"
#include "tools/trackerwriter.h"

namespace hostile {

constexpr int kTagEnd = kHeaderBytes;  // the format tag ends here; pattern data follows
constexpr int kPatternBytes = kRowsPerPattern * 4 * kCellBytes;  // a 4-channel pattern

struct NamedSong {
    std::string what;  // what the case is, for messages (and file names)
    modwriter::Song song;
};

struct NamedBytes {
    std::string what;
    std::vector<std::uint8_t> bytes;
    std::string extension = ".mod";  // of the file the case is written to
};

// A saw of `bytes` bytes (never all zero), looped when loop_length_words > 1.
modwriter::SampleDesc saw(int bytes, int loop_start_words = 0, int loop_length_words = 0);

// Three samples, two patterns of notes and commands, and everything after the
// tag in the file: the subject of the cuts.
modwriter::Song richSong();

// The lengths richSong() is cut to that must load and play: at each boundary
// from the tag on and inside each field. Every shorter cut must be refused.
std::vector<int> playedCuts();

// Order entries up to 255 whose patterns the file doesn't hold.
std::vector<NamedSong> ordersPastThePatternData();

// Every kind of sample length and loop, with notes, sample changes under a
// playing voice, offsets and the invert loop; long ones also cut short.
std::vector<NamedBytes> sampleLengthsAndLoops();

// Every period the twelve bits can hold, at every finetune, one row per tick
// over sixteen patterns.
modwriter::Song everyPeriod();

// Every command, extended ones included, with parameters 00, 0F, F0 and FF,
// on notes, on empty cells and on a channel without a sample yet.
std::vector<NamedSong> everyCommand();

// Titles and sample names of control bytes and bytes of 128 and more.
std::vector<NamedSong> controlAndHighBytesInNames();

// Song lengths of 0, 128 and 200, with jumps and breaks past the end.
std::vector<NamedSong> songLengthsAtTheLimits();

// A song of `length` positions, restart at `restart`, patterns 0 and 1 in turn.
modwriter::Song jumpSong(int length, int restart);

struct JumpCase {
    int length;
    int restart;
    int target;          // zindleJump's argument
    int expected_order;  // where the song goes on
};
// zindleJump to -1, 0, the song's length and 200, in songs of 0, 5 and 128 positions.
std::vector<JumpCase> jumpCases();

// --- XM, S3M and IT files, for libxmp: what our side reads of what it
// loaded (the description of what plays, the scopes' sample data) must stay
// inside it whatever the file says.

// A song of six channels, 8- and 16-bit samples looped and not, notes,
// effects and a pattern loop, in the format of extension (".xm", ".s3m",
// ".it").
std::vector<std::uint8_t> trackerFile(const std::string& extension);

// Each format's file cut short: inside the header, at every 16 bytes of the
// first kilobyte, then at every 128 bytes, and one byte short of the whole.
std::vector<NamedBytes> trackerCuts();

// Each format's file with a few bytes changed, at places and to values drawn
// from a fixed seed: counts, offsets, lengths and flags become anything.
std::vector<NamedBytes> trackerMutants();

// Shapes at the formats' limits: 256- and 1-row patterns, 128 instruments,
// 32 and 64 channels, an empty order list, odd 16-bit lengths, loops past
// their sample's end, samples of one point.
std::vector<NamedBytes> trackerLimits();

}  // namespace hostile
