// The Amiga's own sound: what Paula's band-limited steps leave of the images
// a frame-held mix folds back, each filter's response against its circuit,
// the LED filter under E0x, and the renderer in each mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "audio/paula.h"
#include "tests/engine_harness.h"
#include "tests/process.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// The stretch of a render measured: from a quarter second in (the
// high-pass settled), 2^15 frames.
constexpr int kSkipFrames = kOutputRate / 4;
constexpr int kMeasuredFrames = 1 << 15;

enum class Wave { kSine, kSquare };

// A looped sample of one cycle of the wave, bytes long, at full scale.
modwriter::SampleDesc cycle(Wave wave, int bytes) {
    modwriter::SampleDesc s;
    for (int i = 0; i < bytes; ++i) {
        const double x = wave == Wave::kSine ? 127 * std::sin(2 * kPi * i / bytes) : (2 * i < bytes ? 127 : -127);
        s.data.push_back(static_cast<std::int8_t>(std::lround(x)));
    }
    s.loop_length_words = bytes / 2;
    return s;
}

// The sample played on channel 1 from the first row at that period, held
// there by an E1x fine slide from the nearest note above; led_on: E00 on
// channel 2 in the same row.
modwriter::Song tone(const modwriter::SampleDesc& sample, int period, bool led_on = false) {
    modwriter::Song song;
    song.samples[0] = sample;
    int note = 0;
    for (int p : tab_tunes[0])
        if (p >= period) note = p;
    modwriter::Cell& cell = song.at(0, 0, 0);
    cell = {note, 1, 0xE, 0x10 | (note - period)};
    if (led_on) song.at(0, 0, 1) = {0, 0, 0xE, 0x00};
    return song;
}

// The measured stretch of the left side of song rendered in model.
std::vector<double> renderLeft(const modwriter::Song& song, AmigaModel model) {
    harness::Engine engine(song);
    paulaSetModel(model);
    const std::vector<std::int16_t> frames = engine.render(kSkipFrames + kMeasuredFrames);
    std::vector<double> left;
    for (int i = kSkipFrames; i < kSkipFrames + kMeasuredFrames; ++i) left.push_back(frames[2 * static_cast<std::size_t>(i)]);
    return left;
}

// The Blackman-Harris window's value at frame i of the measured stretch.
double window(int i) {
    const double x = 2 * kPi * i / kMeasuredFrames;
    return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
}

// The windowed stretch's amplitude at frequency hz.
double amplitudeAt(const std::vector<double>& left, double hz) {
    std::complex<double> sum;
    for (int i = 0; i < kMeasuredFrames; ++i)
        sum += left[static_cast<std::size_t>(i)] * window(i) * std::polar(1.0, -2 * kPi * hz * i / kOutputRate);
    return std::abs(sum);
}

// The windowed stretch's spectrum, bins 0..kMeasuredFrames/2 (radix-2 FFT).
std::vector<double> spectrum(const std::vector<double>& left) {
    std::vector<std::complex<double>> a(kMeasuredFrames);
    for (int i = 0; i < kMeasuredFrames; ++i) a[static_cast<std::size_t>(i)] = left[static_cast<std::size_t>(i)] * window(i);
    for (std::size_t i = 1, j = 0; i < a.size(); ++i) {
        std::size_t bit = a.size() >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= a.size(); len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * kPi / static_cast<double>(len));
        for (std::size_t i = 0; i < a.size(); i += len) {
            std::complex<double> wk = 1;
            for (std::size_t k = 0; k < len / 2; ++k, wk *= w) {
                const std::complex<double> u = a[i + k], t = a[i + k + len / 2] * wk;
                a[i + k] = u + t;
                a[i + k + len / 2] = u - t;
            }
        }
    }
    std::vector<double> out;
    for (std::size_t k = 0; k <= a.size() / 2; ++k) out.push_back(std::abs(a[k]));
    return out;
}

double decibels(double ratio) { return 20 * std::log10(ratio); }

// The frequency a sample of bytes plays at for a period: its voice's step
// per frame, once round the sample.
double toneHz(int period, int bytes) {
    return periodToRate(period) * static_cast<double>(kOutputRate) / (1 << kPositionFractionBits) / bytes;
}

struct AliasCase {
    const char* name;
    Wave wave;
    int period;
};

class Paula : public harness::EngineTest {};

// Everything Paula makes of a looped cycle lies at multiples of its
// frequency; whatever lies elsewhere was folded back from above 24 kHz.
TEST_F(Paula, FoldedImagesStayAtLeast60DecibelsBelowTheNote) {
    constexpr AliasCase kCases[] = {{"sine at 113", Wave::kSine, 113},
                                    {"sine at 200", Wave::kSine, 200},
                                    {"square at 113", Wave::kSquare, 113},
                                    {"square at 200", Wave::kSquare, 200}};
    constexpr int kCycleBytes = 32;
    constexpr double kLobeBins = 6;  // the window's main lobe, and a bin of margin
    for (const AliasCase& c : kCases) {
        const double note = toneHz(c.period, kCycleBytes);
        const std::vector<double> bins = spectrum(renderLeft(tone(cycle(c.wave, kCycleBytes), c.period), AmigaModel::kA1200));
        const double bin_hz = static_cast<double>(kOutputRate) / kMeasuredFrames;
        double folded = 0;
        for (std::size_t k = 0; k < bins.size(); ++k) {
            const double hz = static_cast<double>(k) * bin_hz;
            const double harmonic = std::round(hz / note) * note;
            if (std::fabs(hz - harmonic) > kLobeBins * bin_hz) folded = std::max(folded, bins[k]);
        }
        const double below = decibels(bins[static_cast<std::size_t>(std::lround(note / bin_hz))] / folded);
        EXPECT_GE(below, 60) << c.name;
        RecordProperty(c.name, std::to_string(below));
    }
}

struct ResponseCase {
    const char* name;
    int bytes;   // a sine cycle of this many bytes
    int period;
    bool image;  // measured at the image below the step rate, not the note
    AmigaModel model;
    bool led;
    AmigaModel reference;  // rendered the same, the LED filter off
    double decibels;       // the circuit's response, over the reference's
};

// Each circuit's response at a tone, from renders in two modes whose ratio
// leaves only the filter measured: the step, its band limit and the others
// cancel out.
TEST_F(Paula, FiltersFollowTheirCircuitsWithinHalfADecibel) {
    constexpr AmigaModel kOff = AmigaModel::kOff, kA500 = AmigaModel::kA500, kA1200 = AmigaModel::kA1200;
    constexpr ResponseCase kCases[] = {
        {"A1200 high-pass at 19.8 Hz", 222, 808, false, kA1200, false, kOff, -0.30},
        {"A500 filters at 19.8 Hz", 222, 808, false, kA500, false, kOff, -0.28},
        {"A500 low-pass at 981 Hz", 32, 113, false, kA500, false, kA1200, -0.21},
        {"A500 low-pass at 3923 Hz", 8, 113, false, kA500, false, kA1200, -2.52},
        {"A500 low-pass at 7846 Hz", 4, 113, false, kA500, false, kA1200, -6.18},
        {"A500 low-pass at 13168 Hz", 4, 202, true, kA500, false, kA1200, -9.94},
        {"A500 low-pass at 17009 Hz", 32, 202, true, kA500, false, kA1200, -11.99},
        {"LED at 981 Hz", 32, 113, false, kA1200, true, kA1200, -0.17},
        {"LED at 3923 Hz", 8, 113, false, kA1200, true, kA1200, -6.10},
        {"LED at 7846 Hz", 4, 113, false, kA500, true, kA500, -16.48},
        {"LED at 13168 Hz", 4, 202, true, kA1200, true, kA1200, -25.26},
        {"LED at 17009 Hz", 32, 202, true, kA1200, true, kA1200, -29.67},
    };
    for (const ResponseCase& c : kCases) {
        const modwriter::SampleDesc sample = cycle(Wave::kSine, c.bytes);
        const double note = toneHz(c.period, c.bytes);
        const double hz = c.image ? note * (c.bytes - 1) : note;
        const double measured = amplitudeAt(renderLeft(tone(sample, c.period, c.led), c.model), hz);
        const double reference = amplitudeAt(renderLeft(tone(sample, c.period), c.reference), hz);
        EXPECT_NEAR(decibels(measured / reference), c.decibels, 0.5) << c.name;
    }
}

// E0x switches the LED filter at the first tick of its row, whatever the
// mode; only the Amiga's own sound hears it.
TEST_F(Paula, LedFollowsE0xAtItsTickAndOnlyAmigaModeHearsIt) {
    modwriter::Song song = harness::basicSong();
    song.row(0, 0, "C-2 01 ... | --- -- ... | --- -- ... | --- -- ...");
    song.row(0, 1, "--- -- E00 | --- -- ... | --- -- ... | --- -- ...");
    song.row(0, 3, "--- -- ... | --- -- E01 | --- -- ... | --- -- ...");
    constexpr int kTicks = 6 * 4;
    harness::Engine engine(song);
    std::vector<bool> seen;
    for (int i = 0; i < kTicks; ++i) {
        engine.ticks(1);
        seen.push_back(paulaLed());
    }
    for (int i = 0; i < kTicks; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i >= 6 && i < 18) << "tick " << i;

    modwriter::Song plain = song;
    plain.row(0, 1, "--- -- ... | --- -- ... | --- -- ... | --- -- ...");
    const auto heard = [](const modwriter::Song& s, AmigaModel model) {
        harness::Engine e(s);
        paulaSetModel(model);
        return e.render(kOutputRate);
    };
    EXPECT_EQ(heard(song, AmigaModel::kOff), heard(plain, AmigaModel::kOff));
    EXPECT_NE(heard(song, AmigaModel::kA1200), heard(plain, AmigaModel::kA1200));
}

// The renderer plays every command in each mode to the length asked; off is
// the default, bit for bit.
TEST_F(Paula, RendersEveryCommandInEachMode) {
    harness::TempDir dir;
    const std::string module = dir.file("every.mod");
    modwriter::Song song = harness::basicSong();
    for (int command = 0; command < 32; ++command) {  // 0..F, then E0..EF
        const int param = command < 16 ? 0x37 : (command - 16) << 4 | 1;
        song.at(0, 2 * command, command % 4) = {428 - command, 1, command < 16 ? command : 0xE, param};
    }
    ASSERT_TRUE(song.write(module));
    const auto raw = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> argv = {ZINDLE_RENDER_BIN, "--raw", "--seconds", "3", "--output", "-"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.push_back(module);
        const harness::Result r = harness::run(argv);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    const std::string plain = raw({});
    EXPECT_EQ(raw({"--amiga", "off"}), plain);
    for (const char* model : {"a500", "a1200"}) {
        const std::string amiga = raw({"--amiga", model});
        EXPECT_EQ(amiga.size(), plain.size()) << model;
        EXPECT_NE(amiga, plain) << model;
    }
    EXPECT_EQ(harness::run({ZINDLE_RENDER_BIN, "--amiga", "a600", module}).status, 2);
}

}  // namespace
