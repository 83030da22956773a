// The songs and the engine playing: loading goes to each engine in turn,
// everything else to the engine of the song playing. Which engine plays
// changes only under the audio lock, so the audio thread always sees one;
// the mixer takes its frames from songMix, installed there too.
#include "player/engine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>

#include "audio/audio_mixer.h"
#include "audio/paula.h"
#include "platform/platform.h"
#include "player/shown_text.h"

struct LoadedSong {
    const EngineTable* engine;
    void* handle;
    SongFacts facts;  // as the engine read them at the load
    char shown_title[kShownTitleChars + 1];  // songShownTitle
};

namespace {

constexpr const EngineTable* kEngines[] = {&kModEngine, &kXmpEngine};

// The engine of the song playing; our own, idle, before any.
const EngineTable* playing = &kModEngine;
// The song last started, until a reset or its release: written and read on
// the main thread alone.
const LoadedSong* playing_song = nullptr;
// What songStopAtPassEnd last said, since the last reset.
bool stop_at_pass_end = false;
// The shown title of the song last started (songShownTitle), for the views:
// set and cleared with playing_song, under the audio lock; "" while none.
char playing_title[kShownTitleChars + 1] = {};

// The song playing's own time: frames heard since it started, set back at a
// jump and at each new pass to the time one pass first reaches the position
// it goes on from, where that is known. Audio thread or under the audio lock.
struct SongClock {
    std::uint64_t elapsed = 0;
    std::uint64_t pass_frames = 0;  // one pass's frames; 0 until known
    int positions = 0;              // entries of position_frames known
    std::array<std::int64_t, kMaxOrderPositions> position_frames{};
};
SongClock song_clock;

// Where the song's own time stands at order position order, or keep when
// no pass reaches it (or that isn't known).
std::uint64_t clockAt(int order, std::uint64_t keep) {
    if (order < 0 || order >= song_clock.positions) return keep;
    const std::int64_t frame = song_clock.position_frames[static_cast<std::size_t>(order)];
    return frame >= 0 ? static_cast<std::uint64_t>(frame) : keep;
}

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
    LoadedSong* song = new (std::nothrow) LoadedSong{engine, handle, SongFacts{}, {}};
    if (!song) {
        engine->release(handle);
        if (why) *why = LoadRefusal{LoadRefusalReason::kNoMemory};
        return nullptr;
    }
    engine->facts(handle, &song->facts);
    song->facts.engine = engine->name;
    const std::string& title = song->facts.title;
    if (blankTitle(title.data(), title.size()))
        shownFileTitle(path, song->shown_title, sizeof song->shown_title);
    else
        shownFromLatin1(title.data(), title.size(), song->shown_title, sizeof song->shown_title);
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

const SongFacts& songFacts(const LoadedSong* song) { return song->facts; }

const char* songShownTitle(const LoadedSong* song) { return song->shown_title; }

std::string songDamageWarning(const LoadedSong* song, DamageHeard heard) {
    char damage[kDamageTextBytes];
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
    std::memcpy(playing_title, song->shown_title, sizeof playing_title);
    song_clock = SongClock{};
    audioSetFrameSource(songMix);
}

void songSetTimes(const LoadedSong* song, std::uint64_t pass_frames, const std::int64_t* position_frames, int count) {
    if (!song || song != playing_song) return;
    count = std::clamp(count, 0, kMaxOrderPositions);
    AudioLock lock;
    song_clock.pass_frames = pass_frames;
    song_clock.positions = count;
    std::copy(position_frames, position_frames + count, song_clock.position_frames.begin());
}

std::uint64_t songElapsedFrames() {
    AudioLock lock;
    return song_clock.elapsed;
}

void songJump(int order) {
    playing->jump(order);
    AudioLock lock;
    song_clock.elapsed = clockAt(playing->order(), song_clock.elapsed);
}

int songOrder() { return playing->order(); }

int songMix(std::uint8_t* out, int frames) {
    const int passes_before = playing->passes();
    const int n = playing->mix(out, frames);
    // Frames of a song that stopped are silence, not its time.
    if (!playing->playing()) return n;
    // The tick run first in this call began a new pass.
    if (playing->passes() != passes_before) song_clock.elapsed = clockAt(playing->order(), 0);
    song_clock.elapsed += static_cast<std::uint64_t>(n);
    return n;
}

int songSkip(int frames) { return playing->skip(frames); }

void songDescribe(NowPlaying* now) {
    playing->describe(now);
    // The engine's title is the song's own already, as the font draws it;
    // the song's shown title differs where it is the file's name instead.
    if (now->shown && playing_title[0] != '\0') std::memcpy(now->title, playing_title, sizeof now->title);
    now->elapsed_frames = song_clock.elapsed;
    now->pass_frames = song_clock.pass_frames;
    now->pass = playing->passes() + 1;
}
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
    playing_title[0] = '\0';
    audioSetFrameSource(songMix);
    stop_at_pass_end = false;
    song_clock = SongClock{};
}

void zindleReset() {
    songResetEngine();
    audioSetMasterVolume(kFullMasterVolume);
    audioSetSeparation(kFullSeparation);
    paulaSetModel(AmigaModel::kOff);
    audioSetPaused(false);
    audioStartFade(0);
    platform().reset_views();
}

std::string fieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

// ---------------------------------------------------------------------------
// Why a load failed, in words.

namespace {

// The tag as it stands in the file, bytes other than printable ASCII as \xNN.
void quoteTag(const std::uint8_t (&tag)[kTagBytes], char* out, std::size_t size) {
    std::size_t used = 0;
    for (std::uint8_t byte : tag) {
        if (used >= size) break;
        const bool plain = byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\';
        const int n = plain ? std::snprintf(out + used, size - used, "%c", byte)
                            : std::snprintf(out + used, size - used, "\\x%02X", byte);
        used += static_cast<std::size_t>(std::max(n, 0));
    }
}

}  // namespace

void zindleDescribeRefusal(const LoadRefusal& why, char* out, std::size_t size) {
    if (size == 0) return;
    out[0] = '\0';
    char quoted[4 * kTagBytes + 1] = {};
    quoteTag(why.tag, quoted, sizeof quoted);
    switch (why.reason) {
    case LoadRefusalReason::kNone: std::snprintf(out, size, "loaded"); break;
    case LoadRefusalReason::kFileError:
        std::snprintf(out, size, "%s", why.error == ENOENT ? "no such file"
                                       : why.error == EACCES ? "permission denied"
                                                             : std::strerror(why.error));
        break;
    case LoadRefusalReason::kFolder: std::snprintf(out, size, "a folder, not a file"); break;
    case LoadRefusalReason::kNotRegularFile:
        std::snprintf(out, size, "not a regular file (%s)",
                      why.not_regular == NotRegularKind::kPipe     ? "a pipe"
                      : why.not_regular == NotRegularKind::kSocket ? "a socket"
                                                                   : "a device");
        break;
    case LoadRefusalReason::kXmModule:
        std::snprintf(out, size, "an XM module (FastTracker 2), but not one libxmp reads either");
        break;
    case LoadRefusalReason::kS3mModule:
        std::snprintf(out, size, "an S3M module (Scream Tracker 3), but not one libxmp reads either");
        break;
    case LoadRefusalReason::kItModule:
        std::snprintf(out, size, "an IT module (Impulse Tracker), but not one libxmp reads either");
        break;
    case LoadRefusalReason::kTooShort:
        std::snprintf(out, size, "too short to be a MOD file (%lld bytes)", static_cast<long long>(why.file_size));
        break;
    case LoadRefusalReason::kUnplayableChannels:
        std::snprintf(out, size, "a module with %d channels (tag \"%s\"), which Zindle doesn't play", why.channels,
                      quoted);
        break;
    case LoadRefusalReason::kUnknownTag:
        std::snprintf(out, size, "not a MOD file: no known tag at byte %d (found \"%s\") and no 15-sample module",
                      kTagOffset, quoted);
        break;
    case LoadRefusalReason::kNoMemory: std::snprintf(out, size, "not enough memory to load it"); break;
    case LoadRefusalReason::kOtherEngineCantLoad: {
        char format[sizeof why.format + 1] = {};
        std::memcpy(format, why.format, sizeof why.format);
        for (char& ch : format)
            if (ch != '\0' && (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)) ch = '?';
        const char* what = why.engine_error == kEngineCantUnpack    ? "it won't unpack"
                           : why.engine_error == kEngineSystemError ? std::strerror(why.error)
                           : why.engine_error == kEngineInternalError ? "it failed"
                                                                      : "the file is damaged or cut short";
        std::snprintf(out, size, "a module libxmp knows (%.47s), but it can't load this one: %s", format, what);
        break;
    }
    }
}

void zindleReportLoadFailure(std::FILE* out, const char* path, const LoadRefusal& why) {
    char text[kRefusalTextBytes];
    zindleDescribeRefusal(why, text, sizeof text);
    std::fprintf(out, "Couldn't load the module!\n%s: %s\n", path, text);
}
