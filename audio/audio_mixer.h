// The software mixer of up to 32 voices and the audio device whose callback
// drives it, and through it whatever source of frames is installed: the
// engine that plays.
#pragma once

#include <cstdint>

constexpr int kPositionFractionBits = 14;   // 18.14 fixed-point positions and steps
constexpr int kOutputRate = 48000;          // frames per second
constexpr int kChunkFrames = 1024;          // frames per device buffer and per mix chunk
constexpr int kBytesPerFrame = 4;           // an output frame: s16le left, then right
// A side's mixed sum, shifted right by this (rounding down) and clipped to
// 16 bits, is its output sample.
constexpr int kOutputShift = 7;
// One voice per channel of the module; voices no channel drives stay cut.
constexpr int kMaxVoices = 32;

// A loop shorter than this is no loop, to the mixer and the MOD loader
// alike: a file's loop of one word means none.
constexpr int kMinLoopBytes = 4;

// Volumes run 0..64, as the Amiga's did: a voice's, a MOD's sample and
// channel volumes, and every volume the engines tell the views.
constexpr int kMaxVolume = 64;

struct Voice {
    std::int8_t* data;          // first byte of the sample; null = silent
    std::uint8_t volume;        // 0..kMaxVolume
    std::int32_t left;          // gains 0..255
    std::int32_t right;
    std::uint32_t rate;         // step per output frame, 18.14
    std::uint32_t length;       // sample length in bytes
    std::uint32_t loop_length;  // 0 = no loop
    std::uint32_t loop_end;     // loop start + loop length; 0 = no loop
    std::uint32_t position;     // play position, 18.14
};

extern Voice v[kMaxVoices];

struct PanGains {
    std::int32_t left;
    std::int32_t right;
};
// A voice's gains as heard at the stereo separation set (audioSetSeparation).
PanGains audioHeardGains(const Voice& voice);
// The loop test then the end test the mixer runs on a voice after each
// frame's step; false, the voice cut, when it has ended.
bool audioWrapOrEnd(Voice& voice);

// Clears the voices, opens the device (48000 Hz, s16le, stereo, 1024 frames)
// and starts it. Returns 1 on success; 0 after printing "Unable to open audio".
int audioStart();
// Cuts the voices, lets the callback run 100 ms more, then closes the device.
void audioStop();
// Zeroes every voice field and restores the default pan gains (under the audio lock).
void audioCutAllVoices();
// Starts a sample on a voice from its beginning; rate, volume and gains stay.
void audioSetSource(int voice, std::int8_t* data, std::uint32_t length,
                    std::uint32_t loop_start, std::uint32_t loop_length);
// Puts another sample under a voice without restarting it.
void audioChangeSrc(int voice, std::int8_t* data, std::uint32_t length,
                    std::uint32_t loop_start, std::uint32_t loop_length);
// Moves the play position to byte offset; ignored at or past the sample's length.
void audioSetOffset(int voice, std::uint32_t offset);
void audioSetVolume(int voice, std::uint8_t volume);
void audioSetRate(int voice, std::uint32_t rate);
// Stops all voices, keeping volume, rate and gains.
void audioPause();
// The software master volume, 0..100: the output's level in percent, used
// when the sound card has no OSS mixer. At 100 (program start) every sample
// leaves the mixer as mixed; below, each is scaled by volume / 100 (rounded
// toward zero). Clamped to 0..100; set under the audio lock.
constexpr int kFullMasterVolume = 100;
void audioSetMasterVolume(int volume);
int audioMasterVolume();
// Paused, the callback writes silence and asks the frame source for
// nothing, so that playing resumes at the very frame it stopped at. Off at
// program start; set under the audio lock.
void audioSetPaused(bool on);
bool audioPaused();
// Fades what plays to silence over the next frames output frames (level
// falling linearly from full to none, the software master volume applied
// first), silent from then on; 0 ends any fade (full level). Off at program
// start. audioFadeDone: a fade started has reached silence.
void audioStartFade(std::uint32_t frames);
bool audioFadeDone();
// The stereo separation, 0..100 percent: each voice is heard with the gains
// L' = floor((L (100 + P) + R (100 - P)) / 200) and
// R' = floor((R (100 + P) + L (100 - P)) / 200) in place of its own L and R.
// At 100 (program start) the gains are the voice's own, bit for bit; at 0
// both sides get their mean (mono): 191/64 becomes 127/127, and 159/95 at
// 50. Clamped to 0..100; set under the audio lock.
constexpr int kFullSeparation = 100;
void audioSetSeparation(int percent);
// The separation last set. Read it on the thread that sets it, on the audio
// thread (an engine mixing on its own asks it there) or under the audio lock.
int audioSeparation();
// Writes up to frames (1..kChunkFrames) s16le stereo frames to out and
// returns how many it wrote (>= 1): an engine's frames up to its next tick,
// so that each tick takes effect at an exact output frame.
using FrameSource = int (*)(std::uint8_t* out, int frames);
// Installs where mixaudio takes its frames from; until then the voices alone
// play. Call it under the audio lock, or while no device runs.
void audioSetFrameSource(FrameSource source);
// The audio callback: fills len bytes of interleaved s16le stereo from the
// installed frame source, a piece at a time, then applies the software
// master volume.
void mixaudio(void* userdata, std::uint8_t* stream, int len);
// Our own engine's mixing: the voices' next frames (at most kChunkFrames) as
// s16le stereo frames.
void audioMixVoices(std::uint8_t* out, int frames);

// The last step of each chunk, exposed so that the benchmark can time both
// ways and the tests can compare them: the first `frames` (at most
// kChunkFrames) accumulators of the chunk mixed last, as s16le stereo
// frames. The portable way is what a target without SSE2 runs, and what
// mixaudio runs on x86 too in a build with -DZINDLE_PORTABLE_MIX=ON.
void mixOutputPortable(std::uint8_t* out, int frames);
#if defined(__SSE2__)
void mixOutputSse2(std::uint8_t* out, int frames);
#endif
