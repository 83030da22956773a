// The mixer of up to 32 voices. The callback asks the frame source (the
// engine playing) for the frames before its next tick, which our own engine
// mixes here with constant voice settings, and repeats, so every tick takes
// effect at an exact output frame.
#include "audio/audio_mixer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

Voice v[kMaxVoices];

namespace {

// Voices 0 and 3 sound mostly left, 1 and 2 mostly right; every further
// group of four pans as the first does.
constexpr int kPanGroup = 4;
constexpr PanGains kDefaultGains[kPanGroup] = {{191, 64}, {63, 192}, {63, 192}, {191, 64}};
// How long the cut voices play on before the device stops.
constexpr std::uint32_t kStopFadeMs = 100;

// Gain over two plain int32 sums per frame: 39% fewer instructions (callgrind) mixing four voices.
// One accumulator per frame holds both sides: the left sum in the low 32
// bits, offset by 2^31, and the right sum in the high 32 bits. Adding
// s * (left + right * 2^32) adds s * left below and s * right above. Each
// side's sum is below 2^31 in size (at most 32 voices x 128 x 255 x 255, a
// volume byte of 255 included, = 266342400), so with the offset the low half
// ends between 0 and 2^32 and has neither borrowed from nor carried into the
// high half: both sums read back exactly.
alignas(16) std::int64_t mixbuf[kChunkFrames];
constexpr std::int64_t kSilence = std::int64_t{1} << 31;
constexpr std::int64_t kRightUnit = std::int64_t{1} << 32;
static_assert(std::int64_t{kMaxVoices} * 128 * 255 * 255 < kSilence, "a side's sum fits beside the offset");

inline std::int32_t sideLeft(std::int64_t accumulator) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(accumulator) - static_cast<std::uint32_t>(kSilence));
}
inline std::int32_t sideRight(std::int64_t accumulator) { return static_cast<std::int32_t>(accumulator >> 32); }

inline std::uint32_t byteIndex(std::uint32_t position) { return position >> kPositionFractionBits; }

// The loop test then the end test. Returns false when the voice has ended.
inline bool wrapOrEnd(Voice& voice) {
    if (byteIndex(voice.position) >= voice.loop_end)
        voice.position -= voice.loop_length << kPositionFractionBits;
    if (byteIndex(voice.position) >= voice.length) {
        voice.data = nullptr;
        return false;
    }
    return true;
}

// The lowest position at which one of the tests acts: the end of the sample
// or, for a voice that loops, the end of the loop (a loop test that
// subtracts nothing changes nothing). Capped at 2^32, where the position
// would wrap around.
std::uint64_t boundaryPosition(const Voice& voice) {
    std::uint64_t bytes = voice.length;
    if (voice.loop_length != 0) bytes = std::min<std::uint64_t>(bytes, voice.loop_end);
    return std::min<std::uint64_t>(bytes << kPositionFractionBits, std::uint64_t{1} << 32);
}

// How many of `frames` steps of `rate` from `position` stay below `boundary`:
// for those frames the tests can't act and are skipped.
int framesBefore(std::uint32_t position, std::uint32_t rate, std::uint64_t boundary, int frames) {
    if (position >= boundary) return 0;
    if (rate == 0) return frames;
    return static_cast<int>(std::min<std::uint64_t>((boundary - 1 - position) / rate, static_cast<std::uint64_t>(frames)));
}

// Mixes `count` frames with no boundary among them; returns the new position.
// The unrolled loop does little more than the work of each frame.
std::uint32_t mixSpan(const std::int8_t* data, std::uint32_t position, std::uint32_t rate, std::int64_t gains,
                      std::int64_t* out, int count) {
#pragma GCC unroll 4
    for (int i = 0; i < count; ++i) {
        out[i] += data[byteIndex(position)] * gains;
        position += rate;
    }
    return position;
}

int separation = kFullSeparation;

// A voice's gains as heard at the separation: at full separation its own,
// else each side mixed with the other's share (gains are 0..255, so the
// sums are never negative and the division rounds down).
PanGains separated(std::int32_t left, std::int32_t right) {
    if (separation == kFullSeparation) return {left, right};
    const std::int64_t own = kFullSeparation + separation;
    const std::int64_t other = kFullSeparation - separation;
    constexpr std::int64_t kWhole = 2 * kFullSeparation;
    return {static_cast<std::int32_t>((left * own + right * other) / kWhole),
            static_cast<std::int32_t>((right * own + left * other) / kWhole)};
}

void mixVoice(Voice& voice, int frames) {
    // A voice on an empty sample, or moved to its loop end by a sample
    // change, must not be read before the tests have run on it.
    if (!voice.data || !wrapOrEnd(voice)) return;
    const std::int8_t* data = voice.data;
    const std::int32_t volume = voice.volume;
    const PanGains heard = separated(voice.left, voice.right);
    const std::int64_t gains = heard.left * volume + std::int64_t{heard.right * volume} * kRightUnit;
    const std::uint32_t rate = voice.rate;
    const std::uint64_t boundary = boundaryPosition(voice);
    // Runs of frames up to the next boundary, each followed by the one frame
    // that reaches it and the tests, as often as the chunk needs.
    int done = 0;
    while (done < frames) {
        const int run = framesBefore(voice.position, rate, boundary, frames - done);
        // A voice at volume 0 adds nothing: only its position moves.
        voice.position = gains == 0 ? voice.position + static_cast<std::uint32_t>(run) * rate
                                    : mixSpan(data, voice.position, rate, gains, mixbuf + done, run);
        done += run;
        if (done == frames) return;
        // The frame whose step reaches the boundary, then the tests.
        voice.position = mixSpan(data, voice.position, rate, gains, mixbuf + done, 1);
        ++done;
        if (!wrapOrEnd(voice)) return;
    }
}

inline std::int16_t clip(std::int32_t side) {
    return static_cast<std::int16_t>(std::clamp(side >> kOutputShift, -32768, 32767));
}

// Frames [from, to) of the chunk, each side divided by 128 (rounding down)
// and clipped to 16 bits, written as s16le frames, left first, a byte at a
// time: the same bytes whatever the target's byte order.
void writeFramesPortable(std::uint8_t* out, int from, int to) {
    for (int i = from; i < to; ++i) {
        const std::uint16_t l = static_cast<std::uint16_t>(clip(sideLeft(mixbuf[i])));
        const std::uint16_t r = static_cast<std::uint16_t>(clip(sideRight(mixbuf[i])));
        out[kBytesPerFrame * i + 0] = static_cast<std::uint8_t>(l & 0xFF);
        out[kBytesPerFrame * i + 1] = static_cast<std::uint8_t>(l >> 8);
        out[kBytesPerFrame * i + 2] = static_cast<std::uint8_t>(r & 0xFF);
        out[kBytesPerFrame * i + 3] = static_cast<std::uint8_t>(r >> 8);
    }
}

int master_volume = kFullMasterVolume;

// Each s16le sample of the frames times volume / 100, rounded toward zero:
// the software master volume, a pass of its own so that at full volume the
// output costs nothing more.
void scaleFrames(std::uint8_t* out, int frames, int volume) {
    for (int i = 0; i < 2 * frames; ++i) {
        std::uint8_t* at = out + 2 * i;
        const auto sample = static_cast<std::int16_t>(at[0] | at[1] << 8);
        const auto scaled = static_cast<std::uint16_t>(sample * volume / kFullMasterVolume);
        at[0] = static_cast<std::uint8_t>(scaled & 0xFF);
        at[1] = static_cast<std::uint8_t>(scaled >> 8);
    }
}

// The fade to silence: of fade_frames frames in all, fade_left are still to
// come; 0 of 0 is no fade. Each sample is scaled by what is left of it,
// rounded toward zero, the last frame of the fade and all after it silent.
std::uint32_t fade_frames = 0;
std::uint32_t fade_left = 0;

void fadeFrames(std::uint8_t* out, int frames) {
    for (int i = 0; i < frames; ++i) {
        if (fade_left > 0) --fade_left;
        for (int side = 0; side < 2; ++side) {
            std::uint8_t* at = out + kBytesPerFrame * i + 2 * side;
            const auto sample = static_cast<std::int16_t>(at[0] | at[1] << 8);
            const auto scaled = static_cast<std::uint16_t>(std::int64_t{sample} * fade_left / fade_frames);
            at[0] = static_cast<std::uint8_t>(scaled & 0xFF);
            at[1] = static_cast<std::uint8_t>(scaled >> 8);
        }
    }
}

// Paused, the source is asked for nothing: it stays at the frame it reached.
bool paused = false;

void mixChunk(std::uint8_t* out, int frames) {
    std::fill(mixbuf, mixbuf + frames, kSilence);
    for (Voice& voice : v) mixVoice(voice, frames);
#if defined(__SSE2__) && !defined(ZINDLE_PORTABLE_MIX)
    mixOutputSse2(out, frames);
#else
    mixOutputPortable(out, frames);
#endif
}

}  // namespace

void mixOutputPortable(std::uint8_t* out, int frames) { writeFramesPortable(out, 0, frames); }

PanGains audioHeardGains(const Voice& voice) { return separated(voice.left, voice.right); }

bool audioWrapOrEnd(Voice& voice) { return wrapOrEnd(voice); }

void audioMixVoices(std::uint8_t* out, int frames) { mixChunk(out, frames); }

namespace {

// What plays before an engine installs itself: the voices, all cut at start.
int voicesAlone(std::uint8_t* out, int frames) {
    mixChunk(out, frames);
    return frames;
}

FrameSource frame_source = voicesAlone;

}  // namespace

void audioSetFrameSource(FrameSource source) { frame_source = source ? source : voicesAlone; }

#if defined(__SSE2__)
// Gain over the portable loop: 80% fewer instructions per output frame (callgrind).
// In memory an accumulator is its left word (with the offset), then its right
// word: already the order of the output. Flipping bit 31 of the left words
// removes the offset; the saturating pack is the clip. Four frames a step;
// the one to three left over go the portable way.
void mixOutputSse2(std::uint8_t* out, int frames) {
    const __m128i offset = _mm_set_epi32(0, INT32_MIN, 0, INT32_MIN);
    const auto sides = [&](int frame) {  // two frames: L, R, L, R
        const __m128i words = _mm_load_si128(reinterpret_cast<const __m128i*>(mixbuf + frame));
        return _mm_srai_epi32(_mm_xor_si128(words, offset), kOutputShift);
    };
    int i = 0;
    for (; i + 4 <= frames; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + kBytesPerFrame * i), _mm_packs_epi32(sides(i), sides(i + 2)));
    writeFramesPortable(out, i, frames);
}
#endif

void mixaudio(void*, std::uint8_t* stream, int len) {
    if (paused) {
        std::memset(stream, 0, static_cast<std::size_t>(std::max(len, 0)));
        return;
    }
    int frames = len / kBytesPerFrame;
    while (frames > 0) {
        // The accumulators hold one device buffer; longer requests go in pieces.
        const int n = frame_source(stream, std::min(frames, kChunkFrames));
        if (master_volume < kFullMasterVolume) scaleFrames(stream, n, master_volume);
        if (fade_frames != 0) fadeFrames(stream, n);
        frames -= n;
        stream += kBytesPerFrame * n;
    }
}

int audioStart() {
    audioCutAllVoices();
    return platform().start_audio(mixaudio);
}

void audioStop() {
    audioCutAllVoices();
    platform().sleep_ms(kStopFadeMs);
    platform().stop_audio();
}

void audioSetMasterVolume(int volume) {
    AudioLock lock;
    master_volume = std::clamp(volume, 0, kFullMasterVolume);
}

void audioSetPaused(bool on) {
    AudioLock lock;
    paused = on;
}

bool audioPaused() {
    AudioLock lock;
    return paused;
}

void audioStartFade(std::uint32_t frames) {
    AudioLock lock;
    fade_frames = fade_left = frames;
}

bool audioFadeDone() {
    AudioLock lock;
    return fade_frames != 0 && fade_left == 0;
}

int audioMasterVolume() {
    AudioLock lock;
    return master_volume;
}

void audioSetSeparation(int percent) {
    AudioLock lock;
    separation = std::clamp(percent, 0, kFullSeparation);
}

int audioSeparation() { return separation; }

void audioCutAllVoices() {
    AudioLock lock;
    for (int i = 0; i < kMaxVoices; ++i) {
        v[i] = Voice{};
        v[i].left = kDefaultGains[i % kPanGroup].left;
        v[i].right = kDefaultGains[i % kPanGroup].right;
    }
}

void audioSetSource(int voice, std::int8_t* data, std::uint32_t length, std::uint32_t loop_start,
                    std::uint32_t loop_length) {
    Voice& vo = v[voice];
    vo.data = data;
    vo.length = length;
    vo.loop_length = loop_length;
    vo.loop_end = loop_start + loop_length;
    vo.position = 0;
}

void audioChangeSrc(int voice, std::int8_t* data, std::uint32_t length, std::uint32_t loop_start,
                    std::uint32_t loop_length) {
    Voice& vo = v[voice];
    const std::uint32_t b = byteIndex(vo.position);
    if (loop_length < kMinLoopBytes) {
        if (b >= length) vo.position = 0;
        vo.loop_length = 0;
        vo.loop_end = 0;
    } else {
        vo.loop_end = loop_start + loop_length;
        if (b >= vo.loop_end) vo.position = vo.loop_end << kPositionFractionBits;
        vo.loop_length = loop_length;
    }
    vo.length = length;
    vo.data = data;
}

void audioSetOffset(int voice, std::uint32_t offset) {
    if (offset < v[voice].length) v[voice].position = offset << kPositionFractionBits;
}

void audioSetVolume(int voice, std::uint8_t volume) { v[voice].volume = volume; }

void audioSetRate(int voice, std::uint32_t rate) { v[voice].rate = rate; }

void audioPause() {
    for (Voice& vo : v) {
        vo.data = nullptr;
        vo.length = 0;
        vo.loop_length = 0;
        vo.loop_end = 0;
        vo.position = 0;
    }
}
