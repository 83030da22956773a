// The engines behind the player and the renderer, and the one table through
// which both are driven. Our own engine (loader, sequencer, mixer) plays the
// MOD files its loader reads, exactly as it always has; libxmp plays every
// file our loader refuses and libxmp loads (XM, S3M, IT, MED, packed files,
// ...). A LoadedSong is a module loaded by one of them. The functions below dispatch
// to the engine of the song, or of the song playing: the player and the
// renderer never ask which engine that is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "player/now_playing.h"

// Where a MOD file keeps its format tag: the loader reads the format there,
// and a file no engine takes is told by the bytes found there.
constexpr int kTagOffset = 1080;
constexpr int kTagBytes = 4;

// Why no engine took a file (our loader's reasons, then libxmp's), and what
// the text saying so needs.
enum class LoadRefusalReason : std::uint8_t {
    kNone,                // the file loaded
    kFileError,           // it couldn't be opened or read: error
    kFolder,
    kNotRegularFile,      // a device, pipe or socket: not_regular
    kXmModule,            // another tracker's module, known by its magic bytes
    kS3mModule,
    kItModule,
    kTooShort,            // shorter than a tagged header and no 15-sample module: file_size
    kUnplayableChannels,  // the tag names a count that isn't 1..32: tag, channels
    kUnknownTag,          // no tag the loader reads and no 15-sample module: tag
    kNoMemory,
    kOtherEngineCantLoad, // libxmp knows the format (format) but can't load this file: engine_error
};
// What a path that is no regular file is, for kNotRegularFile.
enum class NotRegularKind : std::uint8_t { kDevice, kPipe, kSocket };
struct LoadRefusal {
    LoadRefusalReason reason = LoadRefusalReason::kNone;
    NotRegularKind not_regular = NotRegularKind::kDevice;
    int error = 0;                     // errno, for kFileError
    std::int64_t file_size = 0;        // bytes, for kTooShort
    std::uint8_t tag[kTagBytes] = {};  // the bytes at kTagOffset, for the tag reasons
    int channels = 0;                  // the count the tag names, for kUnplayableChannels
    char format[48] = {};              // the format libxmp names, for kOtherEngineCantLoad
    int engine_error = 0;              // a LoadEngineError, for kOtherEngineCantLoad
};

// Why libxmp couldn't load a file whose format it knows.
enum LoadEngineError : int {
    kEngineFileDamaged = 1,   // its loader failed on the data
    kEngineCantUnpack,        // a packed file that wouldn't unpack
    kEngineSystemError,       // reading failed: LoadRefusal::error holds errno
    kEngineInternalError,
};

// Writes why a file was refused to out (at most size bytes, zero-terminated),
// as a user reads it: "no such file", "a folder, not a file", "an XM module
// (FastTracker 2), but not one libxmp reads either", the tag found, ...
// kRefusalTextBytes always holds the whole text.
constexpr std::size_t kRefusalTextBytes = 160;
void zindleDescribeRefusal(const LoadRefusal& why, char* out, std::size_t size);

// Writes "Couldn't load the module!" and a second line "<path>: <why>" to out.
void zindleReportLoadFailure(std::FILE* out, const char* path, const LoadRefusal& why);

// An engine's words on what is damaged but playable fit in this many bytes.
constexpr std::size_t kDamageTextBytes = 512;

// The bytes of a name field of size bytes up to its first zero.
std::string fieldText(const char* field, std::size_t size);

// What a song holds, as its engine read it: what --info tells.
struct SampleFacts {
    int number = 0;        // 1..
    std::string name;      // as in the file, up to its first zero byte
    int length = 0;        // a MOD's in bytes, others' in points
    int loop_start = 0;
    int loop_length = 0;   // 0: no loop
    int volume = -1;       // 0..64; -1 where the format keeps none with the sample
    int finetune = 0;      // a MOD's, -8..7
    int bits = 8;          // 8 or 16
    int missing = 0;       // bytes of its data the file lacks
};
struct InstrumentFacts {
    int number = 0;
    std::string name;
    int samples = 0;       // samples it plays
    int volume = -1;       // the first sample's volume, 0..64; -1 with none
};
struct SongFacts {
    const char* engine = "";  // the engine that read it: "zindle" or "libxmp"
    std::string title;     // as in the file, up to its first zero byte
    // The format where the engine names it, in short ("XM", "S3M", "IT",
    // "MOD", ... or libxmp's name where no short one is known) and as libxmp
    // names it ("Fast Tracker II"), and the tracker that wrote the file as
    // libxmp tells it ("FastTracker v2.00 XM 1.04"); all "" for a MOD our
    // loader read, whose tag (and sample_slots) say it.
    std::string format;
    std::string format_name;
    std::string tracker;
    std::string tag;       // a MOD's tag bytes; "" for an untagged one
    bool packed = false;   // unpacked from a packed file first
    int channels = 0;      // 1..64
    int meters = 0;        // the meters view 2 numbers: a MOD's 31 sample slots, others' instruments
                           // up to kMaxInstruments
    int sample_slots = 0;  // a MOD's: 31 or 15
    int instruments = 0;   // others': instruments and samples in the module
    int samples = 0;
    int positions = 0;
    int patterns = 0;
    int restart = -1;      // the order position a song goes on from at its end; -1 none
    int songs = 1;         // songs in the module (one pass plays the first)
    std::vector<int> song_starts;  // each song's start order position, the first song's first
    int missing = 0;       // bytes of sample data the file lacks, in all
    std::vector<InstrumentFacts> instrument_list;  // others' instruments with a name or samples
    std::vector<SampleFacts> sample_list;          // the samples with data or a name
};

// One engine. The song handles are the engine's own.
struct EngineTable {
    const char* name;  // "zindle" or "libxmp"
    // Reads the module at path, without the audio lock: whatever plays
    // meanwhile plays on untouched. The song, or null with *why filled
    // (libxmp leaves it as it was for a file it doesn't recognise).
    void* (*load)(const char* path, LoadRefusal* why);
    // Releases a song. The engine's song started last is stopped first,
    // briefly under the audio lock; the freeing takes no lock. Null does nothing.
    void (*release)(void* song);
    // What a song holds, before any of it has played (all but engine).
    void (*facts)(const void* song, SongFacts* out);
    // What is damaged but playable in what was loaded of song (sample data
    // cut short), as text in out (size bytes, kDamageTextBytes hold it
    // all); "" when nothing is.
    void (*describe_damage)(const void* song, char* out, std::size_t size);
    // Whether the file at path is a module of the engine's from its first
    // bytes alone; false after filling *why (libxmp leaves it as it was).
    bool (*probe)(const char* path, LoadRefusal* why);
    // Under the audio lock: plays song from its engine's start state at order
    // position order (below 0: the first), row 0.
    void (*start)(void* song, int order);
    // Under the audio lock: moves playback to order position order, row 0;
    // below 0 the last position, past the song's end the first. The pass
    // count starts again.
    void (*jump)(int order);
    // The order position playing (0 when nothing plays).
    int (*order)();
    // Audio thread: writes up to frames (>= 1) s16le stereo frames to out,
    // running a tick first when one is due (its redraw point reached, as
    // platform().draw_tick), and returns how many it wrote (>= 1): no more
    // than lie before the next tick.
    int (*mix)(std::uint8_t* out, int frames);
    // The same without writing frames (what a render's length is measured with).
    int (*skip)(int frames);
    // At the redraw point or under the audio lock: what plays, for the views.
    void (*describe)(NowPlaying* now);
    // Under the audio lock: the voices under channels first..first+count-1
    // (each below the song's channels).
    void (*describe_voices)(ScopeVoice* out, int first, int count);
    // Passes of the song completed since start or jump.
    int (*passes)();
    // Whether a song plays: false before start, after a reset, and once it
    // stopped at the end of a pass.
    bool (*playing)();
    // Under the audio lock: on, the song stops where a pass ends, the next
    // pass unheard and undrawn; off, it plays on for ever.
    void (*set_stop_at_pass_end)(bool on);
    // At the redraw point: the frames of the tick just run.
    int (*tick_frames)();
    // At the redraw point: the tick's trace fields after FRAME (order, row,
    // tick, speed, bpm, then one field per channel), ending the line.
    void (*trace)(std::FILE* out);
    // The engine's own state back at its start: nothing playing, no stop at
    // the pass's end. Takes the audio lock itself.
    void (*reset)();
};

// Built at compile time, so that nothing can read them unmade.
extern const EngineTable kModEngine;
extern const EngineTable kXmpEngine;

struct LoadedSong;

// Loads the module at path: our loader first, then libxmp. The song, or
// null with *why (when given) saying why neither took it. Takes no audio
// lock: the song playing plays on as it was.
LoadedSong* songLoad(const char* path, LoadRefusal* why = nullptr);
// Releases song, stopping it first when it plays (every engine back at its
// start state, as songResetEngine); any other song plays on. Null does nothing.
void songFree(LoadedSong* song);
// What song holds, as its engine read it when it loaded.
const SongFacts& songFacts(const LoadedSong* song);
// The song's title as the views and the background show it, made once at
// its load (player/shown_text.h): its ISO 8859-1 bytes as the font draws
// them, or, when the title is empty or spaces only, its file's name without
// folders and extension, read as UTF-8; at most kShownTitleChars characters.
// songDescribe gives the song playing's as NowPlaying::title.
const char* songShownTitle(const LoadedSong* song);
// What is damaged but playable in song, in its engine's words, and what is
// heard of it: "sample data cut short: ... (sample 3: 200), played as
// silence" ("rendered as silence" in a render); "" when nothing is.
enum class DamageHeard { kPlayed, kRendered };
std::string songDamageWarning(const LoadedSong* song, DamageHeard heard = DamageHeard::kPlayed);
// Writes "<path>: <that warning>" as one line to out when song is damaged
// but playable; nothing otherwise.
void songReportDamage(std::FILE* out, const char* path, const LoadedSong* song);
// Whether the file at path is a module an engine reads, from its first
// bytes alone: our loader's probe, then libxmp's. False after filling *why
// (when given) as songLoad would.
bool songProbe(const char* path, LoadRefusal* why = nullptr);

// Plays song at order position order (below 0: the first) from its engine's
// start state; whatever played before stops. Its own time starts at 0.
void songPlay(LoadedSong* song, int order);
// Order positions a song has at most, in every format an engine reads.
constexpr int kMaxOrderPositions = 256;
// What one pass of song, when it plays, looks like in time: pass_frames
// frames in all, and position_frames[i] the frame at which one pass first
// reaches order position i (-1: never), for count positions (at most
// kMaxOrderPositions are kept). Kept until another song plays; ignored for
// a song that doesn't play. Takes the audio lock.
void songSetTimes(const LoadedSong* song, std::uint64_t pass_frames, const std::int64_t* position_frames, int count);
// The song playing's own time, in frames at 48000 Hz: the frames it has
// played since it started, within a tick of where a one-pass render of it
// stands at the same point. A jump sets it to the time one pass first
// reaches the new position, and each new pass to that of the position it
// goes on from; where that isn't known (songSetTimes) or no pass reaches it,
// it counts on (a new pass: from 0). Takes the audio lock.
std::uint64_t songElapsedFrames();
// The engine table's functions for the song playing (the idle MOD engine
// before any): see EngineTable.
void songJump(int order);
int songOrder();
int songMix(std::uint8_t* out, int frames);
int songSkip(int frames);
void songDescribe(NowPlaying* now);
void songDescribeVoices(ScopeVoice* out, int first, int count);
int songPasses();
bool songPlaying();
int songTickFrames();
void songTrace(std::FILE* out);
// Whether a song stops where a pass ends, for every engine; off after a reset.
void songStopAtPassEnd(bool on);
// Every engine back at its start state, nothing playing; a player going on
// to another module calls it. The views and the volume stay as they are.
void songResetEngine();
// Program-start state: every engine's, the software master volume and the
// stereo separation at full, and the installed platform's views. Everything that wants a fresh start
// calls it.
void zindleReset();
