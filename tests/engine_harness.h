// Shared test scaffolding: temporary folders, modules written to disk with
// the MOD writer and loaded by the real loader, and an engine driven through
// the real mixer callback with a per-tick snapshot of its state.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "audio/volume.h"
#include "display/views.h"
#include "audio/audio_mixer.h"
#include "player/protracker_loader.h"
#include "player/engine.h"
#include "player/protracker_sequencer.h"
#include "tools/modwriter.h"
#include "tools/trackerwriter.h"

namespace harness {

// A fresh folder under the system's temp folder, removed with its contents.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Writes song's file without its last `missing` bytes, as a broken download leaves it.
void writeCutShort(const std::string& path, const modwriter::Song& song, std::size_t missing);
std::vector<std::uint8_t> readBytes(const std::string& path);

// A looping sample of the given length (a saw, never all zero).
modwriter::SampleDesc loopedSample(int length, int volume = 64);
// A one-shot sample of the given length.
modwriter::SampleDesc oneShotSample(int length, int volume = 64);

// What one tick left behind, taken at the view-redraw point. The per-tick
// values tick_period/tick_volume are channel 3's: tests that look at them put the
// note of interest on channel 3.
struct TickState {
    std::uint64_t frame;
    int order, row, tick, speed, bpm, samplespertick;
    int tick_period, tick_volume;
    std::array<Channel, kMaxChannels> ch;  // all of them; the module's first `channels` play
    std::array<Voice, kMaxVoices> voice;
};

// Loads song from a real file and plays it through mixaudio.
class Engine {
  public:
    explicit Engine(const modwriter::Song& song, int start_order = 0);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    Module* module() const { return module_; }
    // Renders until `count` more ticks have run (and the frames of the last one).
    std::vector<TickState> ticks(int count);
    // Renders exactly `frames` frames in device-sized buffers; returns s16 samples (L, R, ...).
    std::vector<std::int16_t> render(std::uint64_t frames);

  private:
    TempDir dir_;
    Module* module_ = nullptr;
};

// Installs the tests' platform (no device; the player's views drawn from the
// tick) and returns the engine, mixer, views and harness to program start.
void resetGlobals();
// Called at every tick after the views and the harness's own record; cleared
// by resetGlobals.
extern void (*on_tick)();

// The fixture of the engine suites: program-start state before and after
// each test.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override { resetGlobals(); }
    void TearDown() override { resetGlobals(); }
};

// A song with sample 1 (looped, 1024 bytes) and nothing else.
modwriter::Song basicSong();

// A song of `length` orders (pattern i at order i) played at one tick per
// row, with samples 1 (volume 64) and 2 (volume 32), both looped.
modwriter::Song rowPerTickSong(int length, int restart = 127);

// The engine and program tests' song: `orders` orders (pattern i at order i)
// of looped notes on all four channels from the first frame on, rows 0 and
// 32 of each; with bpm and speed other than 125 and 6 those are set on row 0
// of the first. A pass is orders x 64 rows of speed ticks of 240000 / (2 bpm)
// frames; with stop_row > 0, a jump back to the top after that row of the
// first order makes it stop_row + 1 rows.
modwriter::Song shortSong(const std::string& title, int bpm = 125, int speed = 6, int stop_row = 0, int orders = 1);

// The three formats the tracker writer writes.
enum class TrackerFormat { kXm, kS3m, kIt };
constexpr TrackerFormat kTrackerFormats[] = {TrackerFormat::kXm, TrackerFormat::kS3m, TrackerFormat::kIt};
// ".xm", ".s3m" or ".it".
std::string trackerExtension(TrackerFormat format);
// song written in format.
std::vector<std::uint8_t> trackerBytes(TrackerFormat format, const trackerwriter::Song& song);
// The test song of a format: `channels` channels (1..32) of notes on
// `instruments` instruments (8-bit, then 16-bit, alternately; looped), a
// volume slide, portamentos and a speed of 3 in the format's own effects;
// patterns 0 and 1 of 16 rows (a break on row 15: S3M's are 64 long) played
// as orders 0, 1, 0: one pass is 48 rows of 3 ticks at 125 bpm, 138240 frames.
trackerwriter::Song trackerSong(TrackerFormat format, int channels = 4, int instruments = 3);

// The (order, row) of each of the next `count` ticks.
std::vector<std::pair<int, int>> positions(Engine& engine, int count);

}  // namespace harness
