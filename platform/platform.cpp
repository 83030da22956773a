// The installed platform table and the headless one.
#include "platform/platform.h"

#include <cstdio>

namespace {

void nothing() {}
void noSleep(std::uint32_t) {}
void noTrigger(int, int) {}
int noDevice(AudioFill) {
    std::fprintf(stderr, "Unable to open audio: no audio device\n");
    return 0;
}

}  // namespace

const Platform kHeadlessPlatform = {nothing, nothing, noDevice, nothing, noSleep, nothing, noTrigger, nothing};

namespace {
Platform installed = kHeadlessPlatform;
}

void platformUse(const Platform& platform) { installed = platform; }

const Platform& platform() { return installed; }
