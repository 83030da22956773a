#include "tools/hostile_cases.h"

#include <algorithm>
#include <cstdio>

namespace hostile {

using modwriter::Cell;
using modwriter::SampleDesc;
using modwriter::Song;

SampleDesc saw(int bytes, int loop_start_words, int loop_length_words) {
    SampleDesc s;
    s.name = "test";
    s.volume = 64;
    for (int i = 0; i < bytes; ++i) s.data.push_back(static_cast<std::int8_t>((i * 7) % 200 - 100 + (i % 2 == 0 ? 1 : 0)));
    s.loop_start_words = loop_start_words;
    s.loop_length_words = loop_length_words;
    return s;
}

Song richSong() {
    Song song;
    song.title = "rich";
    song.samples[0] = saw(64, 0, 32);
    song.samples[1] = saw(40);
    song.samples[2] = saw(30, 4, 6);
    song.song_length = 2;
    song.orders[1] = 1;
    for (int p = 0; p < 2; ++p) {
        song.row(p, 0, "C-2 01 F01 | E-2 02 ... | G-2 03 EF8 | C-3 01 ...");
        song.row(p, 1, "--- 02 ... | --- 03 ... | --- 01 ... | --- 02 ...");
        song.row(p, 2, "B-3 03 901 | C-1 01 E93 | D-2 02 ... | --- -- ...");
    }
    return song;
}

std::vector<int> playedCuts() {
    const int whole = static_cast<int>(richSong().bytes().size());
    const int patterns_end = kTagEnd + 2 * kPatternBytes;
    return {kTagEnd,         kTagEnd + 1,       kTagEnd + 2,       kTagEnd + 3,
            kTagEnd + 4,     kTagEnd + 5,       kTagEnd + 17,      kTagEnd + 512,
            kTagEnd + kPatternBytes - 1,        kTagEnd + kPatternBytes,
            kTagEnd + kPatternBytes + 1,        patterns_end - 1,  patterns_end,
            patterns_end + 1, patterns_end + 33, patterns_end + 63, patterns_end + 64,
            patterns_end + 65, patterns_end + 103, patterns_end + 104, patterns_end + 105,
            whole - 1};
}

std::vector<NamedSong> ordersPastThePatternData() {
    std::vector<NamedSong> cases;
    {
        Song song = richSong();
        song.song_length = 128;
        for (int i = 0; i < 128; ++i) song.orders[static_cast<std::size_t>(i)] = 255 - i;
        song.pattern_blocks = 0;  // the file ends after the tag
        cases.push_back({"128 orders down from 255, no pattern data", song});
    }
    {
        Song song = richSong();
        song.orders.fill(255);
        song.song_length = 1;
        song.restart = 0;
        song.pattern_blocks = 0;
        cases.push_back({"every entry 255", song});
    }
    {
        Song song = richSong();
        song.orders[127] = 255;  // past the song, but it decides where the samples begin
        song.pattern_blocks = 2;
        cases.push_back({"entry 255 past the song's end", song});
    }
    return cases;
}

std::vector<NamedBytes> sampleLengthsAndLoops() {
    std::vector<NamedBytes> cases;
    const int lengths_words[] = {0, 1, 2, 3, 17, 0x7FFF, 0xFFFF};
    for (int words : lengths_words) {
        Song song;
        song.title = "loops";
        const std::pair<int, int> loops[] = {
            {0, 0},            {0, 1},     {5, 1},         {0, 2},
            {words - 1, 2},    {words, 2}, {words + 5, 10}, {0, words + 10},
            {0xFFFF, 0xFFFF},  {words / 2, words},
        };
        int s = 0;
        for (const auto& [start, length] : loops) {
            SampleDesc& sample = song.samples[static_cast<std::size_t>(s++)];
            sample = saw(std::min(2 * words, 96));  // the rest of a long sample reads as zero
            sample.length_words = words;
            sample.loop_start_words = std::max(start, 0) & 0xFFFF;
            sample.loop_length_words = length & 0xFFFF;
        }
        song.song_length = 1;
        song.row(0, 0, "C-1 01 F01 | --- -- ... | --- -- ... | --- -- ...");
        for (int i = 0; i < s; ++i) {
            const int n = 1 + i;
            const int r = 1 + 5 * i;
            song.at(0, r, 0) = Cell{113, n, 0, 0};                  // fastest note
            song.at(0, r, 1) = Cell{0, n, 0, 0};                    // sample change under a playing voice
            song.at(0, r, 2) = Cell{856, n, 9, 0x01};               // offset 256
            song.at(0, r, 3) = Cell{428, n, 0xE, 0xFF};             // invert loop at full speed
            song.at(0, r + 1, 1) = Cell{0, 1 + (i + 1) % s, 0, 0};  // and again, to another sample
            song.at(0, r + 2, 2) = Cell{214, n, 0xE, 0x91};         // retrigger every tick
            song.at(0, r + 3, 0) = Cell{0, 1 + (i + 3) % s, 0x9, 0xFF};
        }
        // The long samples come with all their data: the same file cut short.
        std::vector<std::uint8_t> bytes = song.bytes();
        const std::string what = "length " + std::to_string(words) + " words";
        cases.push_back({what, bytes});
        if (bytes.size() > 4000) {
            bytes.resize(bytes.size() / 2 + 1);  // an odd size, inside the sample data
            cases.push_back({what + ", cut", bytes});
        }
    }
    return cases;
}

Song everyPeriod() {
    Song song;
    song.title = "periods";
    for (int s = 0; s < 16; ++s) {
        song.samples[static_cast<std::size_t>(s)] = saw(32, 0, 16);
        song.samples[static_cast<std::size_t>(s)].finetune = s;
    }
    song.song_length = 16;
    for (int p = 0; p < 16; ++p) song.orders[static_cast<std::size_t>(p)] = p;
    for (int i = 1; i < 4096; ++i) song.at(i / 256, i % 256 / 4, i % 4) = Cell{i, 1 + i % 16, 0, 0};
    // One row per tick at the fastest tempo: all 1024 rows in ten seconds.
    song.at(0, 0, 0).effect = 0xF;
    song.at(0, 0, 0).param = 1;
    song.at(0, 0, 1).effect = 0xF;
    song.at(0, 0, 1).param = 0xFF;
    return song;
}

std::vector<NamedSong> everyCommand() {
    struct Command {
        int effect;
        int param;
    };
    std::vector<Command> commands;
    for (int effect = 0; effect < 16; ++effect)
        for (int param : {0x00, 0x0F, 0xF0, 0xFF}) commands.push_back({effect, param});
    for (int x = 1; x < 15; ++x)  // E0y and EFy are among the above
        for (int y : {0x0, 0xF}) commands.push_back({0xE, x << 4 | y});

    std::vector<NamedSong> cases;
    for (const Command& k : commands) {
        Song song;
        song.title = "commands";
        song.samples[0] = saw(64, 0, 32);
        song.samples[1] = saw(48);
        song.samples[2] = saw(20, 8, 12);  // loop past the end
        song.song_length = 2;
        song.orders[1] = 1;
        for (int p = 0; p < 2; ++p) {
            for (int r = 0; r < 4; ++r) {
                song.at(p, r, 0) = Cell{r % 2 ? 0 : 428, r % 2 ? 0 : 1, k.effect, k.param};
                song.at(p, r, 1) = Cell{r == 0 ? 214 : 0, r == 0 ? 2 : 0, k.effect, k.param};
                song.at(p, r, 2) = Cell{0, 0, k.effect, k.param};  // no sample on this channel yet
                song.at(p, r, 3) = Cell{r == 2 ? 113 : 856, 3, k.effect, k.param};
            }
            for (int r = 8; r < 64; r += 8) song.at(p, r, r / 8 % 4) = Cell{338, 1 + r / 8 % 3, k.effect, k.param};
            song.at(p, 63, 1) = Cell{0, 0, k.effect, k.param};
        }
        char name[8];
        std::snprintf(name, sizeof name, "%X%02X", k.effect, k.param);
        cases.push_back({std::string("command ") + name, song});
    }
    return cases;
}

std::vector<NamedSong> controlAndHighBytesInNames() {
    // Titles of bytes 1..31 and 128..255, twenty at a time, and one that a
    // zero byte ends half-way.
    std::vector<NamedSong> cases;
    for (int start : {1, 12, 128, 148, 168, 188, 208, 228, 236, 0}) {
        Song song = richSong();
        song.title.clear();
        for (int i = 0; i < 20; ++i) {
            const int byte = start != 0 ? start + i : i == 10 ? 0 : 200 + i;
            song.title.push_back(static_cast<char>(byte));
        }
        for (int s = 0; s < 31; ++s) {
            std::string name;
            for (int j = 0; j < 22; ++j) {
                const int n = s * 22 + j;
                name.push_back(static_cast<char>(n < 256 ? (n < 32 ? n : 128 + n % 128) : n % 32));
            }
            song.samples[static_cast<std::size_t>(s)].name = name;
        }
        cases.push_back({"names from byte " + std::to_string(start), song});
    }
    return cases;
}

std::vector<NamedSong> songLengthsAtTheLimits() {
    std::vector<NamedSong> cases;
    for (int length : {0, 128, 200}) {
        Song song = richSong();
        song.song_length = length;
        song.restart = length == 0 ? 0 : 127;
        for (int i = 0; i < 128; ++i) song.orders[static_cast<std::size_t>(i)] = i % 3;
        song.row(2, 0, "C-2 01 F01 | --- -- BFF | --- -- D63 | --- -- ...");
        song.row(1, 3, "--- -- DFF | --- -- ... | --- -- ... | --- -- ...");
        cases.push_back({"song length " + std::to_string(length), song});
    }
    return cases;
}

Song jumpSong(int length, int restart) {
    Song song = richSong();
    song.song_length = length;
    song.restart = restart;
    for (int i = 0; i < 128; ++i) song.orders[static_cast<std::size_t>(i)] = i % 2;
    return song;
}

std::vector<JumpCase> jumpCases() {
    return {
        {5, 2, -1, 4},   {5, 2, 0, 0},   {5, 2, 5, 2},   {5, 2, 200, 2},
        {5, 127, 5, 0},  {5, 127, 200, 0},
        {0, 0, -1, 0},   {0, 0, 0, 0},   {0, 0, 200, 0},
        {128, 0, -1, 127}, {128, 0, 128, 0}, {128, 0, 200, 0},
    };
}

// --- XM, S3M and IT

namespace {

using trackerwriter::Cell;

bool lettersFromA(const std::string& extension) { return extension != ".xm"; }

std::vector<std::uint8_t> trackerBytes(const trackerwriter::Song& song, const std::string& extension) {
    return extension == ".xm" ? song.xm() : extension == ".s3m" ? song.s3m() : song.it();
}

trackerwriter::Song trackerSong(const std::string& extension, int channels, int instruments, int rows) {
    trackerwriter::Song song;
    song.title = "hostile";
    song.channels = channels;
    song.orders = {0, 1, 0};
    for (int i = 0; i < instruments; ++i) {
        trackerwriter::Sample sample = trackerwriter::sawSample(300 + 37 * (i % 5), i % 2 == 1, 64 - i % 60);
        if (i % 3 == 2) sample.loop_length = 0;
        song.samples.push_back(sample);
    }
    const bool letters = lettersFromA(extension);
    // The pattern loop and a volume slide in each format's own letters.
    const char* loop_start = letters ? "SB0" : "E60";
    const char* loop_twice = letters ? "SB2" : "E62";
    const char* slide = letters ? "D0F" : "A0F";
    static const char* kNotes[] = {"C-4", "E-5", "G-3", "off", "B-6", "C#1"};
    for (int p = 0; p < 2; ++p) {
        song.patterns.resize(2);
        song.patterns[static_cast<std::size_t>(p)].rows = rows;
        for (int r = 0; r < rows; r += 3) {
            std::string text;
            for (int c = 0; c < channels; ++c) {
                char instrument[8];
                std::snprintf(instrument, sizeof instrument, "%02d", (r + c) % std::max(instruments, 1) % 100 + 1);
                const char* effect = r == 3 && c == 0 ? loop_start : r == 9 && c == 0 ? loop_twice : c % 2 ? slide : "...";
                text += std::string(kNotes[(r + c) % 6]) + " " + instrument + " " + (c % 3 == 0 ? "32" : "..") + " " +
                        effect + " | ";
            }
            song.row(p, r, text, letters);
        }
    }
    return song;
}

// Every extension the writer knows.
constexpr const char* kExtensions[] = {".xm", ".s3m", ".it"};

std::string formatName(const std::string& extension) { return extension.substr(1); }

}  // namespace

std::vector<std::uint8_t> trackerFile(const std::string& extension) {
    return trackerBytes(trackerSong(extension, 6, 5, 64), extension);
}

std::vector<NamedBytes> trackerCuts() {
    std::vector<NamedBytes> cases;
    for (const std::string extension : kExtensions) {
        const std::vector<std::uint8_t> whole = trackerFile(extension);
        std::vector<std::size_t> cuts = {0, 1, 4, 17, 21, 37, 38, 44, 48, 60, 64, 70, 80};
        for (std::size_t at = 16; at < std::min<std::size_t>(whole.size(), 1024); at += 16) cuts.push_back(at);
        for (std::size_t at = 1024; at < whole.size(); at += 128) cuts.push_back(at);
        cuts.push_back(whole.size() - 1);
        for (const std::size_t cut : cuts)
            if (cut < whole.size())
                cases.push_back({formatName(extension) + " cut at " + std::to_string(cut),
                                 std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut)), extension});
    }
    return cases;
}

std::vector<NamedBytes> trackerMutants() {
    std::vector<NamedBytes> cases;
    std::uint32_t seed = 0x5EED1E55u;
    const auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    constexpr int kMutants = 48;
    constexpr std::uint8_t kValues[] = {0x00, 0xFF, 0x80, 0x7F, 0x01, 0x40, 0xFE, 0x10};
    for (const std::string extension : kExtensions) {
        const std::vector<std::uint8_t> whole = trackerFile(extension);
        for (int m = 0; m < kMutants; ++m) {
            std::vector<std::uint8_t> bytes = whole;
            // Most changes in the headers, where the counts and offsets are.
            const int changes = 1 + static_cast<int>(next() % 6);
            for (int k = 0; k < changes; ++k) {
                const std::size_t span = next() % 4 == 0 ? bytes.size() : std::min<std::size_t>(bytes.size(), 800);
                const std::size_t at = next() % span;
                bytes[at] = next() % 3 == 0 ? static_cast<std::uint8_t>(next()) : kValues[next() % 8];
            }
            cases.push_back({formatName(extension) + " mutant " + std::to_string(m), bytes, extension});
        }
    }
    return cases;
}

std::vector<NamedBytes> trackerLimits() {
    std::vector<NamedBytes> cases;
    for (const std::string extension : kExtensions) {
        const std::string name = formatName(extension);
        const bool s3m = extension == ".s3m";
        // S3M's patterns are 64 rows, whatever the song says.
        cases.push_back({name + " 256 rows", trackerBytes(trackerSong(extension, 4, 3, s3m ? 64 : 256), extension),
                         extension});
        cases.push_back({name + " one row", trackerBytes(trackerSong(extension, 4, 3, s3m ? 64 : 1), extension), extension});
        cases.push_back({name + " 128 instruments", trackerBytes(trackerSong(extension, 8, 128, 64), extension),
                         extension});
        cases.push_back({name + " 32 channels", trackerBytes(trackerSong(extension, 32, 4, 64), extension), extension});
        if (!s3m)
            cases.push_back({name + " 64 channels", trackerBytes(trackerSong(extension, 64, 4, 64), extension), extension});
        {
            trackerwriter::Song song = trackerSong(extension, 4, 3, 64);
            song.orders.clear();
            cases.push_back({name + " no orders", trackerBytes(song, extension), extension});
        }
        {
            trackerwriter::Song song = trackerSong(extension, 4, 4, 64);
            song.samples[0].data.resize(1);
            song.samples[0].loop_length = 1;
            song.samples[1].data.resize(301);  // 16-bit, odd
            song.samples[2].loop_start = 250;
            song.samples[2].loop_length = 200;  // past the end
            song.samples[3].data.clear();
            song.samples[3].loop_length = 0;
            cases.push_back({name + " odd samples", trackerBytes(song, extension), extension});
        }
        {
            // Orders past the patterns, and pattern numbers of marker values.
            trackerwriter::Song song = trackerSong(extension, 4, 3, 64);
            song.orders = {0, 7, 1, 254, 255, 0, 200};
            cases.push_back({name + " orders past the patterns", trackerBytes(song, extension), extension});
        }
    }
    return cases;
}

}  // namespace hostile

