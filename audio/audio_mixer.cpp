// The four-voice mixer. The callback asks the replay engine how many frames
// lie before the next tick, mixes exactly those with constant voice settings,
// and repeats, so every tick takes effect at an exact output frame.
#include "audio/audio_mixer.h"

#include <SDL/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "player/protracker_sequencer.h"

Voice v[kVoices];

namespace {

struct PanGains {
    std::int32_t left;
    std::int32_t right;
};
// Voices 0 and 3 sound mostly left, 1 and 2 mostly right.
constexpr PanGains kDefaultGains[kVoices] = {{191, 64}, {63, 192}, {63, 192}, {191, 64}};

std::int32_t mixbufL[kChunkFrames];
std::int32_t mixbufR[kChunkFrames];

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

void mixVoice(Voice& voice, int frames) {
    // A voice on an empty sample, or moved to its loop end by a sample
    // change, must not be read before the tests have run on it.
    if (!voice.data || !wrapOrEnd(voice)) return;
    const std::int8_t* data = voice.data;
    const std::int32_t volume = voice.volume;
    const std::int32_t left = voice.left * volume;
    const std::int32_t right = voice.right * volume;
    const std::uint32_t rate = voice.rate;
    for (int i = 0; i < frames; ++i) {
        const std::int32_t s = data[byteIndex(voice.position)];
        mixbufL[i] += s * left;
        mixbufR[i] += s * right;
        voice.position += rate;
        if (!wrapOrEnd(voice)) return;
    }
}

inline std::int16_t clip(std::int32_t accumulator) {
    return static_cast<std::int16_t>(std::clamp(accumulator >> 7, -32768, 32767));
}

void mixChunk(std::uint8_t* out, int frames) {
    std::memset(mixbufL, 0, sizeof(std::int32_t) * static_cast<std::size_t>(frames));
    std::memset(mixbufR, 0, sizeof(std::int32_t) * static_cast<std::size_t>(frames));
    for (Voice& voice : v) mixVoice(voice, frames);
    for (int i = 0; i < frames; ++i) {
        const std::uint16_t l = static_cast<std::uint16_t>(clip(mixbufL[i]));
        const std::uint16_t r = static_cast<std::uint16_t>(clip(mixbufR[i]));
        out[4 * i + 0] = static_cast<std::uint8_t>(l & 0xFF);
        out[4 * i + 1] = static_cast<std::uint8_t>(l >> 8);
        out[4 * i + 2] = static_cast<std::uint8_t>(r & 0xFF);
        out[4 * i + 3] = static_cast<std::uint8_t>(r >> 8);
    }
}

}  // namespace

void mixaudio(void*, std::uint8_t* stream, int len) {
    int frames = len / 4;
    while (frames > 0) {
        // The accumulators hold one device buffer; longer requests go in pieces.
        const int n = zindlePulse(std::min(frames, kChunkFrames));
        mixChunk(stream, n);
        frames -= n;
        stream += 4 * n;
    }
}

int audioStart() {
    audioCutAllVoices();
    SDL_AudioSpec wanted{};
    wanted.freq = kOutputRate;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = kChunkFrames;
    wanted.callback = mixaudio;
    wanted.userdata = nullptr;
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        std::fprintf(stderr, "Unable to open audio: %s\n", SDL_GetError());
        return 0;
    }
    SDL_PauseAudio(0);
    return 1;
}

void audioStop() {
    audioCutAllVoices();
    SDL_Delay(100);
    SDL_PauseAudio(1);
    SDL_CloseAudio();
}

void audioCutAllVoices() {
    SDL_LockAudio();
    for (int i = 0; i < kVoices; ++i) {
        v[i] = Voice{};
        v[i].left = kDefaultGains[i].left;
        v[i].right = kDefaultGains[i].right;
    }
    SDL_UnlockAudio();
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
    if (loop_length < 3) {
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

void audioSetPanning(int voice, std::uint8_t pan) {
    v[voice].right = pan;
    v[voice].left = 255 - pan;
}

void audioPause() {
    for (Voice& vo : v) {
        vo.data = nullptr;
        vo.length = 0;
        vo.loop_length = 0;
        vo.loop_end = 0;
        vo.position = 0;
    }
}
