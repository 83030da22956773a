// The OSS master volume, against a fake "/dev/mixer": this test program
// interposes open, ioctl and close, answering for the mixer device itself
// and passing every other call on to the C library.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/soundcard.h>

#include <cstdarg>
#include <cstring>

#include "audio/volume.h"

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

TEST(Volume, MissingOrRefusingDeviceIsHarmless) {
    mixer = FakeMixer{};
    mixer.present = false;
    EXPECT_EQ(getVolume(), 0);
    setVolume(50);
    EXPECT_EQ(mixer.closes, 0);

    mixer = FakeMixer{};
    mixer.level = 77;
    mixer.request_fails = true;
    EXPECT_EQ(getVolume(), 0);
    setVolume(50);
    EXPECT_EQ(mixer.level, 77);
    EXPECT_EQ(mixer.closes, 2);
}
