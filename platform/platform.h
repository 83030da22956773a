// The seam between the replay engine and the platform it runs on. The
// loader, sequencer and mixer know no device, window or library: the few
// things they need from outside reach them through the table below. The
// player installs SDL's audio device and its views; the renderer, tests,
// fuzzer and benchmarks run on the headless table, or on one of their own.
#pragma once

#include <cstdint>

// The device's callback: fills len bytes of interleaved s16le stereo.
using AudioFill = void (*)(void* userdata, std::uint8_t* stream, int len);

struct Platform {
    // Holds the audio callback off between lock and unlock (not reentrant).
    void (*lock_audio)();
    void (*unlock_audio)();
    // Opens the device (48000 Hz, s16le, stereo, 1024 frames) calling fill and
    // starts it. 1 on success; 0 after printing "Unable to open audio: <why>".
    int (*start_audio)(AudioFill fill);
    // Pauses and closes the device opened by start_audio.
    void (*stop_audio)();
    // Waits ms milliseconds, so that a callback already running can finish.
    void (*sleep_ms)(std::uint32_t ms);
    // Called once per tick at the view-redraw point, on the audio thread.
    void (*draw_tick)();
    // A note was triggered on sample (1..31) at volume (0..64), on the audio
    // thread: what the sample meters rise by.
    void (*note_triggered)(int sample, int volume);
    // Returns whatever the views keep to its program-start state.
    void (*reset_views)();
};

// No device and one thread: the lock and the sleep do nothing, the device
// can't be opened, no view is drawn, no meter moves.
extern const Platform kHeadlessPlatform;

// Installs a copy of the table the engine calls from now on (headless until
// then). Call it while no audio device runs.
void platformUse(const Platform& platform);
// The installed table.
const Platform& platform();

// RAII for the audio lock: held from construction to destruction.
class AudioLock {
  public:
    AudioLock() { platform().lock_audio(); }
    ~AudioLock() { platform().unlock_audio(); }
    AudioLock(const AudioLock&) = delete;
    AudioLock& operator=(const AudioLock&) = delete;
};
