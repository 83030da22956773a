// Our own engine as a row of the engine table: each entry calls what the
// loader, the sequencer and the mixer have always done, unchanged.
#include "player/protracker_engine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "audio/audio_mixer.h"
#include "audio/paula.h"
#include "player/engine.h"
#include "player/shown_text.h"

constexpr char name_tab[38][4] = {
    "...",
    "C-1", "C#1", "D-1", "D#1", "E-1", "F-1", "F#1", "G-1", "G#1", "A-1", "A#1", "B-1",
    "C-2", "C#2", "D-2", "D#2", "E-2", "F-2", "F#2", "G-2", "G#2", "A-2", "A#2", "B-2",
    "C-3", "C#3", "D-3", "D#3", "E-3", "F-3", "F#3", "G-3", "G#3", "A-3", "A#3", "B-3",
    "???"};

namespace {

constexpr int kUnknownNote = kNotes + 1;

// For every period up to the longest in period_tab, the index of its entry
// there, or kUnknownNote when it has none: one look-up per cell instead of a
// search through the table.
constexpr int kLongestPeriod = kMaxPeriod;

constexpr std::array<std::uint8_t, kLongestPeriod + 1> buildNoteOfPeriod() {
    std::array<std::uint8_t, kLongestPeriod + 1> notes{};
    for (int period = 0; period <= kLongestPeriod; ++period) {
        int k = 0;
        while (k < kUnknownNote && period_tab[static_cast<std::size_t>(k)] != period) ++k;
        notes[static_cast<std::size_t>(period)] = static_cast<std::uint8_t>(k);
    }
    return notes;
}
constexpr std::array<std::uint8_t, kLongestPeriod + 1> kNoteOfPeriod = buildNoteOfPeriod();

const char* noteName(std::int32_t period) {
    if (period < 0 || period > kLongestPeriod) return name_tab[kUnknownNote];
    return name_tab[kNoteOfPeriod[static_cast<std::size_t>(period)]];
}

void modCell(const void* song, int pattern, int row, int channel, CellText* out) {
    const auto* module = static_cast<const Module*>(song);
    const PatternCell& cell = module->patterns[pattern][row * module->channels + channel];
    std::memcpy(out->note, noteName(cell.period), sizeof out->note);
    if (cell.sample != 0) {
        out->instrument[0] = static_cast<char>('0' + cell.sample / 10 % 10);
        out->instrument[1] = static_cast<char>('0' + cell.sample % 10);
    } else {
        out->instrument[0] = out->instrument[1] = '.';
    }
    out->instrument[2] = '\0';
    out->effect[0] = hextable[cell.effect & 15];
    out->effect[1] = hextable[(cell.param >> 4) & 15];
    out->effect[2] = hextable[cell.param & 15];
    if (out->effect[0] == '0' && out->effect[1] == '0' && out->effect[2] == '0')
        out->effect[0] = out->effect[1] = out->effect[2] = '.';
    out->effect[3] = '\0';
}

// --- The table's entries

void* modLoad(const char* path, LoadRefusal* why) { return zindleLoad(path, why); }
void modRelease(void* song) { zindleFree(static_cast<Module*>(song)); }
static_assert(kShortDataTextBytes <= kDamageTextBytes, "the loader's words on damage fit the seam's");
void modDescribeDamage(const void* song, char* out, std::size_t size) {
    zindleDescribeShortData(*static_cast<const Module*>(song), out, size);
}
bool modProbe(const char* path, LoadRefusal* why) { return zindleProbe(path, why); }

void modFacts(const void* song, SongFacts* out) {
    const Module& module = *static_cast<const Module*>(song);
    out->title = fieldText(module.name, sizeof module.name);
    out->tag = module.tag;
    out->channels = module.channels;
    out->meters = kNumSamples;
    out->sample_slots = module.num_samples;
    out->positions = module.song_length;
    out->patterns = module.num_patterns;
    out->restart = module.restart_enabled ? module.restart_pos : -1;
    out->song_starts = {0};
    out->missing = zindleMissingSampleBytes(module);
    for (int i = 0; i < module.num_samples; ++i) {
        const Sample& s = module.samples[i];
        // Empty samples' names often carry the composer's message.
        if (s.length == 0 && s.name[0] == 0) continue;
        SampleFacts facts;
        facts.number = i + 1;
        facts.name = fieldText(s.name, sizeof s.name);
        facts.length = s.length;
        facts.loop_start = s.loop_start;
        facts.loop_length = s.loop_length;
        facts.volume = s.volume;
        facts.finetune = s.finetune < 8 ? s.finetune : s.finetune - 16;
        facts.missing = s.missing;
        out->sample_list.push_back(facts);
    }
}
void modStart(void* song, int order) { zindlePlay(static_cast<Module*>(song), order); }
int modOrder() { return source ? source->order : 0; }

int modMix(std::uint8_t* out, int frames) {
    const int n = zindlePulse(frames);
    if (paulaModel() == AmigaModel::kOff)
        audioMixVoices(out, n);
    else
        paulaMixVoices(out, n);
    return n;
}

void modDescribeSource(NowPlaying* now) { modDescribe(source, now); }
int modPasses() { return mod_passes; }
bool modPlaying() { return mod_playing != 0; }
void modStopAtPassEnd(bool on) { mod_stop_at_pass_end = on ? 1 : 0; }
int modTickFrames() { return mod_samplespertick; }

void modTrace(std::FILE* out) {
    std::fprintf(out, " %d %d %d %d %d", mod_order, mod_row, mod_tick, mod_speed, mod_bpm);
    for (int i = 0; i < source->channels; ++i) {
        const Voice& voice = v[i];
        const long long off = voice.data ? static_cast<long long>(voice.data - source->sample_data) : -1;
        std::fprintf(out, " %lld:%u:%u:%u", off, voice.position >> kPositionFractionBits, voice.rate,
                     static_cast<unsigned>(voice.volume));
    }
    std::fputc('\n', out);
}

}  // namespace

void modDescribe(const Module* module, NowPlaying* now) {
    *now = NowPlaying{};
    if (!module) return;
    now->shown = true;
    now->playing = module->loaded != 0 && mod_playing != 0;
    shownFromLatin1(module->name, sizeof module->name, now->title, sizeof now->title);
    now->order = module->order;
    now->song_length = module->song_length;
    now->bpm = module->bpm;
    now->speed = module->speed;
    now->pattern = module->pattern;
    now->row = module->row;
    // Guards against a position mirror that names no pattern block.
    const bool has_block = module->pattern >= 0 && module->pattern < kPatternSlots && module->patterns[module->pattern];
    now->rows = has_block ? kRowsPerPattern : 0;
    now->channels = module->channels;
    now->instruments = kNumSamples;
    now->song = module;
    now->cell = modCell;
}

void modDescribeVoices(ScopeVoice* out, int first, int count) {
    for (int i = 0; i < count; ++i) {
        const Voice& voice = v[first + i];
        ScopeVoice& scope = out[i];
        scope.data = voice.data;
        scope.sixteen_bit = false;
        scope.length = voice.length;
        scope.loop_end = voice.loop_end;
        scope.loop_length = voice.loop_length;
        scope.loop_once = true;
        scope.position = voice.position >> kPositionFractionBits;
        scope.volume = voice.volume;
    }
}

namespace {

constexpr EngineTable modEngineTable() {
    EngineTable t{};
    t.name = "zindle";
    t.load = modLoad;
    t.release = modRelease;
    t.facts = modFacts;
    t.describe_damage = modDescribeDamage;
    t.probe = modProbe;
    t.start = modStart;
    t.jump = zindleJump;
    t.order = modOrder;
    t.mix = modMix;
    t.skip = zindlePulse;
    t.describe = modDescribeSource;
    t.describe_voices = modDescribeVoices;
    t.passes = modPasses;
    t.playing = modPlaying;
    t.set_stop_at_pass_end = modStopAtPassEnd;
    t.tick_frames = modTickFrames;
    t.trace = modTrace;
    t.reset = zindleResetEngine;
    return t;
}

}  // namespace

constexpr EngineTable kModEngine = modEngineTable();
