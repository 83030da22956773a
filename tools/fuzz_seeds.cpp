// The fuzzer's seed corpus: small modules that between them use every tag,
// every command, loops of every kind, a few song shapes and every file shape
// (1 to 32 channels and counts past them, FLT8's paired blocks, the untagged
// 15-sample files cut at their boundaries and at each plausibility limit),
// so that the fuzzer starts from files that reach deep into the engine. Each
// is a few kilobytes: short samples, one to three patterns. A few XM, S3M and
// IT files take the fuzzer into what libxmp hands over.
#include <string>
#include <utility>
#include <vector>

#include "tools/hostile_cases.h"
#include "tools/module_sets.h"
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

// A few notes and the timing commands spread over `channels` channels.
Song wide(const char* tag, int channels) {
    Song song = base(tag, 2);
    song.channels = channels;
    for (int c = 0; c < channels; ++c) {
        song.at(0, c % 64, c) = Cell{856 - 20 * c, 1 + c % 4, c % 16, 0x31};
        song.at(1, 63 - c % 64, c) = Cell{113 + c, 1 + c % 3, 0xE, (c % 16) << 4 | 2};
    }
    song.at(0, 40, channels - 1) = Cell{0, 0, 0xB, 0x01};
    song.at(1, 50, channels - 1) = Cell{0, 0, 0xD, 0x00};
    return song;
}

Song flt8OddOrders() {
    Song song = wide("FLT8", 8);
    song.paired_blocks = true;
    song.song_length = 5;
    song.orders = {1, 3, 0, 2, 3};
    song.orders[127] = 5;
    return song;
}

Song fifteenSamples() {
    Song song = jumpsAndRestart();
    song.num_samples = 15;
    song.samples[3].loop_start_words = 32;  // a loop start in bytes
    song.samples[3].loop_length_words = 4;
    return song;
}

// The file of song cut to `size` bytes, or with byte `at` set to `value`.
// (cut to a larger size, it is padded with zeros).
std::vector<std::uint8_t> cut(std::vector<std::uint8_t> bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<std::uint8_t> cut(const Song& song, std::size_t size) { return cut(song.bytes(), size); }

std::vector<std::uint8_t> poked(const Song& song, std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> bytes = song.bytes();
    bytes[at] = value;
    return bytes;
}

}  // namespace

std::vector<ModuleFile> fuzzSeedModules() {
    const std::vector<std::pair<const char*, Song>> seeds = {
        {"every-command.mod", everyCommand()},   {"loops-and-delays.mod", loopsAndDelays()},
        {"jumps.mod", jumpsAndRestart()},         {"slides-and-samples.mod", slidesAndSamples()},
        {"short-song.mod", shortSong()},          {"far-orders.mod", farOrders()},
        {"one-channel.mod", wide("1CHN", 1)},    {"six-channels.mod", wide("6CHN", 6)},
        {"tdz3.mod", wide("TDZ3", 3)},           {"octa.mod", wide("OCTA", 8)},
        {"sixteen-channels.mod", wide("16CN", 16)}, {"thirty-two-channels.mod", wide("32CH", 32)},
        {"zero-channels.mod", wide("0CHN", 4)},  {"thirty-three-channels.mod", wide("33CH", 32)},
        {"ninety-nine-channels.mod", wide("99CH", 32)}, {"flt8-odd-orders.mod", flt8OddOrders()},
        {"fifteen-samples.mod", fifteenSamples()},
    };
    std::vector<ModuleFile> modules;
    for (const auto& [name, song] : seeds) modules.push_back({name, song.bytes()});
    // 15-sample files at their edges: cut inside the header, the orders and
    // the last pattern, and each plausibility limit just inside and outside.
    const Song old = fifteenSamples();
    const std::size_t patterns_end = 600 + 3 * 1024;
    modules.push_back({"fifteen-cut-470.mod", cut(old, 470)});
    modules.push_back({"fifteen-cut-600.mod", cut(old, 600)});
    modules.push_back({"fifteen-cut-patterns.mod", cut(old, patterns_end - 1)});
    modules.push_back({"fifteen-cut-samples.mod", cut(old, patterns_end + 40)});
    modules.push_back({"fifteen-volume-64.mod", poked(old, 20 + 25, 64)});
    modules.push_back({"fifteen-volume-65.mod", poked(old, 20 + 25, 65)});
    modules.push_back({"fifteen-name-126.mod", poked(old, 3, 126)});
    modules.push_back({"fifteen-name-127.mod", poked(old, 3, 127)});
    modules.push_back({"fifteen-length-128.mod", poked(old, 470, 128)});
    modules.push_back({"fifteen-length-129.mod", poked(old, 470, 129)});
    modules.push_back({"fifteen-order-127.mod", cut(poked(old, 472 + 100, 127), 600 + 128 * 1024)});
    modules.push_back({"fifteen-order-128.mod", poked(old, 472 + 100, 128)});
    // XM, S3M and IT files for libxmp: the hostile table's song in each
    // format, and one of its limits.
    for (const char* extension : {".xm", ".s3m", ".it"}) modules.push_back({std::string("tracker") + extension,
                                                                           hostile::trackerFile(extension)});
    for (const hostile::NamedBytes& limit : hostile::trackerLimits())
        if (limit.what.find("odd samples") != std::string::npos || limit.what.find("one row") != std::string::npos)
            modules.push_back({"tracker-" + std::to_string(modules.size()) + limit.extension, limit.bytes});
    return modules;
}
