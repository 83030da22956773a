#include "tests/engine_harness.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <iterator>


namespace harness {

namespace {

void removeTree(const std::string& path) {
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string child = path + "/" + name;
            struct stat info {};
            if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                chmod(child.c_str(), 0700);
                removeTree(child);
            } else {
                unlink(child.c_str());
            }
        }
        closedir(dir);
    }
    rmdir(path.c_str());
}

std::vector<TickState>* recording = nullptr;
std::uint64_t next_tick_frame = 0;

void recordTick() {
    const std::uint64_t frame = next_tick_frame;
    next_tick_frame += static_cast<std::uint64_t>(mod_samplespertick);
    if (!recording) return;
    TickState state{};
    state.frame = frame;
    state.order = mod_order;
    state.row = mod_row;
    state.tick = mod_tick;
    state.speed = mod_speed;
    state.bpm = mod_bpm;
    state.samplespertick = mod_samplespertick;
    state.tick_period = tick_period;
    state.tick_volume = tick_volume;
    std::copy(std::begin(channels), std::end(channels), state.ch.begin());
    std::copy(std::begin(v), std::end(v), state.voice.begin());
    recording->push_back(state);
}

// The engine as the player runs it, without a device: the views are drawn
// from the tick, then the harness records what the tick left.
void testTick() {
    viewsDrawTick();
    recordTick();
    if (on_tick) on_tick();
}

const Platform kTestPlatform = [] {
    Platform p = headlessViewsPlatform();
    p.draw_tick = testTick;
    return p;
}();

}  // namespace

void (*on_tick)() = nullptr;

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zindle-test-XXXXXX";
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "can't make a temp folder";
    path_ = pattern;
}

TempDir::~TempDir() { removeTree(path_); }

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

void writeCutShort(const std::string& path, const modwriter::Song& song, std::size_t missing) {
    std::vector<std::uint8_t> bytes = song.bytes();
    bytes.resize(bytes.size() - std::min(missing, bytes.size()));
    writeBytes(path, bytes);
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

modwriter::SampleDesc oneShotSample(int length, int volume) {
    modwriter::SampleDesc s;
    s.name = "test";
    s.volume = volume;
    for (int i = 0; i < length; ++i) s.data.push_back(static_cast<std::int8_t>((i * 7) % 200 - 100 + (i % 2 == 0 ? 1 : 0)));
    return s;
}

modwriter::SampleDesc loopedSample(int length, int volume) {
    modwriter::SampleDesc s = oneShotSample(length, volume);
    s.loop_start_words = 0;
    s.loop_length_words = length / 2;
    return s;
}

void resetGlobals() {
    platformUse(kTestPlatform);
    zindleReset();
    base_volume = 0;
    screen = background = nullptr;  // the tests' surfaces are their own
    on_tick = nullptr;
    recording = nullptr;
}

Engine::Engine(const modwriter::Song& song, int start_order) {
    resetGlobals();
    const std::string path = dir_.file("song.mod");
    EXPECT_TRUE(song.write(path));
    module_ = zindleLoad(path.c_str());
    EXPECT_NE(module_, nullptr);
    if (!module_) return;
    next_tick_frame = 0;
    zindlePlay(module_, start_order);
}

Engine::~Engine() {
    recording = nullptr;
    zindleFree(module_);
    resetGlobals();
}

std::vector<TickState> Engine::ticks(int count) {
    std::vector<TickState> out;
    recording = &out;
    std::uint8_t buffer[4 * kChunkFrames];
    while (module_ && static_cast<int>(out.size()) < count) {
        // Render up to the frame where the next tick starts, one tick at a time.
        const std::uint64_t want = std::max<std::int32_t>(mod_samplecounter, 1);
        mixaudio(nullptr, buffer, static_cast<int>(4 * std::min<std::uint64_t>(want, kChunkFrames)));
    }
    recording = nullptr;
    return out;
}

std::vector<std::int16_t> Engine::render(std::uint64_t frames) {
    std::vector<std::int16_t> out;
    std::uint8_t buffer[4 * kChunkFrames];
    while (frames > 0) {
        const std::uint64_t n = std::min<std::uint64_t>(frames, kChunkFrames);
        mixaudio(nullptr, buffer, static_cast<int>(4 * n));
        for (std::uint64_t i = 0; i < 2 * n; ++i)
            out.push_back(static_cast<std::int16_t>(buffer[2 * i] | (buffer[2 * i + 1] << 8)));
        frames -= n;
    }
    return out;
}

std::string trackerExtension(TrackerFormat format) {
    return format == TrackerFormat::kXm ? ".xm" : format == TrackerFormat::kS3m ? ".s3m" : ".it";
}

std::vector<std::uint8_t> trackerBytes(TrackerFormat format, const trackerwriter::Song& song) {
    return format == TrackerFormat::kXm ? song.xm() : format == TrackerFormat::kS3m ? song.s3m() : song.it();
}

trackerwriter::Song trackerSong(TrackerFormat format, int channels, int instruments) {
    const bool xm = format == TrackerFormat::kXm;
    trackerwriter::Song song;
    song.title = "tracker test";
    song.channels = channels;
    song.orders = {0, 1, 0};
    for (int i = 0; i < instruments; ++i) {
        song.samples.push_back(trackerwriter::sawSample(512 + 64 * (i % 8), i % 2 == 1, 48 + i % 17));
        song.samples.back().name = "instrument " + std::to_string(i + 1);
    }
    // The effects in each format's own letters: speed, volume slide down,
    // portamento up and down, pattern break.
    const char* speed = xm ? "F03" : "A03";
    const char* slide = xm ? "A02" : "D02";
    const char* up = xm ? "102" : "F02";
    const char* down = xm ? "202" : "E02";
    const char* pattern_break = xm ? "D00" : "C00";
    static const char* kNotes[] = {"C-4", "E-4", "G-4", "C-5", "A-3", "F-4", "D-4", "B-3"};
    for (int p = 0; p < 2; ++p) {
        for (int row = 0; row < 16; row += 2) {
            std::string text;
            for (int c = 0; c < channels; ++c) {
                const bool note = (row + 2 * c) % 4 == 0;
                char instrument[12];
                std::snprintf(instrument, sizeof instrument, "%02d", (c + row / 4 + p) % instruments + 1);
                const char* effect = row == 0 && c == 0 ? speed
                                     : c % 3 == 1 ? slide
                                     : c % 3 == 2 ? (p == 0 ? up : down)
                                                  : "...";
                text += std::string(note ? kNotes[(c + row / 2 + p) % 8] : "---") + " " + (note ? instrument : "..") +
                        " " + (note && c % 2 == 1 ? "40" : "..") + " " + effect + " | ";
            }
            song.row(p, row, text, !xm);
        }
        // The break on row 15 makes every pattern 16 rows long.
        song.row(p, 15, std::string("--- .. .. ") + pattern_break, !xm);
    }
    return song;
}

modwriter::Song basicSong() {
    modwriter::Song song;
    song.title = "test";
    song.samples[0] = loopedSample(1024);
    song.song_length = 1;
    song.at(0, 0, 0) = modwriter::Cell{};
    return song;
}

modwriter::Song rowPerTickSong(int length, int restart) {
    modwriter::Song song = basicSong();
    song.samples[1] = loopedSample(1024, 32);
    song.song_length = length;
    song.restart = restart;
    for (int i = 0; i < std::max(length, 1); ++i) {
        song.orders[static_cast<std::size_t>(i)] = i;
        song.at(i, 63, 0);
    }
    song.at(0, 0, 3) = modwriter::Cell{0, 0, 0xF, 1};
    return song;
}

modwriter::Song shortSong(const std::string& title, int bpm, int speed, int stop_row, int orders) {
    modwriter::Song song = basicSong();
    song.title = title;
    song.samples[1] = loopedSample(600, 50);
    song.song_length = orders;
    for (int o = 0; o < orders; ++o) {
        song.orders[static_cast<std::size_t>(o)] = o;
        song.row(o, 0, "C-2 01 ... | E-2 02 ... | G-2 01 ... | C-3 02 ...");
        song.row(o, 32, "D-2 02 ... | F-2 01 A01 | A-2 02 ... | D-3 01 ...");
    }
    if (bpm != 125 || speed != 6) {
        song.at(0, 0, 0).effect = 0xF;
        song.at(0, 0, 0).param = speed;
        song.at(0, 0, 1).effect = 0xF;
        song.at(0, 0, 1).param = bpm;
    }
    if (stop_row > 0) song.at(0, stop_row, 2) = modwriter::Cell{0, 0, 0xB, 0};
    return song;
}

std::vector<std::pair<int, int>> positions(Engine& engine, int count) {
    std::vector<std::pair<int, int>> out;
    for (const TickState& t : engine.ticks(count)) out.emplace_back(t.order, t.row);
    return out;
}

}  // namespace harness
