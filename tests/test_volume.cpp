// The master volume, against a fake "/dev/mixer": this test program
// interposes open, ioctl and close, answering for the mixer device itself
// and passing every other call on to the C library. With the device the
// volume is the OSS mixer's and the output stays as mixed; without it the
// mixer's callback scales its output.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/soundcard.h>

#include <array>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "audio/audio_mixer.h"
#include "audio/volume.h"
#include "player/engine.h"
#include "player/protracker_sequencer.h"

namespace {

constexpr int kFakeFd = 4242;

struct FakeMixer {
    bool present = true;
    bool request_fails = false;
    int level = 0;            // the device's current value
    int opens = 0, closes = 0;
    int open_flags = -1;
    unsigned long last_request = 0;
} mixer;

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    if (std::strcmp(path, "/dev/mixer") == 0) {
        ++mixer.opens;
        mixer.open_flags = flags;
        return mixer.present ? kFakeFd : -1;
    }
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
    va_end(args);
    using Open = int (*)(const char*, int, ...);
    static const Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
    return real(path, flags, mode);
}

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (fd == kFakeFd) {
        mixer.last_request = request;
        if (mixer.request_fails) return -1;
        int* value = static_cast<int*>(arg);
        if (request == SOUND_MIXER_WRITE_VOLUME) mixer.level = *value;
        if (request == SOUND_MIXER_READ_VOLUME) *value = mixer.level;
        return 0;
    }
    using Ioctl = int (*)(int, unsigned long, ...);
    static const Ioctl real = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, arg);
}

extern "C" int close(int fd) {
    if (fd == kFakeFd) {
        ++mixer.closes;
        return 0;
    }
    using Close = int (*)(int);
    static const Close real = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "close"));
    return real(fd);
}

TEST(Volume, SetSendsTheLevelToBothSides) {
    const std::pair<int, int> cases[] = {{100, 25700}, {300, 44 * 257}, {0, 0}, {255, 65535}, {-1, 65535}};
    for (const auto& [level, sent] : cases) {
        mixer = FakeMixer{};
        setVolume(level);
        EXPECT_EQ(mixer.level, sent) << level;
        EXPECT_EQ(mixer.last_request, static_cast<unsigned long>(SOUND_MIXER_WRITE_VOLUME));
        EXPECT_EQ(mixer.open_flags, O_WRONLY);
        EXPECT_EQ(mixer.closes, mixer.opens);
    }
}

TEST(Volume, GetReadsTheLeftLevel) {
    mixer = FakeMixer{};
    mixer.level = 80 | 60 << 8;
    EXPECT_EQ(getVolume(), 80);
    EXPECT_EQ(mixer.last_request, static_cast<unsigned long>(SOUND_MIXER_READ_VOLUME));
    EXPECT_EQ(mixer.opens, 1);
    EXPECT_EQ(mixer.closes, 1);
}

// A device that opens but refuses the requests changes nothing, and reads 0.
TEST(Volume, RefusingDeviceIsHarmless) {
    mixer = FakeMixer{};
    mixer.level = 77;
    mixer.request_fails = true;
    EXPECT_EQ(getVolume(), 0);
    setVolume(50);
    EXPECT_EQ(mixer.level, 77);
    EXPECT_EQ(mixer.closes, 2);
}

namespace {

// Voice 0 on a looped sample of +100, -100, 0, at one byte a frame and full
// volume; the mixer's callback renders `frames` frames in one call, L and R
// interleaved.
std::vector<std::int16_t> mixedFrames(int frames = 4) {
    static std::array<std::int8_t, 4> wave = {100, -100, 0, 0};
    audioCutAllVoices();
    audioSetSource(0, wave.data(), 4, 0, 4);
    audioSetRate(0, 1u << kPositionFractionBits);
    audioSetVolume(0, 64);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * kBytesPerFrame);
    mixaudio(nullptr, bytes.data(), static_cast<int>(bytes.size()));
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
    return samples;
}

}  // namespace

// Without the device: the volume starts at 100 and each level scales the
// output, 100 x 64 x 191 / 128 = 9550 on the left and 100 x 64 x 64 / 128 =
// 3200 on the right at full volume.
TEST(Volume, WithoutTheDeviceTheOutputIsScaled) {
    zindleReset();
    mixer = FakeMixer{};
    mixer.present = false;
    EXPECT_EQ(getVolume(), 100);
    EXPECT_EQ(mixedFrames(), (std::vector<std::int16_t>{9550, 3200, -9550, -3200, 0, 0, 0, 0}));
    const std::pair<int, std::vector<std::int16_t>> cases[] = {
        {95, {9072, 3040, -9072, -3040, 0, 0, 0, 0}},
        {45, {4297, 1440, -4297, -1440, 0, 0, 0, 0}},
        {5, {477, 160, -477, -160, 0, 0, 0, 0}},
        {0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {300, {4202, 1408, -4202, -1408, 0, 0, 0, 0}},  // the low 8 bits: 44
        {200, {9550, 3200, -9550, -3200, 0, 0, 0, 0}},  // at most 100
    };
    for (const auto& [level, frames] : cases) {
        setVolume(level);
        EXPECT_EQ(getVolume(), std::min(level & 255, 100)) << level;
        EXPECT_EQ(mixedFrames(), frames) << level;
    }
    EXPECT_EQ(mixer.opens, 2 * 6 + 1);
    EXPECT_EQ(mixer.closes, 0);
    zindleReset();
    EXPECT_EQ(getVolume(), 100) << "program start is at full volume";
}

// The level scales every frame of what the callback is asked for: a whole
// device buffer, and a request of more than one, to their last frames.
TEST(Volume, TheLevelScalesEveryFrameOfTheBuffer) {
    zindleReset();
    mixer = FakeMixer{};
    mixer.present = false;
    for (int frames : {kChunkFrames, 2 * kChunkFrames + 4}) {
        setVolume(100);
        const std::vector<std::int16_t> full = mixedFrames(frames);
        setVolume(50);
        const std::vector<std::int16_t> half = mixedFrames(frames);
        ASSERT_EQ(half.size(), full.size());
        for (std::size_t i = 0; i < full.size(); ++i)
            ASSERT_EQ(half[i], full[i] / 2) << "sample " << i << " of " << frames << " frames";
        EXPECT_NE(full[full.size() - 8], 0) << "the last frames are heard";
    }
    zindleReset();
}

// With the device: the OSS mixer takes the level and the output stays as mixed.
TEST(Volume, WithTheDeviceTheOutputIsUntouched) {
    zindleReset();
    mixer = FakeMixer{};
    for (int level : {45, 0}) {
        setVolume(level);
        EXPECT_EQ(mixer.level, level * 257);
        EXPECT_EQ(getVolume(), level);
        EXPECT_EQ(audioMasterVolume(), 100);
        EXPECT_EQ(mixedFrames(), (std::vector<std::int16_t>{9550, 3200, -9550, -3200, 0, 0, 0, 0}));
    }
}
