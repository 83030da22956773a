// libFuzzer target: the input is a module file. It goes through both
// engines' loading (our loader, then libxmp) from a memory-backed file, then
// plays three seconds through the real mixer callback, with the start order,
// three jumps and a few drawings of views 1, 2 and 4 taken from the input's
// last bytes, and is freed again. Built under AddressSanitizer and
// UndefinedBehaviorSanitizer (fuzz/run.sh). libxmp itself is not
// instrumented: what is checked of it is our hand-off and every read the
// views make of what it loaded.
#include <SDL/SDL.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "audio/volume.h"
#include "display/views.h"
#include "audio/audio_mixer.h"
#include "display/sample_viewer.h"
#include "player/protracker_loader.h"
#include "player/engine.h"
#include "player/protracker_sequencer.h"

namespace {

constexpr int kRenderFrames = 3 * kOutputRate;
constexpr int kViewEvery = 16;  // buffers between two drawn views

// What the input asks of the run besides the file itself: read from its
// last eight bytes (which are also part of the file, usually sample data).
struct Plan {
    int start;                         // songPlay's order: 0..129, past the song too
    std::array<int, 3> jump_to;        // songJump targets: -1..254
    std::array<int, 3> jump_at;        // the buffer before which each jump happens
    int buffer_frames;                 // frames per mixaudio call: 1..2048
    int odd_bytes;                     // 0..3 bytes past whole frames in each request
    int views;                         // which views are drawn, 2 bits each
};

Plan planOf(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, 8> b{};
    for (std::size_t i = 0; i < b.size() && i < size; ++i) b[i] = data[size - 1 - i];
    Plan plan{};
    plan.start = b[0] % 130;
    for (std::size_t i = 0; i < 3; ++i) {
        plan.jump_to[i] = b[1 + i] - 1;
        plan.jump_at[i] = (b[4] >> (2 * i) & 3) * 40 + static_cast<int>(i) * 13;
    }
    plan.buffer_frames = b[5] & 0x80 ? 1 + (b[5] & 0x7F) * 16 : 1024;
    plan.odd_bytes = b[4] >> 6;
    plan.views = b[6];
    return plan;
}

SDL_Surface* makeSurface() {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, 320, 240, 16, 0xF800, 0x07E0, 0x001F, 0);
}

// A memory-backed file holding the input, for the loader to open by name.
class MemoryFile {
  public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : fd_(memfd_create("zindle-fuzz", 0)) {
        std::size_t done = 0;
        while (fd_ >= 0 && done < size) {
            const ssize_t n = write(fd_, data + done, size - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        std::snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
    }
    ~MemoryFile() {
        if (fd_ >= 0) close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    bool ok() const { return fd_ >= 0; }
    const char* path() const { return path_; }

  private:
    int fd_;
    char path_[32];
};

// No audio thread, so nothing to wait for (the headless sleep does nothing):
// the views are drawn from the tick as the player draws them.
void resetEngine() {
    platformUse(headlessViewsPlatform());
    zindleReset();
    base_volume = 75;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    screen = makeSurface();
    background = makeSurface();
    if (!screen || !background) return 1;
    SDL_FillRect(background, nullptr, 0x2104);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resetEngine();
    const MemoryFile file(data, size);
    if (!file.ok()) return 0;
    LoadRefusal why;
    LoadedSong* song = songLoad(file.path(), &why);
    if (!song) {
        // The words for a refusal quote whatever bytes the file has as its tag.
        char text[kRefusalTextBytes];
        zindleDescribeRefusal(why, text, sizeof text);
        return 0;
    }

    const Plan plan = planOf(data, size);
    songPlay(song, plan.start);
    static std::uint8_t buffer[4 * 2048 + 3];
    int rendered = 0;
    for (int n = 0; rendered < kRenderFrames; ++n) {
        for (std::size_t j = 0; j < plan.jump_to.size(); ++j)
            if (n == plan.jump_at[j]) songJump(plan.jump_to[j]);
        // Mostly view 3 (nothing drawn); every so often one of the others,
        // which the tick draws (1, 2) or the main loop would (4).
        constexpr int kViews[4] = {1, 2, 4, 3};
        display_mode = n % kViewEvery == kViewEvery - 1 ? kViews[plan.views >> (2 * (n / kViewEvery % 4)) & 3] : 3;
        mixaudio(nullptr, buffer, 4 * plan.buffer_frames + plan.odd_bytes);
        if (display_mode == 4) viewsDrawScopes();
        rendered += plan.buffer_frames;
    }
    songFree(song);
    resetEngine();
    return 0;
}
