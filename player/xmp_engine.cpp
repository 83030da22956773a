// libxmp as a row of the engine table. A song is a libxmp context with its
// module loaded; the song started has its player running. What touches the
// song playing runs on the audio thread or under the audio lock; loading,
// describing and freeing a song that doesn't play touch its own context
// alone, and run without the lock.
#include "player/xmp_engine.h"

#include <unistd.h>
#include <xmp.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "audio/audio_mixer.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "player/engine.h"
#include "player/shown_text.h"

namespace {

// libxmp's stereo mix, in percent of full separation, at the player's full
// separation (100, the setting at program start).
constexpr int kXmpStereoMix = 70;

// A song frees its module and context with itself, a failed load's and a
// released song's alike; xmpRelease ends the player of the song playing first.
struct XmpSong {
    xmp_context context = nullptr;
    bool loaded = false;       // a module is loaded in context
    xmp_module_info info{};    // info.mod: the module, libxmp's until released
    bool hex_rows = false;     // some pattern has more than 100 rows
    bool packed = false;       // the file is packed: libxmp unpacked it
    char format[XMP_NAME_SIZE] = {};  // the format as libxmp's test names it
    bool started = false;      // its player runs

    XmpSong() = default;
    XmpSong(const XmpSong&) = delete;
    XmpSong& operator=(const XmpSong&) = delete;
    ~XmpSong() {
        if (loaded) xmp_release_module(context);
        if (context) xmp_free_context(context);
    }
};

// The signatures of the packers libxmp unpacks, at their offsets: a file
// that starts with one is packed.
struct PackerMark {
    int offset;
    const char* bytes;
    int size;
};
constexpr std::array<PackerMark, 14> kPackerMarks = {{
    {0, "\x1F\x8B", 2},             // gzip
    {0, "\x1F\x9D", 2},             // compress
    {0, "BZh", 3},                  // bzip2
    {0, "\xFD" "7zXZ\0", 6},        // xz
    {0, "PK\x03\x04", 4},           // zip
    {0, "PP20", 4},                 // PowerPacker
    {0, "ziRCONia", 8},             // MMCMP
    {2, "-lh", 3},                  // LHA
    {0, "XPKF", 4},                 // XPK
    {0, "S404", 4},                 // StoneCracker
    {0, "ICE!", 4},                 // Pack-Ice
    {0, "Ice!", 4},
    {0, "RNC\x01", 4},               // Rob Northen
    {0, "RNC\x02", 4},
}};

// Whether file, read from its start, is packed.
bool isPacked(std::FILE* file) {
    std::uint8_t head[16] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    for (const PackerMark& mark : kPackerMarks)
        if (static_cast<std::size_t>(mark.offset + mark.size) <= got &&
            std::memcmp(head + mark.offset, mark.bytes, static_cast<std::size_t>(mark.size)) == 0)
            return true;
    return false;
}

// libxmp opens a module by its name, and only that way unpacks it. It is
// given the name of a descriptor of ours instead, opened without waiting and
// found a regular file (openRegularFile): what it reads is the file that was
// checked, and a path swapped for a pipe meanwhile can't hold it. Where
// /proc isn't there, the path itself.
class CheckedFile {
  public:
    explicit CheckedFile(const char* path) {
        FileKind kind = FileKind::kRegular;
        file_ = openRegularFile(path, &kind);
        if (!file_) return;
        name_ = "/proc/self/fd/" + std::to_string(fileno(file_.get()));
        if (access(name_.c_str(), R_OK) != 0) name_ = path;
    }
    explicit operator bool() const { return file_ != nullptr; }
    // The name libxmp opens it by.
    char* name() { return name_.data(); }
    std::FILE* get() const { return file_.get(); }

  private:
    UniqueFile file_;
    std::string name_;
};

// The song started (null: none), and where its playback stands.
XmpSong* song = nullptr;
bool playing = false;
bool stop_at_pass_end = false;
int passes = 0;
int loops_seen = 0;          // libxmp's loop count when the pass count last started
xmp_frame_info frame{};      // what the last tick (or the start) left
int tick_frames = 0;         // frames of the last tick
int consumed = 0;            // of those, frames already handed out
int applied_mix = 0;         // the stereo mix libxmp was last set to

constexpr int kHexRowsAbove = 100;

// libxmp's stereo mix at the player's separation setting (0..100 percent of
// it): set when it changed, on the audio thread or under the audio lock.
void applySeparation() {
    const int mix = kXmpStereoMix * audioSeparation() / kFullSeparation;
    if (mix == applied_mix) return;
    xmp_set_player(song->context, XMP_PLAYER_MIX, mix);
    applied_mix = mix;
}

const xmp_module& moduleOf(const XmpSong* s) { return *s->info.mod; }

// A channel volume of libxmp's on our 0..64 scale.
int volume64(int volume, int base) {
    if (base <= 0) return 0;
    return std::clamp(volume * kMaxVolume / base, 0, kMaxVolume);
}

void endPlayer(XmpSong* s) {
    if (!s || !s->started) return;
    xmp_end_player(s->context);
    s->started = false;
}

void forgetPlayback() {
    song = nullptr;
    playing = false;
    passes = loops_seen = 0;
    frame = xmp_frame_info{};
    tick_frames = consumed = 0;
}

// Interleaved native-endian 16-bit frames as s16le.
void copyFrames(std::uint8_t* out, const std::uint8_t* from, int frames) {
    const auto bytes = static_cast<std::size_t>(frames) * kBytesPerFrame;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (std::size_t i = 0; i < bytes; i += 2) {
        out[i] = from[i + 1];
        out[i + 1] = from[i];
    }
#else
    std::memcpy(out, from, bytes);
#endif
}

// A note played at a row's start raises its instrument's meter.
void raiseMeters() {
    if (frame.frame != 0) return;
    const xmp_module& mod = moduleOf(song);
    const int channels = std::min(mod.chn, XMP_MAX_CHANNELS);
    for (int c = 0; c < channels; ++c) {
        const xmp_channel_info& ci = frame.channel_info[c];
        if (ci.event.note == 0 || ci.event.note > XMP_MAX_KEYS) continue;
        const int instrument = ci.event.ins != 0 ? ci.event.ins : ci.instrument < mod.ins ? ci.instrument + 1 : 0;
        if (instrument > 0) platform().note_triggered(instrument, volume64(ci.volume, song->info.vol_base));
    }
}

// Runs the next tick: one frame of libxmp's. False when the song stops
// instead: it had ended, or a pass ended and the song stops there.
bool runTick() {
    if (!song || !playing) return false;
    applySeparation();
    const int status = xmp_play_frame(song->context);
    xmp_get_frame_info(song->context, &frame);
    consumed = 0;
    tick_frames = 0;
    if (status < 0) {
        // libxmp has nothing more to play: the pass has ended for good.
        ++passes;
        playing = false;
        if (!stop_at_pass_end) platform().draw_tick();
        return false;
    }
    if (frame.loop_count > loops_seen) {
        passes += frame.loop_count - loops_seen;
        loops_seen = frame.loop_count;
        if (stop_at_pass_end) {
            // Nothing of the next pass may sound or be drawn.
            playing = false;
            return false;
        }
    }
    // Guards against a frame larger than its buffer says.
    tick_frames = std::max(0, std::min(frame.buffer_size, frame.total_size) / kBytesPerFrame);
    raiseMeters();
    platform().draw_tick();
    return true;
}

// The frames left of the current tick, running the next one when none are:
// 0 when nothing more plays.
int framesLeft() {
    if (consumed >= tick_frames && !runTick()) return 0;
    return tick_frames - consumed;
}

// --- The table's entries

// What a failed xmp_load_module says, as a LoadEngineError.
int loadError(int status) {
    switch (-status) {
    case XMP_ERROR_DEPACK: return kEngineCantUnpack;
    case XMP_ERROR_SYSTEM: return kEngineSystemError;
    case XMP_ERROR_LOAD:
    case XMP_ERROR_FORMAT: return kEngineFileDamaged;
    default: return kEngineInternalError;
    }
}

// Guards against a module the views couldn't describe.
bool describable(const xmp_module* mod) {
    return mod && mod->chn >= 1 && mod->chn <= XMP_MAX_CHANNELS && mod->len >= 0 && mod->len <= XMP_MAX_MOD_LENGTH &&
           mod->pat >= 0 && mod->trk >= 0 && mod->ins >= 0 && mod->smp >= 0;
}

// Without the audio lock: the song loads into a context of its own, and
// libxmp keeps no state between contexts, so the one playing is untouched.
void* xmpLoad(const char* path, LoadRefusal* why) {
    CheckedFile file(path);
    xmp_test_info test{};
    if (!file || xmp_test_module(file.name(), &test) != 0) return nullptr;
    LoadRefusal refusal;
    refusal.reason = LoadRefusalReason::kOtherEngineCantLoad;
    std::memcpy(refusal.format, test.type, std::min(sizeof refusal.format - 1, sizeof test.type));
    refusal.format[sizeof refusal.format - 1] = '\0';
    std::unique_ptr<XmpSong> s(new (std::nothrow) XmpSong{});
    if (s) s->context = xmp_create_context();
    if (!s || !s->context) {
        refusal = LoadRefusal{LoadRefusalReason::kNoMemory};
    } else if (const int status = xmp_load_module(s->context, file.name()); status < 0) {
        refusal.engine_error = loadError(status);
        if (refusal.engine_error == kEngineSystemError) refusal.error = xmp_syserrno();
    } else {
        s->loaded = true;
        xmp_get_module_info(s->context, &s->info);
        if (!describable(s->info.mod)) refusal.engine_error = kEngineFileDamaged;
    }
    if (!s || !s->loaded || refusal.engine_error != 0) {
        if (why) *why = refusal;
        return nullptr;
    }
    const xmp_module* mod = s->info.mod;
    for (int p = 0; p < mod->pat; ++p)
        if (mod->xxp[p] && mod->xxp[p]->rows > kHexRowsAbove) s->hex_rows = true;
    s->packed = isPacked(file.get());
    std::memcpy(s->format, test.type, sizeof s->format);
    s->format[sizeof s->format - 1] = '\0';
    if (why) *why = LoadRefusal{};
    return s.release();
}

// Only the song playing is stopped under the audio lock; the rest is freed
// without it. Which song plays changes on this thread alone.
void xmpRelease(void* handle) {
    auto* s = static_cast<XmpSong*>(handle);
    if (!s) return;
    if (s == song) {
        AudioLock lock;
        endPlayer(s);
        forgetPlayback();
    }
    delete s;
}

// The short names of libxmp's formats, by the name its test gives them.
struct ShortName {
    const char* format;
    const char* name;
};
constexpr std::array<ShortName, 18> kShortNames = {{
    {"Fast Tracker II", "XM"},         {"Scream Tracker 3", "S3M"},     {"Impulse Tracker", "IT"},
    {"Amiga Protracker/Compatible", "MOD"}, {"Soundtracker", "MOD"},    {"Startrekker", "MOD"},
    {"Multitracker", "MTM"},           {"Composer 669", "669"},         {"Oktalyzer", "OKT"},
    {"Scream Tracker 2", "STM"},       {"Ultra Tracker", "ULT"},        {"Farandole Composer", "FAR"},
    {"MED 2.10/OctaMED", "MED"},       {"OctaMED", "MED"},              {"Poly Tracker", "PTM"},
    {"Imago Orpheus v1.0", "IMF"},     {"DSMI Advanced Module Format", "AMF"}, {"Epic Games UMX", "UMX"},
}};

void xmpFacts(const void* handle, SongFacts* out) {
    const auto* s = static_cast<const XmpSong*>(handle);
    const xmp_module& mod = moduleOf(s);
    out->title = fieldText(mod.name, sizeof mod.name);
    out->format_name = fieldText(s->format, sizeof s->format);
    out->format = out->format_name.empty() ? "?" : out->format_name;
    for (const ShortName& known : kShortNames)
        if (out->format_name == known.format) out->format = known.name;
    out->tracker = fieldText(mod.type, sizeof mod.type);
    out->packed = s->packed;
    out->channels = mod.chn;
    out->meters = std::min(mod.ins, kMaxInstruments);
    out->instruments = mod.ins;
    out->samples = mod.smp;
    out->positions = mod.len;
    out->patterns = mod.pat;
    out->restart = mod.rst;
    out->songs = s->info.num_sequences;
    for (int i = 0; s->info.seq_data && i < s->info.num_sequences; ++i)
        out->song_starts.push_back(s->info.seq_data[i].entry_point);
    for (int i = 0; i < mod.ins; ++i) {
        const xmp_instrument& instrument = mod.xxi[i];
        if (instrument.nsm <= 0 && instrument.name[0] == 0) continue;
        InstrumentFacts facts;
        facts.number = i + 1;
        facts.name = fieldText(instrument.name, sizeof instrument.name);
        facts.samples = std::max(instrument.nsm, 0);
        if (instrument.nsm > 0 && instrument.sub) facts.volume = instrument.sub[0].vol;
        out->instrument_list.push_back(facts);
    }
    for (int i = 0; i < mod.smp; ++i) {
        const xmp_sample& sample = mod.xxs[i];
        if (sample.len <= 0 && sample.name[0] == 0) continue;
        SampleFacts facts;
        facts.number = i + 1;
        facts.name = fieldText(sample.name, sizeof sample.name);
        facts.length = std::max(sample.len, 0);
        if (sample.flg & XMP_SAMPLE_LOOP) {
            facts.loop_start = sample.lps;
            facts.loop_length = sample.lpe - sample.lps;
        }
        facts.bits = sample.flg & XMP_SAMPLE_16BIT ? 16 : 8;
        out->sample_list.push_back(facts);
    }
}

// libxmp reads what it can of a damaged file and says nothing of it.
void xmpDescribeDamage(const void*, char* out, std::size_t size) {
    if (size > 0) out[0] = '\0';
}

// libxmp's test reads the file's head (unpacking a packed file first).
bool xmpProbe(const char* path, LoadRefusal*) {
    CheckedFile file(path);
    xmp_test_info test{};
    return file && xmp_test_module(file.name(), &test) == 0;
}

void xmpStart(void* handle, int order) {
    AudioLock lock;
    auto* s = static_cast<XmpSong*>(handle);
    endPlayer(song);
    forgetPlayback();
    if (xmp_start_player(s->context, kOutputRate, 0) != 0) return;
    s->started = true;
    song = s;
    applied_mix = -1;
    applySeparation();
    if (order > 0) xmp_set_position(s->context, order);
    xmp_get_frame_info(s->context, &frame);
    loops_seen = frame.loop_count;
    playing = true;
}

void xmpJump(int order) {
    AudioLock lock;
    if (!song) return;
    const int length = moduleOf(song).len;
    if (order < 0) order = length > 0 ? length - 1 : 0;
    if (order >= length) order = 0;
    // The position playing is the new one from now, not from its first tick:
    // a second key pressed before that tick steps on from it.
    // libxmp answers position 0 with -1 (it steps on from there at the next
    // tick): only its errors leave the song where it was.
    const int status = xmp_set_position(song->context, order);
    if (status != -XMP_ERROR_INVALID && status != -XMP_ERROR_STATE) frame.pos = order;
    passes = 0;
    loops_seen = frame.loop_count;
}

int xmpOrder() { return song ? frame.pos : 0; }

int xmpMix(std::uint8_t* out, int frames) {
    const int left = framesLeft();
    if (left == 0) {
        std::memset(out, 0, static_cast<std::size_t>(frames) * kBytesPerFrame);
        return frames;
    }
    const int n = std::min(frames, left);
    copyFrames(out, static_cast<const std::uint8_t*>(frame.buffer) + static_cast<std::size_t>(consumed) * kBytesPerFrame,
               n);
    consumed += n;
    return n;
}

int xmpSkip(int frames) {
    const int left = framesLeft();
    if (left == 0) return frames;
    const int n = std::min(frames, left);
    consumed += n;
    return n;
}

void xmpCell(const void* handle, int pattern, int row, int channel, CellText* out) {
    const xmp_module& mod = moduleOf(static_cast<const XmpSong*>(handle));
    xmp_event event{};
    const xmp_pattern* p = mod.xxp[pattern];
    // The arrays at the ends of libxmp's pattern and track records run on
    // past their declared single entry: read through pointers.
    const int* tracks = p->index;
    // Guards against a track index, or a track shorter than its pattern.
    const int track = channel < mod.chn ? tracks[channel] : -1;
    if (track >= 0 && track < mod.trk && mod.xxt[track] && row < mod.xxt[track]->rows) {
        const xmp_event* events = mod.xxt[track]->event;
        event = events[row];
    }
    xmpNoteText(event.note, out->note);
    const int digits = mod.ins > 99 ? 3 : 2;
    if (event.ins == 0) {
        std::memset(out->instrument, '.', static_cast<std::size_t>(digits));
    } else if (digits == 3) {
        out->instrument[0] = static_cast<char>('0' + event.ins / 100 % 10);
        out->instrument[1] = static_cast<char>('0' + event.ins / 10 % 10);
        out->instrument[2] = static_cast<char>('0' + event.ins % 10);
    } else if (event.ins > 99) {
        out->instrument[0] = out->instrument[1] = '?';
    } else {
        out->instrument[0] = static_cast<char>('0' + event.ins / 10);
        out->instrument[1] = static_cast<char>('0' + event.ins % 10);
    }
    out->instrument[digits] = '\0';
    // The main effect; where it is empty, the second one libxmp keeps.
    if (event.fxt == 0 && event.fxp == 0)
        xmpEffectText(event.f2t, event.f2p, out->effect);
    else
        xmpEffectText(event.fxt, event.fxp, out->effect);
}

void xmpDescribe(NowPlaying* now) {
    *now = NowPlaying{};
    if (!song) return;
    const xmp_module& mod = moduleOf(song);
    now->shown = true;
    now->playing = playing;
    shownFromLatin1(mod.name, sizeof mod.name, now->title, sizeof now->title);
    now->order = frame.pos;
    now->song_length = mod.len;
    now->bpm = frame.bpm;
    now->speed = frame.speed;
    now->pattern = frame.pattern;
    now->row = frame.row;
    const bool has_pattern = frame.pattern >= 0 && frame.pattern < mod.pat && mod.xxp[frame.pattern];
    now->rows = has_pattern ? mod.xxp[frame.pattern]->rows : 0;
    now->channels = mod.chn;
    now->instruments = std::min(mod.ins, kMaxInstruments);
    now->instrument_chars = mod.ins > 99 ? 3 : 2;
    now->effect_chars = 4;
    now->hex_rows = song->hex_rows;
    now->song = song;
    now->cell = xmpCell;
}

void xmpDescribeVoices(ScopeVoice* out, int first, int count) {
    for (int i = 0; i < count; ++i) out[i] = ScopeVoice{};
    if (!song) return;
    const xmp_module& mod = moduleOf(song);
    for (int i = 0; i < count; ++i) {
        const int channel = first + i;
        if (channel < 0 || channel >= std::min(mod.chn, XMP_MAX_CHANNELS)) continue;
        const xmp_channel_info& ci = frame.channel_info[channel];
        if (ci.sample >= mod.smp) continue;
        const xmp_sample& sample = mod.xxs[ci.sample];
        if (!sample.data || sample.len <= 0 || (sample.flg & XMP_SAMPLE_SYNTH)) continue;
        ScopeVoice& scope = out[i];
        scope.data = sample.data;
        scope.sixteen_bit = (sample.flg & XMP_SAMPLE_16BIT) != 0;
        scope.length = static_cast<std::uint32_t>(sample.len);
        // A loop inside the sample is followed as often as the trace needs.
        if ((sample.flg & XMP_SAMPLE_LOOP) && sample.lps >= 0 && sample.lps < sample.lpe && sample.lpe <= sample.len) {
            scope.loop_end = static_cast<std::uint32_t>(sample.lpe);
            scope.loop_length = static_cast<std::uint32_t>(sample.lpe - sample.lps);
            scope.loop_once = false;
        }
        scope.position = ci.position;
        scope.volume = static_cast<std::uint8_t>(volume64(ci.volume, song->info.vol_base));
    }
}

int xmpPasses() { return passes; }
bool xmpPlaying() { return playing; }
void xmpStopAtPassEnd(bool on) { stop_at_pass_end = on; }
int xmpTickFrames() { return tick_frames; }

void xmpTrace(std::FILE* out) {
    std::fprintf(out, " %d %d %d %d %d", frame.pos, frame.row, frame.frame, frame.speed, frame.bpm);
    const int channels = song ? std::min(moduleOf(song).chn, XMP_MAX_CHANNELS) : 0;
    for (int c = 0; c < channels; ++c) {
        const xmp_channel_info& ci = frame.channel_info[c];
        std::fprintf(out, " %u:%u:%u:%u", static_cast<unsigned>(ci.note), static_cast<unsigned>(ci.instrument),
                     static_cast<unsigned>(ci.volume), ci.period);
    }
    std::fputc('\n', out);
}

void xmpReset() {
    AudioLock lock;
    endPlayer(song);
    forgetPlayback();
    stop_at_pass_end = false;
}

constexpr std::array<const char*, 12> kNoteNames = {"C-", "C#", "D-", "D#", "E-", "F-",
                                                    "F#", "G-", "G#", "A-", "A#", "B-"};

}  // namespace

void xmpNoteText(int note, char* out) {
    const char* special = note == 0              ? "..."
                          : note == XMP_KEY_OFF  ? "off"
                          : note == XMP_KEY_CUT  ? "cut"
                          : note == XMP_KEY_FADE ? "fad"
                          : note > XMP_MAX_KEYS  ? "???"
                                                 : nullptr;
    if (special) {
        std::memcpy(out, special, 4);
        return;
    }
    // libxmp's note 61 is the C-4 of FastTracker 2 and Scream Tracker 3 (and
    // Impulse Tracker's C-5): octaves as the first two number them; below
    // octave 0 the octave shows as '-'.
    const int key = note - 1;
    std::memcpy(out, kNoteNames[static_cast<std::size_t>(key % 12)], 2);
    const int octave = key / 12 - 1;
    out[2] = octave < 0 ? '-' : static_cast<char>('0' + octave % 10);
    out[3] = '\0';
}

namespace {

// libxmp's codes past FastTracker 2's that a familiar letter names: speed and
// tempo (Scream Tracker's and Impulse Tracker's A and T) as F, Impulse
// Tracker's pattern break as D, its panning slide as P, Scream Tracker's
// arpeggio as 0.
struct FamiliarLetter {
    int code;
    char letter;
};
constexpr std::array<FamiliarLetter, 6> kFamiliarLetters = {{
    {0x87, 'F'}, {0x8E, 'D'}, {0x89, 'P'}, {0xA3, 'F'}, {0xAB, 'F'}, {0xB4, '0'},
}};

}  // namespace

void xmpEffectText(int type, int param, char* out) {
    if (type == 0 && param == 0) {
        std::memcpy(out, "...", 4);
        return;
    }
    // libxmp keeps the effects FastTracker 2 has under FastTracker 2's own
    // numbers, 0..35, written 0..9 and A..Z.
    constexpr int kLetters = 36;
    char letter = '\0';
    if (type >= 0 && type < kLetters) letter = type < 10 ? static_cast<char>('0' + type) : static_cast<char>('A' + type - 10);
    for (const FamiliarLetter& familiar : kFamiliarLetters)
        if (familiar.code == type) letter = familiar.letter;
    if (letter != '\0') {
        out[0] = letter;
        out[1] = hextable[(param >> 4) & 15];
        out[2] = hextable[param & 15];
        out[3] = '\0';
        return;
    }
    out[0] = kLowerHexDigits[(type >> 4) & 15];
    out[1] = kLowerHexDigits[type & 15];
    out[2] = hextable[(param >> 4) & 15];
    out[3] = hextable[param & 15];
    out[4] = '\0';
}

namespace {

constexpr EngineTable xmpEngineTable() {
    EngineTable t{};
    t.name = "libxmp";
    t.load = xmpLoad;
    t.release = xmpRelease;
    t.facts = xmpFacts;
    t.describe_damage = xmpDescribeDamage;
    t.probe = xmpProbe;
    t.start = xmpStart;
    t.jump = xmpJump;
    t.order = xmpOrder;
    t.mix = xmpMix;
    t.skip = xmpSkip;
    t.describe = xmpDescribe;
    t.describe_voices = xmpDescribeVoices;
    t.passes = xmpPasses;
    t.playing = xmpPlaying;
    t.set_stop_at_pass_end = xmpStopAtPassEnd;
    t.tick_frames = xmpTickFrames;
    t.trace = xmpTrace;
    t.reset = xmpReset;
    return t;
}

}  // namespace

constexpr EngineTable kXmpEngine = xmpEngineTable();
