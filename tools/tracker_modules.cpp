// An XM, an S3M and an IT composed in code, for libxmp's engine: eight
// channels (bass, a chord, a lead and drums) on synthesized 8- and 16-bit
// instruments, with vibrato and volume slides. The README's pictures of a
// module libxmp plays are taken of trackers.xm. And songs.xm, three songs in
// one module, each of two positions that jump back to its own first.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/module_sets.h"
#include "tools/trackerwriter.h"

namespace {

using trackerwriter::Sample;
using trackerwriter::Song;

constexpr double kPi = 3.14159265358979323846;

// One period of a wave, or a burst of noise, at full scale for its width.
Sample wave(const std::string& name, int kind, bool sixteen_bit, int length, bool loop) {
    Sample s;
    s.name = name;
    s.sixteen_bit = sixteen_bit;
    const double full = sixteen_bit ? 24000.0 : 94.0;
    std::uint32_t noise = 12345;
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / length;
        double v = 0;
        switch (kind) {
        case 0: v = std::sin(2 * kPi * t); break;                                  // sine
        case 1: v = 2 * t - 1; break;                                              // saw
        case 2: v = t < 0.5 ? 0.8 : -0.8; break;                                   // square
        case 3: v = std::sin(2 * kPi * t) * 0.6 + std::sin(6 * kPi * t) * 0.4; break;  // organ
        default:                                                                    // a decaying noise burst
            noise = noise * 1103515245u + 12345u;
            v = (static_cast<double>((noise >> 16) & 0x7FFF) / 16384.0 - 1.0) * (1.0 - t);
        }
        s.data.push_back(static_cast<std::int16_t>(std::lround(v * full)));
    }
    s.loop_length = loop ? length : 0;
    return s;
}

Song composition(bool letters_from_a) {
    Song song;
    song.title = "zindle trackers";
    song.channels = 8;
    song.orders = {0, 1, 2, 1, 3};
    song.samples = {wave("bass saw", 1, true, 64, true),   wave("chord square", 2, false, 32, true),
                    wave("lead sine", 0, true, 64, true),  wave("organ", 3, false, 64, true),
                    wave("kick", 4, true, 2400, false),    wave("snare", 4, false, 1800, false),
                    wave("hat", 4, false, 400, false)};
    const char* vibrato = letters_from_a ? "H43" : "443";
    const char* fade = letters_from_a ? "D02" : "A02";
    static const char* kBass[4][4] = {{"C-3", "C-3", "G-2", "A#2"}, {"A-2", "A-2", "F-2", "G-2"},
                                      {"F-2", "G-2", "A-2", "A#2"}, {"C-3", "G-2", "C-3", "C-3"}};
    static const char* kChord[4][3] = {{"C-5", "E-5", "G-5"}, {"A-4", "C-5", "E-5"}, {"F-4", "A-4", "C-5"},
                                       {"G-4", "B-4", "D-5"}};
    static const char* kLead[4][4] = {{"G-5", "E-5", "C-6", "D-6"}, {"E-6", "C-6", "A-5", "G-5"},
                                      {"F-5", "A-5", "C-6", "F-6"}, {"E-6", "D-6", "B-5", "C-6"}};
    for (int p = 0; p < 4; ++p) {
        for (int row = 0; row < 64; ++row) {
            const int beat = row / 16;
            std::string text = row % 4 == 0 ? std::string(kBass[p][beat]) + " 01 40 ... | " : "--- .. .. ... | ";
            for (int c = 0; c < 3; ++c)
                text += row % 16 == 0 ? std::string(kChord[(p + beat) % 4][c]) + " 02 20 ... | "
                                      : row % 16 == 8 ? std::string("--- .. .. ") + fade + " | " : "--- .. .. ... | ";
            text += row % 8 == 0 ? std::string(kLead[p][beat]) + (p % 2 ? " 04" : " 03") + " 36 ... | "
                                 : std::string("--- .. .. ") + vibrato + " | ";
            text += row % 16 == 0 || row % 16 == 10 ? "C-4 05 .. ... | " : "--- .. .. ... | ";
            text += row % 8 == 4 ? "D-5 06 30 ... | " : "--- .. .. ... | ";
            text += row % 2 == 0 ? "A-6 07 18 ... |" : "--- .. .. ... |";
            song.row(p, row, text, letters_from_a);
        }
    }
    return song;
}

// Songs start at positions 0, 2 and 4; the second position of each ends
// in a jump back to the first, so no pass of one reaches another. Patterns
// of 16 rows at speed 6, 125 BPM: a position lasts 16 * 6 * 960 frames.
Song threeSongs() {
    constexpr int kSongs = 3;
    constexpr int kRows = 16;
    static const char* kNotes[kSongs] = {"C-4", "E-4", "G-4"};
    Song song;
    song.title = "zindle three songs";
    song.channels = 2;
    song.samples = {wave("square", 2, false, 32, true)};
    for (int p = 0; p < 2 * kSongs; ++p) {
        song.orders.push_back(p);
        song.patterns.push_back(trackerwriter::Pattern{kRows, {}});
        for (int row = 0; row < kRows; row += 4)
            song.row(p, row, std::string(kNotes[p / 2]) + " 01 40 ... | " + (row == 0 ? "C-3 01 30 ..." : "--- .. .. ..."));
    }
    for (int s = 0; s < kSongs; ++s) {
        char jump[] = "--- .. .. B00 | --- .. .. ...";
        jump[12] = static_cast<char>('0' + 2 * s);
        song.row(2 * s + 1, kRows - 1, jump);
    }
    return song;
}

}  // namespace

std::vector<ModuleFile> trackerModules() {
    return {{"trackers.xm", composition(false).xm()},
            {"trackers.s3m", composition(true).s3m()},
            {"trackers.it", composition(true).it()},
            {"songs.xm", threeSongs().xm()}};
}
