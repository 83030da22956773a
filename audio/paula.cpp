// The Amiga's own sound. Paula holds each voice's byte times its volume
// until the voice steps to its next byte; the voice's output is that
// staircase. Each step is added to the frames as the step response of a
// band limit below half the output rate followed by the machine's
// low-passes (the A500's RC filter, the LED filter when it is on), taken
// from a table at the step's exact time between two frames: the frames then
// hold what the analog circuit puts out, without the images a frame-held mix
// folds back into the audible band. The table holds the increments of that
// response from frame to frame, so the frames integrate them: a step adds
// its size to the level exactly once. The high-pass, nearly flat above
// 20 Hz, runs on the frames themselves. A voice steps at its 18.14 rate,
// which is its period's steps on the 3546895 Hz clock to within 1/10000, and
// moves, loops and ends exactly as in the plain mixer: positions, traces and
// views are the same in both.
#include "audio/paula.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "audio/audio_mixer.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The circuits' components and the corners they make.
constexpr double kA500LowPassOhms = 360.0;
constexpr double kA500LowPassFarads = 0.1e-6;
constexpr double kA500HighPassOhms = 1390.0;
constexpr double kA500HighPassFarads = 22.33e-6;
constexpr double kA1200HighPassOhms = 1360.0;
constexpr double kA1200HighPassFarads = 22e-6;
constexpr double kLedOhms = 10e3;  // R1 = R2
constexpr double kLedC1Farads = 6800e-12;
constexpr double kLedC2Farads = 3900e-12;

double rcCorner(double ohms, double farads) { return 1.0 / (2.0 * kPi * ohms * farads); }
// The Sallen-Key low-pass with equal resistors: its corner and its Q.
double ledCorner() { return 1.0 / (2.0 * kPi * kLedOhms * std::sqrt(kLedC1Farads * kLedC2Farads)); }
double ledQ() { return std::sqrt(kLedC1Farads * kLedC2Farads) / (2.0 * kLedC2Farads); }

// The step table: kKernelFrames increments for each of kPhases + 1 times
// of a step within a frame (the last is the next frame's first, for the
// interpolation between two phases).
constexpr int kPhases = 256;
constexpr int kKernelFrames = 80;
// The band limit: a Kaiser-windowed sinc over 2 x kSincHalfFrames frames,
// its cutoff at kCutoff of the output rate, centred kSincHalfFrames frames
// after the step (the delay the mode adds: 0.5 ms).
constexpr int kSincHalfFrames = 24;
constexpr double kCutoff = 0.45;
constexpr double kKaiserBeta = 8.0;
// One table for each model's low-pass with the LED filter off and on.
enum Kernel : int { kPlain, kPlainLed, kA500, kA500Led, kKernels };

alignas(16) float kernels[kKernels][kPhases + 1][kKernelFrames];
bool kernels_built = false;

double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

// The step response, sampled kPhases times a frame over the table's span.
constexpr int kFinePoints = kKernelFrames * kPhases + 1;
double response[kFinePoints];

// A low-pass simulated on the fine grid, where the bilinear transform's
// warping is far below a hundredth of a decibel up to 20 kHz.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double run(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

Biquad onePoleLowPass(double corner, double rate) {
    const double k = std::tan(kPi * corner / rate);
    Biquad f;
    f.b0 = f.b1 = k / (1 + k);
    f.a1 = (k - 1) / (k + 1);
    return f;
}

Biquad twoPoleLowPass(double corner, double q, double rate) {
    const double w = 2 * kPi * corner / rate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    Biquad f;
    f.b0 = f.b2 = (1 - std::cos(w)) / 2 / a0;
    f.b1 = (1 - std::cos(w)) / a0;
    f.a1 = -2 * std::cos(w) / a0;
    f.a2 = (1 - alpha) / a0;
    return f;
}

void buildKernel(Kernel which) {
    const double fine_rate = static_cast<double>(kOutputRate) * kPhases;
    Biquad rc = onePoleLowPass(rcCorner(kA500LowPassOhms, kA500LowPassFarads), fine_rate);
    Biquad led = twoPoleLowPass(ledCorner(), ledQ(), fine_rate);
    const bool has_rc = which == kA500 || which == kA500Led;
    const bool has_led = which == kPlainLed || which == kA500Led;
    double sum = 0;
    for (int j = 0; j < kFinePoints; ++j) {
        const double t = static_cast<double>(j) / kPhases - kSincHalfFrames;  // frames from the centre
        double impulse = 0;
        if (std::fabs(t) < kSincHalfFrames) {
            const double x = 2 * kCutoff * t;
            const double sinc = x == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
            const double r = t / kSincHalfFrames;
            impulse = 2 * kCutoff * sinc * besselI0(kKaiserBeta * std::sqrt(1 - r * r)) / besselI0(kKaiserBeta);
        }
        if (has_rc) impulse = rc.run(impulse);
        if (has_led) impulse = led.run(impulse);
        sum += impulse;
        response[j] = sum;
    }
    // The response has settled a frame before the table's end: it is scaled
    // to reach 1 there and held, so every step adds exactly its size.
    constexpr int kSettled = (kKernelFrames - 1) * kPhases;
    const double settled = response[kSettled];
    for (int j = 0; j < kFinePoints; ++j) response[j] = j >= kSettled ? 1.0 : response[j] / settled;
    const auto at = [](int j) { return j <= 0 ? 0.0 : response[j]; };
    for (int p = 0; p <= kPhases; ++p)
        for (int k = 0; k < kKernelFrames; ++k)
            kernels[which][p][k] = static_cast<float>(at((k + 1) * kPhases - p) - at(k * kPhases - p));
}

// A voice's level as last stepped to, in the units of the mix (byte x
// volume x gain), each side.
struct Level {
    std::int32_t left;
    std::int32_t right;
};

AmigaModel model = AmigaModel::kOff;
bool led = false;
Level levels[kMaxVoices];
// The increments still to come, frame by frame from the chunk's first: a
// chunk's steps reach up to kKernelFrames frames past its end.
constexpr int kPendingFrames = kChunkFrames + kKernelFrames + 1;
alignas(16) double pending_left[kPendingFrames];
alignas(16) double pending_right[kPendingFrames];

// A side's integrator and its one-pole high-pass (bilinear).
struct Side {
    double level = 0;
    double in1 = 0;
    double out1 = 0;
};
Side sides[2];
double hp_gain = 1;  // b0 = -b1
double hp_feedback = 0;  // a1

void setHighPass(double corner) {
    const double k = std::tan(kPi * corner / kOutputRate);
    hp_gain = 1 / (1 + k);
    hp_feedback = (k - 1) / (k + 1);
}

const float (*active)[kKernelFrames] = nullptr;

void chooseKernel() {
    const int base = model == AmigaModel::kA500 ? kA500 : kPlain;
    active = kernels[base + (led ? 1 : 0)];
}

// A step to `to` at `time` frames into the chunk (0 <= time < frames + 1).
void stepTo(Level& from, Level to, double time) {
    const double d_left = to.left - from.left;
    const double d_right = to.right - from.right;
    from = to;
    if (d_left == 0 && d_right == 0) return;
    const int frame = static_cast<int>(time);
    const double phase = (time - frame) * kPhases;
    const int p = static_cast<int>(phase);
    const float f = static_cast<float>(phase - p);
    const float* a = active[p];
    const float* b = active[p + 1];
    double* left = pending_left + frame + 1;
    double* right = pending_right + frame + 1;
    for (int k = 0; k < kKernelFrames; ++k) {
        const double g = a[k] + f * (b[k] - a[k]);
        left[k] += d_left * g;
        right[k] += d_right * g;
    }
}

// The byte a voice plays once its position has crossed into byte `index`
// (counted on from the frame's start, past the loop's end if need be), or
// false when there is none: the sample has ended.
bool byteAt(const Voice& voice, std::uint64_t index, std::int32_t& value) {
    if (voice.loop_length != 0 && index >= voice.loop_end)
        index = voice.loop_end - voice.loop_length + (index - voice.loop_end) % voice.loop_length;
    if (index >= voice.length) return false;
    value = voice.data[index];
    return true;
}

void mixVoice(Voice& voice, Level& level, int frames) {
    if (voice.data && !audioWrapOrEnd(voice)) voice.data = nullptr;
    const PanGains gains = audioHeardGains(voice);
    const std::int32_t volume = voice.volume;
    const auto heard = [&](std::int32_t byte) { return Level{byte * volume * gains.left, byte * volume * gains.right}; };
    // The volume, the gains or the sample may have changed at this tick.
    stepTo(level, voice.data ? heard(voice.data[voice.position >> kPositionFractionBits]) : Level{0, 0}, 0);
    if (!voice.data) return;
    constexpr std::uint64_t kByte = std::uint64_t{1} << kPositionFractionBits;
    const std::uint32_t rate = voice.rate;
    if (rate == 0) return;
    for (int i = 0; i < frames; ++i) {
        const std::uint64_t from = voice.position;
        const std::uint64_t to = from + rate;
        const std::uint64_t first_byte = (from >> kPositionFractionBits) + 1;
        for (std::uint64_t at = first_byte * kByte; at <= to; at += kByte) {
            std::int32_t byte = 0;
            const bool plays = byteAt(voice, at >> kPositionFractionBits, byte);
            stepTo(level, plays ? heard(byte) : Level{0, 0}, i + static_cast<double>(at - from) / rate);
            if (!plays) break;
        }
        voice.position += rate;
        if (!audioWrapOrEnd(voice)) {
            stepTo(level, Level{0, 0}, i + 1);
            return;
        }
    }
}

std::int16_t toSample(double side) {
    return static_cast<std::int16_t>(std::clamp(std::floor(side / (1 << kOutputShift)), -32768.0, 32767.0));
}

}  // namespace

const char* amigaModelWord(AmigaModel m) {
    switch (m) {
    case AmigaModel::kA500: return "a500";
    case AmigaModel::kA1200: return "a1200";
    case AmigaModel::kOff: break;
    }
    return "off";
}

bool parseAmigaModel(const char* word, AmigaModel& m) {
    for (const AmigaModel each : {AmigaModel::kOff, AmigaModel::kA500, AmigaModel::kA1200}) {
        if (std::strcmp(word, amigaModelWord(each)) == 0) {
            m = each;
            return true;
        }
    }
    return false;
}

void paulaSetModel(AmigaModel m) {
    if (m != AmigaModel::kOff && !kernels_built) {
        for (int k = 0; k < kKernels; ++k) buildKernel(static_cast<Kernel>(k));
        kernels_built = true;
    }
    model = m;
    setHighPass(m == AmigaModel::kA500 ? rcCorner(kA500HighPassOhms, kA500HighPassFarads)
                                       : rcCorner(kA1200HighPassOhms, kA1200HighPassFarads));
    paulaReset();
}

AmigaModel paulaModel() { return model; }

void paulaReset() {
    led = false;
    std::fill(std::begin(levels), std::end(levels), Level{0, 0});
    std::fill(std::begin(pending_left), std::end(pending_left), 0.0);
    std::fill(std::begin(pending_right), std::end(pending_right), 0.0);
    std::fill(std::begin(sides), std::end(sides), Side{});
}

void paulaSetLed(bool on) { led = on; }

bool paulaLed() { return led; }

void paulaMixVoices(std::uint8_t* out, int frames) {
    chooseKernel();
    for (int i = 0; i < kMaxVoices; ++i) mixVoice(v[i], levels[i], frames);
    double* pending[2] = {pending_left, pending_right};
    for (int i = 0; i < frames; ++i) {
        for (int s = 0; s < 2; ++s) {
            Side& side = sides[s];
            side.level += pending[s][i];
            const double high = hp_gain * (side.level - side.in1) - hp_feedback * side.out1;
            side.in1 = side.level;
            side.out1 = high;
            const auto sample = static_cast<std::uint16_t>(toSample(high));
            out[kBytesPerFrame * i + 2 * s] = static_cast<std::uint8_t>(sample & 0xFF);
            out[kBytesPerFrame * i + 2 * s + 1] = static_cast<std::uint8_t>(sample >> 8);
        }
    }
    // The increments past this chunk move to the front for the next.
    for (double* side : pending) {
        std::copy(side + frames, side + kPendingFrames, side);
        std::fill(side + kPendingFrames - frames, side + kPendingFrames, 0.0);
    }
}
