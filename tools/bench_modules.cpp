// The benchmark modules. Each song of the comparison set loops back to its
// start, so a render of any length keeps playing, and its samples either loop
// or outlast the rows between two notes, so the four voices are busy almost
// all the time. The songs differ in how much the replay engine has to do per
// frame: few notes and no effects (sparse) up to a note and an effect in
// every cell at a fast tempo (dense), and in how far the mixer reaches into
// memory (bigsamples plays long one-shot samples).
#include "tools/bench_modules.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace benchmods {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxSampleBytes = 131070;

// A small deterministic generator, so every build writes the same files.
struct Rng {
    std::uint32_t state;
    std::uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

enum class Wave { Sine, Saw, Square, Triangle, Noise };

std::vector<std::int8_t> waveform(Wave wave, int length, int cycle, Rng& rng) {
    std::vector<std::int8_t> data(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        const int phase = i % cycle;
        int value = 0;
        switch (wave) {
        case Wave::Sine: value = static_cast<int>(std::lround(110.0 * std::sin(2.0 * kPi * phase / cycle))); break;
        case Wave::Saw: value = phase * 240 / cycle - 120; break;
        case Wave::Square: value = phase < cycle / 2 ? 90 : -90; break;
        case Wave::Triangle:
            value = phase < cycle / 2 ? phase * 480 / cycle - 120 : 360 - phase * 480 / cycle;
            break;
        case Wave::Noise: value = rng.below(200) - 100; break;
        }
        data[static_cast<std::size_t>(i)] = static_cast<std::int8_t>(value);
    }
    return data;
}

modwriter::SampleDesc looped(const std::string& name, Wave wave, int length, int cycle, Rng& rng) {
    modwriter::SampleDesc s;
    s.name = name;
    s.data = waveform(wave, length, cycle, rng);
    s.loop_start_words = 0;
    s.loop_length_words = length / 2;
    return s;
}

modwriter::SampleDesc oneShot(const std::string& name, Wave wave, int length, int cycle, Rng& rng) {
    modwriter::SampleDesc s;
    s.name = name;
    s.data = waveform(wave, length, cycle, rng);
    // A fade-out, so that the sample sounds like a struck note.
    for (int i = 0; i < length; ++i)
        s.data[static_cast<std::size_t>(i)] =
            static_cast<std::int8_t>(s.data[static_cast<std::size_t>(i)] * (length - i) / length);
    return s;
}

// The 36 note periods, C-1 to B-3, from the writer's note names.
std::array<int, 36> notePeriods() {
    static const char* const kNames[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    std::array<int, 36> periods{};
    for (int octave = 0; octave < 3; ++octave)
        for (int n = 0; n < 12; ++n)
            periods[static_cast<std::size_t>(octave * 12 + n)] =
                modwriter::notePeriod(std::string(kNames[n]) + static_cast<char>('1' + octave));
    return periods;
}

// A song that plays patterns 0..count-1 in order and then starts over.
modwriter::Song loopingSong(const std::string& title, int patterns) {
    modwriter::Song song;
    song.title = title;
    song.song_length = patterns;
    song.restart = 0;
    for (int p = 0; p < patterns; ++p) {
        song.orders[static_cast<std::size_t>(p)] = p;
        song.at(p, 63, 0);  // make the pattern exist even if nothing is written to it
    }
    return song;
}

// Speed and tempo, set at the top of every pattern (on channel 3 of row 0),
// so that a jump anywhere into the song plays at the same pace.
void setPace(modwriter::Song& song, int patterns, int speed, int bpm) {
    for (int p = 0; p < patterns; ++p) {
        modwriter::Cell& cell = song.at(p, 0, 3);
        cell.effect = 0xF;
        cell.param = bpm;
        modwriter::Cell& speed_cell = song.at(p, 1, 3);
        speed_cell.effect = 0xF;
        speed_cell.param = speed;
    }
}

// Few notes, long looping samples, no effects: mostly mixing.
NamedSong sparse() {
    Rng rng{1};
    const std::array<int, 36> periods = notePeriods();
    constexpr int kPatterns = 8;
    modwriter::Song song = loopingSong("bench sparse", kPatterns);
    song.samples[0] = looped("sine", Wave::Sine, 4096, 64, rng);
    song.samples[1] = looped("saw", Wave::Saw, 2048, 32, rng);
    song.samples[2] = looped("square", Wave::Square, 8192, 128, rng);
    song.samples[3] = looped("triangle", Wave::Triangle, 16384, 256, rng);
    for (int p = 0; p < kPatterns; ++p)
        for (int row = 0; row < 64; row += 16)
            for (int ch = 0; ch < 4; ++ch) {
                modwriter::Cell& cell = song.at(p, row, ch);
                cell.period = periods[static_cast<std::size_t>(rng.below(24))];
                cell.sample = 1 + ch;
            }
    setPace(song, kPatterns, 6, 125);
    return {"sparse", song};
}

// A note every four rows, looping and one-shot samples, effects in about
// half of the cells.
NamedSong medium() {
    Rng rng{2};
    const std::array<int, 36> periods = notePeriods();
    constexpr int kPatterns = 12;
    modwriter::Song song = loopingSong("bench medium", kPatterns);
    song.samples[0] = looped("sine", Wave::Sine, 512, 32, rng);
    song.samples[1] = looped("saw", Wave::Saw, 1024, 64, rng);
    song.samples[2] = looped("square", Wave::Square, 2048, 64, rng);
    song.samples[3] = looped("triangle", Wave::Triangle, 1024, 128, rng);
    song.samples[4] = oneShot("pluck", Wave::Saw, 16384, 48, rng);
    song.samples[5] = oneShot("bell", Wave::Sine, 24576, 40, rng);
    song.samples[6] = oneShot("hit", Wave::Noise, 16384, 1, rng);
    song.samples[7] = oneShot("pad", Wave::Triangle, 32768, 96, rng);
    static const int kNoteEffects[][2] = {{0x0, 0x37}, {0x4, 0x46}, {0xA, 0x01}, {0xC, 0x30}, {0x7, 0x34}};
    static const int kHeldEffects[][2] = {{0x4, 0x00}, {0xA, 0x10}, {0x0, 0x47}, {0x6, 0x01}};
    for (int p = 0; p < kPatterns; ++p)
        for (int row = 2; row < 64; ++row)
            for (int ch = 0; ch < 4; ++ch) {
                modwriter::Cell& cell = song.at(p, row, ch);
                if (row % 4 == 0) {
                    cell.period = periods[static_cast<std::size_t>(rng.below(36))];
                    cell.sample = 1 + rng.below(8);
                    if (rng.below(2) == 0) {
                        const int* e = kNoteEffects[rng.below(5)];
                        cell.effect = e[0];
                        cell.param = e[1];
                    }
                } else if (rng.below(4) == 0) {
                    const int* e = kHeldEffects[rng.below(4)];
                    cell.effect = e[0];
                    cell.param = e[1];
                }
            }
    setPace(song, kPatterns, 6, 125);
    return {"medium", song};
}

// A note and an effect in every cell at speed 3, 150 bpm: the replay engine
// works on every tick of every channel.
NamedSong dense() {
    Rng rng{3};
    const std::array<int, 36> periods = notePeriods();
    constexpr int kPatterns = 16;
    modwriter::Song song = loopingSong("bench dense", kPatterns);
    const Wave waves[4] = {Wave::Sine, Wave::Saw, Wave::Square, Wave::Triangle};
    for (int i = 0; i < 12; ++i)
        song.samples[static_cast<std::size_t>(i)] =
            looped("loop" + std::to_string(i + 1), waves[i % 4], 2048 << (i % 3), 16 << (i % 4), rng);
    song.samples[12] = oneShot("snare", Wave::Noise, 8192, 1, rng);
    song.samples[13] = oneShot("tom", Wave::Sine, 8192, 60, rng);
    static const int kEffects[][2] = {{0x0, 0x47}, {0x1, 0x02}, {0x2, 0x02}, {0x3, 0x08}, {0x4, 0x8F},
                                      {0x5, 0x01}, {0x6, 0x01}, {0x7, 0x46}, {0x9, 0x02}, {0xA, 0x21},
                                      {0xE, 0x93}, {0xE, 0x11}, {0xE, 0xA1}, {0xC, 0x28}};
    constexpr int kEffectCount = sizeof kEffects / sizeof kEffects[0];
    for (int p = 0; p < kPatterns; ++p)
        for (int row = 2; row < 64; ++row)
            for (int ch = 0; ch < 4; ++ch) {
                modwriter::Cell& cell = song.at(p, row, ch);
                cell.period = periods[static_cast<std::size_t>(rng.below(36))];
                cell.sample = 1 + rng.below(14);
                const int* e = kEffects[rng.below(kEffectCount)];
                cell.effect = e[0];
                cell.param = e[1];
            }
    // Rows 0 and 1 carry the pace on channel 3; the others still play.
    for (int p = 0; p < kPatterns; ++p)
        for (int row = 0; row < 2; ++row)
            for (int ch = 0; ch < 3; ++ch) {
                modwriter::Cell& cell = song.at(p, row, ch);
                cell.period = periods[static_cast<std::size_t>(rng.below(36))];
                cell.sample = 1 + rng.below(12);
            }
    setPace(song, kPatterns, 3, 150);
    return {"dense", song};
}

// Long one-shot samples high up the keyboard: the mixer walks through
// megabytes of sample data instead of a few loops that stay in cache.
NamedSong bigSamples() {
    Rng rng{4};
    const std::array<int, 36> periods = notePeriods();
    constexpr int kPatterns = 8;
    constexpr int kSamples = 16;
    modwriter::Song song = loopingSong("bench bigsamples", kPatterns);
    const Wave waves[5] = {Wave::Sine, Wave::Saw, Wave::Square, Wave::Triangle, Wave::Noise};
    for (int i = 0; i < kSamples; ++i)
        song.samples[static_cast<std::size_t>(i)] =
            oneShot("long" + std::to_string(i + 1), waves[i % 5], kMaxSampleBytes, 24 + 8 * i, rng);
    for (int p = 0; p < kPatterns; ++p)
        for (int row = 0; row < 64; row += 16)
            for (int ch = 0; ch < 4; ++ch) {
                modwriter::Cell& cell = song.at(p, row + 4 * ch, ch);
                cell.period = periods[static_cast<std::size_t>(24 + rng.below(12))];
                cell.sample = 1 + rng.below(kSamples);
            }
    setPace(song, kPatterns, 6, 125);
    return {"bigsamples", song};
}

}  // namespace

std::vector<NamedSong> comparisonSet() { return {sparse(), medium(), dense(), bigSamples()}; }

modwriter::Song largeModule() {
    Rng rng{5};
    const std::array<int, 36> periods = notePeriods();
    modwriter::Song song;
    song.title = "bench large";
    song.song_length = 128;
    song.restart = 0;
    // Odd pattern numbers up to 255: the file carries all 256 blocks.
    for (int i = 0; i < 128; ++i) song.orders[static_cast<std::size_t>(i)] = 2 * i + 1;
    for (int i = 0; i < 31; ++i) {
        modwriter::SampleDesc& s = song.samples[static_cast<std::size_t>(i)];
        s = looped("sample" + std::to_string(i + 1), Wave::Noise, kMaxSampleBytes, 1, rng);
        s.loop_start_words = 1000;
        s.loop_length_words = 30000;
    }
    for (int p = 0; p < 256; ++p)
        for (int row = 0; row < 64; ++row)
            for (int ch = 0; ch < 4; ++ch) {
                modwriter::Cell& cell = song.at(p, row, ch);
                cell.period = periods[static_cast<std::size_t>(rng.below(36))];
                cell.sample = 1 + rng.below(31);
                cell.effect = 1 + rng.below(15);
                cell.param = 1 + rng.below(200);
            }
    return song;
}

}  // namespace benchmods
