// Modules of the shapes beyond four channels and 31 samples, composed so
// that their timelines tell the shapes apart: 6, 8, 16 and 32 channels (the
// timing commands on the highest channels), FLT8 (odd order entries, a
// pattern break only the second block of each pattern holds) and untagged
// 15-sample files. bench/timelines.sh compares their order/row/tick
// timelines with libxmp's; the README's 8-channel screenshots show ch8.mod.
#include <cmath>
#include <string>
#include <vector>

#include "tools/module_sets.h"
#include "tools/modwriter.h"

namespace {

using modwriter::Cell;
using modwriter::SampleDesc;
using modwriter::Song;

constexpr double kPi = 3.14159265358979323846;

// A looped single-cycle waveform of 64 bytes: 0 saw, 1 square, 2 sine, 3 triangle.
SampleDesc wave(int kind, const std::string& name, int volume) {
    SampleDesc s;
    s.name = name;
    s.volume = volume;
    for (int i = 0; i < 64; ++i) {
        int value = 0;
        switch (kind) {
        case 0: value = i * 4 - 128; break;
        case 1: value = i < 32 ? 100 : -100; break;
        case 2: value = static_cast<int>(std::lround(110 * std::sin(2 * kPi * i / 64))); break;
        default: value = i < 32 ? i * 7 - 112 : 336 - i * 7; break;
        }
        s.data.push_back(static_cast<std::int8_t>(value));
    }
    s.loop_start_words = 0;
    s.loop_length_words = 32;
    return s;
}

constexpr const char* kNotes[] = {"C-2", "E-2", "G-2", "C-3", "A-1", "D-2", "F-2", "B-2"};

// Notes on every channel, then the timing commands on the last channels.
Song composed(int channels, const std::string& tag) {
    Song song;
    song.title = tag + " timeline";
    song.tag = tag;
    song.channels = channels;
    for (int i = 0; i < 4; ++i) song.samples[static_cast<std::size_t>(i)] = wave(i, "wave " + std::to_string(i + 1), 48);
    song.song_length = 5;
    song.orders = {0, 1, 2, 1, 3};
    for (int p = 0; p < 4; ++p)
        for (int row = 0; row < 64; row += 2)
            for (int c = 0; c < channels; ++c)
                if ((row / 2 + c + p) % 3 == 0)
                    song.at(p, row, c) = Cell{modwriter::notePeriod(kNotes[(row / 2 + c) % 8]), 1 + (c + p) % 4, 0, 0};
    const int last = channels - 1;
    const int before = channels > 1 ? channels - 2 : 0;
    song.at(0, 0, last) = Cell{0, 0, 0xF, 0x04};
    song.at(0, 16, before) = Cell{0, 0, 0xF, 0x8C};
    song.at(0, 24, before) = Cell{0, 0, 0xE, 0x60};
    song.at(0, 31, before) = Cell{0, 0, 0xE, 0x62};
    song.at(0, 48, last) = Cell{0, 0, 0xD, 0x10};
    song.at(1, 40, before) = Cell{0, 0, 0xF, 0x03};
    song.at(1, 60, last) = Cell{0, 0, 0xD, 0x00};
    song.at(2, 20, last) = Cell{0, 0, 0xB, 0x04};
    song.at(3, 10, last) = Cell{0, 0, 0xF, 0x06};
    song.at(3, 12, before) = Cell{0, 0, 0xF, 0x7D};
    return song;
}

// FLT8: order entries count 4-channel blocks (odd ones included); each
// pattern breaks at a row of its own, from channel 7, in the second block.
Song flt8() {
    Song song = composed(8, "FLT8");
    song.paired_blocks = true;
    song.song_length = 6;
    song.orders = {0, 3, 2, 5, 4, 1};
    for (int p = 0; p < 3; ++p) song.at(p, 8 * (p + 1), 6) = Cell{0, 0, 0xD, 0x00};
    return song;
}

// The first trackers' files: their Fxx only ever sets the speed (as libxmp
// plays them), so the tempo commands become speeds here.
Song fifteen(int restart) {
    Song song = composed(4, "");
    song.title = "fifteen samples";
    song.num_samples = 15;
    song.restart = restart;
    song.at(0, 16, 2) = Cell{0, 0, 0xF, 0x05};
    song.at(3, 12, 2) = Cell{0, 0, 0xF, 0x02};
    return song;
}

}  // namespace

std::vector<ModuleFile> formatModules() {
    return {
        {"ch6.mod", composed(6, "6CHN").bytes()},    {"ch8.mod", composed(8, "8CHN").bytes()},
        {"ch16.mod", composed(16, "16CH").bytes()},  {"ch32.mod", composed(32, "32CH").bytes()},
        {"octa.mod", composed(8, "OCTA").bytes()},   {"tdz3.mod", composed(3, "TDZ3").bytes()},
        {"flt8.mod", flt8().bytes()},                {"old15.mod", fifteen(120).bytes()},
        {"old15-restart.mod", fifteen(2).bytes()},
    };
}
