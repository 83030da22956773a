// The songs and the engine playing: loading goes to each engine in turn,
// everything else to the engine of the song playing. Which engine plays
// changes only under the audio lock, so the audio thread always sees one;
// the mixer takes its frames from songMix, installed there too.
#include "player/engine.h"

#include <new>

#include "audio/audio_mixer.h"
#include "platform/platform.h"

struct LoadedSong {
    const EngineTable* engine;
    void* handle;
};

namespace {

constexpr const EngineTable* kEngines[] = {&kModEngine, &kXmpEngine};

// The engine of the song playing; our own, idle, before any.
const EngineTable* playing = &kModEngine;
// The song last started, until a reset: written on the main thread alone.
const LoadedSong* playing_song = nullptr;
// What songStopAtPassEnd last said, since the last reset.
bool stop_at_pass_end = false;

// Files our loader refuses for what they hold, not for how they could be
// read: those are offered to libxmp.
bool offeredOn(LoadRefusalReason reason) {
    switch (reason) {
    case LoadRefusalReason::kXmModule:
    case LoadRefusalReason::kS3mModule:
    case LoadRefusalReason::kItModule:
    case LoadRefusalReason::kTooShort:
    case LoadRefusalReason::kUnplayableChannels:
    case LoadRefusalReason::kUnknownTag: return true;
    default: return false;
    }
}

}  // namespace

LoadedSong* songLoad(const char* path, LoadRefusal* why) {
    LoadRefusal refusal;
    void* handle = kModEngine.load(path, &refusal);
    const EngineTable* engine = &kModEngine;
    if (!handle && offeredOn(refusal.reason)) {
        handle = kXmpEngine.load(path, &refusal);
        engine = &kXmpEngine;
    }
    if (why) *why = refusal;
    if (!handle) return nullptr;
    LoadedSong* song = new (std::nothrow) LoadedSong{engine, handle};
    if (!song) {
        engine->release(handle);
        if (why) *why = LoadRefusal{LoadRefusalReason::kNoMemory};
    }
    return song;
}

void songFree(LoadedSong* song) {
    if (!song) return;
    // Another song, or another song of the same engine, may play on: only
    // this one, when it plays, stops first. Its engine's release does the
    // rest without the audio lock.
    if (song == playing_song) {
        bool plays = false;
        {
            AudioLock lock;
            plays = song->engine->playing();
        }
        if (plays) songResetEngine();
        playing_song = nullptr;
    }
    song->engine->release(song->handle);
    delete song;
}

const EngineTable& songEngine(const LoadedSong* song) { return *song->engine; }
void* songHandle(const LoadedSong* song) { return song->handle; }

const char* songTitle(const LoadedSong* song) { return song->engine->title(song->handle); }
int songChannels(const LoadedSong* song) { return song->engine->channels(song->handle); }
int songInstruments(const LoadedSong* song) { return song->engine->instruments(song->handle); }
int songPositions(const LoadedSong* song) { return song->engine->positions(song->handle); }

SongFacts songFacts(const LoadedSong* song) {
    SongFacts facts;
    song->engine->facts(song->handle, &facts);
    return facts;
}

std::string songDamageWarning(const LoadedSong* song, DamageHeard heard) {
    char damage[kShortDataTextBytes];
    song->engine->describe_damage(song->handle, damage, sizeof damage);
    if (!damage[0]) return "";
    return std::string(damage) + (heard == DamageHeard::kRendered ? ", rendered" : ", played") + " as silence";
}

void songReportDamage(std::FILE* out, const char* path, const LoadedSong* song) {
    const std::string warning = songDamageWarning(song);
    if (!warning.empty()) std::fprintf(out, "%s: %s\n", path, warning.c_str());
}

bool songProbe(const char* path, LoadRefusal* why) {
    LoadRefusal refusal;
    bool known = kModEngine.probe(path, &refusal);
    if (!known && offeredOn(refusal.reason)) known = kXmpEngine.probe(path, &refusal);
    if (why) *why = known ? LoadRefusal{} : refusal;
    return known;
}

void songPlay(LoadedSong* song, int order) {
    if (playing != song->engine) {
        // The engine playing falls silent; the stop at the pass's end holds.
        const bool stop = stop_at_pass_end;
        songResetEngine();
        songStopAtPassEnd(stop);
    }
    song->engine->start(song->handle, order);
    AudioLock lock;
    playing = song->engine;
    playing_song = song;
    audioSetFrameSource(songMix);
}

void songJump(int order) { playing->jump(order); }
int songOrder() { return playing->order(); }
int songMix(std::uint8_t* out, int frames) { return playing->mix(out, frames); }
int songSkip(int frames) { return playing->skip(frames); }
void songDescribe(NowPlaying* now) { playing->describe(now); }
void songDescribeVoices(ScopeVoice* out, int first, int count) { playing->describe_voices(out, first, count); }
int songPasses() { return playing->passes(); }
bool songPlaying() { return playing->playing(); }
int songTickFrames() { return playing->tick_frames(); }
void songTrace(std::FILE* out) { playing->trace(out); }

void songStopAtPassEnd(bool on) {
    AudioLock lock;
    stop_at_pass_end = on;
    for (const EngineTable* engine : kEngines) engine->set_stop_at_pass_end(on);
}

void songResetEngine() {
    for (const EngineTable* engine : kEngines) engine->reset();
    AudioLock lock;
    playing = &kModEngine;
    playing_song = nullptr;
    audioSetFrameSource(songMix);
    stop_at_pass_end = false;
}

void zindleReset() {
    songResetEngine();
    audioSetMasterVolume(kFullMasterVolume);
    audioSetSeparation(kFullSeparation);
    platform().reset_views();
}
