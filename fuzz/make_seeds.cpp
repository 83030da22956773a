// Writes the fuzzer's seed corpus: small modules that between them use every
// tag, every command, loops of every kind and a few song shapes, so that the
// fuzzer starts from files that reach deep into the engine. Each is a few
// kilobytes: short samples, one to three patterns.
// Usage: zindle-fuzz-seeds FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "tools/modwriter.h"

namespace {

using modwriter::Cell;
using modwriter::SampleDesc;
using modwriter::Song;

SampleDesc saw(int length, int loop_start_words, int loop_length_words, int volume = 64) {
    SampleDesc s;
    s.name = "saw";
    s.volume = volume;
    for (int i = 0; i < length; ++i) s.data.push_back(static_cast<std::int8_t>(i * 9 - 100));
    s.loop_start_words = loop_start_words;
    s.loop_length_words = loop_length_words;
    return s;
}

Song base(const char* tag, int patterns) {
    Song song;
    song.title = "seed";
    song.tag = tag;
    song.samples[0] = saw(64, 0, 32);
    song.samples[1] = saw(48, 0, 0, 40);
    song.samples[2] = saw(40, 8, 4);
    song.samples[3].finetune = 0x0F;
    song.samples[3].data.assign(32, 50);
    song.song_length = patterns;
    for (int p = 0; p < patterns; ++p) song.orders[static_cast<std::size_t>(p)] = p;
    for (int p = 0; p < patterns; ++p) song.at(p, 0, 0) = Cell{};
    return song;
}

// One note of each command 0..F and E0..EF, with a spread of parameters.
Song everyCommand() {
    Song song = base("M.K.", 2);
    constexpr int kParams[] = {0x00, 0x37, 0xF0, 0x0F, 0xFF, 0x11};
    int row = 0;
    for (int effect = 0; effect < 16; ++effect) {
        for (int k = 0; k < 2; ++k, ++row) {
            const int param = kParams[(effect + k) % 6];
            song.at(row / 64, row % 64, row % 4) = Cell{428 - effect, 1 + row % 3, effect, param};
        }
    }
    for (int x = 0; x < 16; ++x, ++row)
        song.at(row / 64, row % 64, (row + 1) % 4) = Cell{214, 1 + x % 3, 0xE, x << 4 | (x % 5)};
    return song;
}

Song loopsAndDelays() {
    Song song = base("M!K!", 1);
    song.row(0, 0, "C-2 01 F03 | E-2 02 E60 | G-2 03 ... | C-3 04 EF7");
    song.row(0, 2, "--- -- E62 | --- -- EE2 | --- -- E93 | --- -- ED2");
    song.row(0, 4, "D-2 03 EC1 | --- -- E52 | F-2 01 900 | --- -- F7D");
    song.row(0, 6, "--- -- D1F | --- -- B00 | --- -- ... | --- -- ...");
    return song;
}

Song jumpsAndRestart() {
    Song song = base("M&K!", 3);
    song.restart = 1;
    song.orders[3] = 2;
    song.row(0, 1, "C-1 01 B02 | --- -- ... | --- -- D05 | --- -- ...");
    song.row(2, 5, "B-3 02 ... | --- -- B7F | --- -- ... | --- -- F00");
    song.row(1, 0, "C-2 03 305 | C-3 01 5A1 | C-2 02 4F8 | A-1 01 6A0");
    return song;
}

Song slidesAndSamples() {
    Song song = base("N.T.", 1);
    song.samples[4] = saw(30, 10, 20);   // loop past the end
    song.samples[5] = saw(17, 0, 1);     // two-byte loop: no loop
    song.samples[6].length_words = 0;
    song.samples[6].loop_length_words = 4;
    song.row(0, 0, "C-1 05 1FF | B-3 06 2FF | C-2 07 301 | --- 05 7F8");
    song.row(0, 1, "--- 06 A0F | --- 07 AF0 | --- 01 E1F | --- 02 E2F");
    song.row(0, 2, "--- 04 9FF | D#2 05 E9F | --- 06 EAF | --- 03 EBF");
    song.at(0, 3, 0) = Cell{1, 31, 0, 0};
    song.at(0, 3, 1) = Cell{4095, 5, 0, 0};
    return song;
}

Song shortSong() {
    Song song = base("FLT4", 1);
    song.song_length = 0;
    song.restart = 0;
    song.row(0, 0, "C-2 01 ... | --- -- ... | --- -- ... | --- -- ...");
    return song;
}

Song farOrders() {
    Song song = base("4CHN", 1);
    song.orders[1] = 7;
    song.orders[127] = 9;
    song.song_length = 2;
    song.restart = 200;
    song.row(0, 0, "C-2 01 ... | C-2 02 ... | --- -- ... | --- -- ...");
    return song;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<std::pair<const char*, Song>> seeds = {
        {"every-command.mod", everyCommand()},   {"loops-and-delays.mod", loopsAndDelays()},
        {"jumps.mod", jumpsAndRestart()},         {"slides-and-samples.mod", slidesAndSamples()},
        {"short-song.mod", shortSong()},          {"far-orders.mod", farOrders()},
    };
    for (const auto& [name, song] : seeds) {
        if (!song.write(folder + "/" + name)) {
            std::fprintf(stderr, "can't write %s/%s\n", folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}
