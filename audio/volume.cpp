// The master volume of the OSS mixer. The device is opened for each call and
// closed again. Desktops on PulseAudio or PipeWire have no such device: there
// the volume is the mixer's own, applied to what it writes.
#include "audio/volume.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#if __has_include(<sys/soundcard.h>)
#include <sys/soundcard.h>
#else
#include <linux/soundcard.h>
#endif
#include <unistd.h>

#include <algorithm>

#include "audio/audio_mixer.h"

int base_volume = 0;

namespace {
constexpr const char* kMixerDevice = "/dev/mixer";
}

void setVolume(int volume) {
    int value = (volume & 255) * 257;  // the same level left (low byte) and right
    const int fd = open(kMixerDevice, O_WRONLY);
    if (fd < 0) {
        audioSetMasterVolume(std::min(volume & 255, kFullMasterVolume));
        return;
    }
    ioctl(fd, SOUND_MIXER_WRITE_VOLUME, &value);
    close(fd);
}

int getVolume() {
    int value = 0;
    const int fd = open(kMixerDevice, O_WRONLY);
    if (fd < 0) return audioMasterVolume();
    if (ioctl(fd, SOUND_MIXER_READ_VOLUME, &value) < 0) value = 0;
    close(fd);
    return value & 255;
}
