// The replay engine: tick clock and song position, the channel update that
// reads pattern cells and drives the mixer voices, and the effect commands.
// Everything here but the player interface runs on the audio thread, inside
// the mixer callback; it allocates nothing and uses integer arithmetic only
// (the period-to-step conversion is the one computation done in double).
#include "player/protracker_sequencer.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>

#include "audio/audio_mixer.h"
#include "audio/paula.h"
#include "platform/platform.h"

std::int32_t mod_playing = 0;

Module* source = nullptr;
std::int32_t mod_samplecounter = 0;
std::int32_t mod_samplespertick = 0;
std::int32_t mod_speed = 0;
std::int32_t mod_bpm = 0;
std::int32_t mod_tick = 0;
std::int32_t mod_row = 0;
std::int32_t mod_order = 0;
std::int32_t mod_pattern = 0;
std::int32_t tick_period = 0;
std::int32_t tick_volume = 0;
std::int32_t mod_passes = 0;
std::int32_t mod_stop_at_pass_end = 0;
Channel channels[kMaxChannels];
static_assert(kMaxChannels <= kMaxVoices, "channel i drives voice i");

namespace {

// What the row asks of the song's position: a jump (row + 1 in
// pattern_jump_row, 0 for none) to order pattern_jump_target, and a
// pattern loop back to pattern_loop_row (pattern_loop 1).
std::int32_t pattern_jump_target = 0;
std::int32_t pattern_jump_row = 0;
std::int32_t pattern_loop = 0;
std::int32_t pattern_loop_row = 0;
// A pattern delay (command EE): the rows asked for, held from the next
// row's first tick, and the rows of the delay under way still to hold.
std::int32_t pattern_delay = 0;
std::int32_t pattern_delay_left = 0;
// The channel being updated: what this tick does with its note (kTrigger, kHold).
std::int32_t tick_flags = 0;

constexpr int kDefaultSpeed = 6;
constexpr int kDefaultBpm = 125;

// Row event flags of Channel::flags.
constexpr int kFlagNote = 1;
constexpr int kFlagSample = 2;
constexpr int kFlagNewSample = 4;
// Per-tick flags of tick_flags.
constexpr int kTrigger = 1;
constexpr int kHold = 2;

// A tick lasts 2.5 / bpm seconds.
constexpr std::uint32_t samplesPerTick(int bpm) {
    return static_cast<std::uint32_t>(kOutputRate) * 5u / (2u * static_cast<std::uint32_t>(bpm));
}
static_assert(samplesPerTick(125) == 960, "a tick at 125 bpm is 20 ms");

// Period multipliers in 1/32768 units: entry n raises the pitch n semitones.
constexpr std::int32_t arp_table[16] = {32768, 30929, 29193, 27554, 26008, 24548, 23170, 21870,
                                        20643, 19484, 18390, 17358, 16384, 15464, 14596, 13777};

// Half a sine period of amplitude 255; the other half is the same, negated.
constexpr std::int32_t sin_table[32] = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212,
                                        224, 235, 244, 250, 253, 255, 253, 250, 244, 235, 224,
                                        212, 197, 180, 161, 141, 120, 97,  74,  49,  24};

// Invert-loop accumulator increments per speed (entry 0 unused).
constexpr std::int32_t invert_loop_steps[16] = {0, 5, 6, 7, 8, 10, 11, 13, 15, 19, 22, 26, 32, 43, 64, 128};

// One channel's work for one tick, and one step of its invert loop (command EF).
void update_channel(Channel* ch);
void invert_loop_step(Channel* ch);
// The extended effects E0..EF, by the parameter's high nibble.
extern const EffectRoutine extended_effect_routines[16];

}  // namespace

// ---------------------------------------------------------------------------
// Song position

namespace {

// Every change of position goes through here: the song-end rule, the
// mirrors, and the pending jump, delay and loop dropped.
void set_position(int order, int row) {
    if (order >= source->song_length) {
        // A restart position at or past the song's end would play a pattern
        // that is not part of the song: start again from the top instead.
        if (source->restart_enabled == 1 && source->restart_pos < source->song_length) {
            order = source->restart_pos;
        } else {
            order = 0;
            row = 0;
        }
    }
    mod_order = source->order = order;
    mod_row = source->row = row;
    mod_pattern = source->pattern = source->orders[order];
    pattern_jump_target = 0;
    pattern_jump_row = 0;
    pattern_delay = 0;
    pattern_delay_left = 0;
    pattern_loop = 0;
    pattern_loop_row = 0;
    mod_tick = 0;
}

// ---------------------------------------------------------------------------
// The one-pass rule: which rows this pass has read, and whether the song has
// passed its end since the last row it read.

std::bitset<kOrderSlots * kRowsPerPattern> pass_rows;
bool pass_wrapped = false;

std::size_t rowKey(int order, int row) { return static_cast<std::size_t>(order * kRowsPerPattern + row); }

void startPass() {
    pass_rows.reset();
    pass_wrapped = false;
}

// A row step or a jump to order: passing the song's end ends the pass.
void noteLeaving(int order) {
    if (order >= source->song_length) pass_wrapped = true;
}

// The tick is about to read (mod_order, mod_row). Returns false when the
// song stops here instead, at the end of a pass.
bool noteRead() {
    if (pass_wrapped || pass_rows.test(rowKey(mod_order, mod_row))) {
        ++mod_passes;
        startPass();
        if (mod_stop_at_pass_end != 0) {
            // Nothing of the next pass may sound: not even this tick's notes.
            mod_playing = 0;
            audioPause();
            return false;
        }
    }
    pass_rows.set(rowKey(mod_order, mod_row));
    return true;
}

void endRow() {
    mod_tick = 0;
    if (pattern_loop == 1) {
        // The rows a pattern loop plays again are part of the same pass.
        const int from = std::min(pattern_loop_row, mod_row);
        const int to = std::max(pattern_loop_row, mod_row);
        for (int row = from; row <= to; ++row) pass_rows.reset(rowKey(mod_order, row));
        set_position(mod_order, pattern_loop_row);
        return;
    }
    if (pattern_delay_left != 0) return;  // the row is held: not left, not re-read
    if (pattern_jump_row != 0) {
        noteLeaving(pattern_jump_target);
        set_position(pattern_jump_target, pattern_jump_row - 1);
    } else if (++mod_row == kRowsPerPattern) {
        // A delay asked for on a pattern's last row is the composer's pause
        // before the next pattern: the plain step keeps it, and the new
        // position's first tick holds it as a delay within a pattern would.
        const std::int32_t delay = pattern_delay;
        noteLeaving(mod_order + 1);
        set_position(mod_order + 1, 0);
        pattern_delay = delay;
    }
    source->row = mod_row;
}

void runTick() {
    if (mod_tick == 0) {
        if (pattern_delay != 0) {
            pattern_delay_left = pattern_delay;
            pattern_delay = 0;
        }
        if (pattern_delay_left > 0) --pattern_delay_left;
        if (pattern_delay_left == 0 && !noteRead()) return;
    }
    for (int i = 0; i < source->channels; ++i) update_channel(&channels[i]);

    platform().draw_tick();

    if (++mod_tick >= mod_speed) endRow();
}

}  // namespace

// ---------------------------------------------------------------------------
// Player interface

int zindleInit() { return audioStart(); }

void zindlePlay(Module* module, int order) {
    if (order < 0) order = 0;  // the order list has no entry before the first
    AudioLock lock;
    audioCutAllVoices();
    paulaReset();
    for (int i = 0; i < kMaxChannels; ++i) {
        channels[i].index = i;
        channels[i].volume = kMaxVolume;
    }
    mod_speed = kDefaultSpeed;
    module->speed = kDefaultSpeed;
    source = module;
    mod_bpm = kDefaultBpm;
    module->bpm = kDefaultBpm;
    mod_samplespertick = static_cast<std::int32_t>(samplesPerTick(kDefaultBpm));
    set_position(order, 0);
    mod_passes = 0;
    startPass();
    mod_playing = 1;
}

void zindleJump(int order) {
    if (!source) return;
    AudioLock lock;
    // Stepping back from the first position wraps to the last one.
    if (order < 0) order = source->song_length > 0 ? source->song_length - 1 : 0;
    set_position(order, 0);
    mod_passes = 0;
    startPass();
}

int zindlePulse(int frames) {
    if (mod_playing == 0) return frames;
    if (mod_samplecounter != 0) {
        const std::int32_t before = mod_samplecounter;
        const std::int32_t left = before - frames;
        if (left >= 0) {
            mod_samplecounter = left;
            return frames;
        }
        mod_samplecounter = 0;
        return before;
    }
    runTick();
    const std::int32_t left = mod_samplespertick - frames;
    if (left >= 0) {
        mod_samplecounter = left;
        return frames;
    }
    mod_samplecounter = 0;
    return frames + left;
}

void zindleClose() {
    // No tick may start a note again while the cut voices fade out.
    {
        AudioLock lock;
        mod_playing = 0;
    }
    audioStop();
}

void zindleResetEngine() {
    {
        AudioLock lock;
        mod_playing = 0;
        source = nullptr;
        mod_samplecounter = mod_samplespertick = mod_speed = mod_bpm = 0;
        mod_tick = mod_row = mod_order = mod_pattern = 0;
        pattern_jump_target = pattern_jump_row = 0;
        pattern_delay = pattern_delay_left = 0;
        pattern_loop = pattern_loop_row = 0;
        tick_period = tick_volume = tick_flags = 0;
        mod_passes = 0;
        mod_stop_at_pass_end = 0;
        startPass();
        for (Channel& ch : channels) ch = Channel{};
    }
    audioCutAllVoices();
}

// ---------------------------------------------------------------------------
// Channel update

std::uint32_t periodToRate(std::int32_t period) {
    const double p = static_cast<double>(period);
    const double product = (kPaulaClock / (p + p)) * (1 << kPositionFractionBits);
    // Tiny periods give a product past 32 bits: it saturates.
    constexpr double kPast32Bits = 4294967296.0;
    const std::uint32_t whole = product >= kPast32Bits ? UINT32_MAX : static_cast<std::uint32_t>(product);
    return whole / static_cast<std::uint32_t>(kOutputRate);
}

namespace {

const Sample* channelSample(const Channel* ch) {
    return ch->sample >= 1 && ch->sample <= kNumSamples ? &source->samples[ch->sample - 1] : nullptr;
}

// The note a pattern period names, at the finetune of the channel's sample.
// A period that names no note is taken as the nearest one.
std::int32_t notePeriod(std::int32_t period, const Channel* ch) {
    int column = 0;
    int best = INT32_MAX;
    for (int i = 0; i < kNotes; ++i) {
        const int distance = std::abs(tab_tunes[0][i] - period);
        if (distance < best) {
            best = distance;
            column = i;
            if (distance == 0) break;
        }
    }
    const Sample* sample = channelSample(ch);
    const int finetune = sample ? (sample->finetune & 15) : 0;
    return tab_tunes[finetune][column];
}

void readRow(Channel* ch) {
    const PatternCell& cell = source->patterns[mod_pattern][mod_row * source->channels + ch->index];
    if (cell.sample > 0) {
        if (cell.sample != ch->sample) ch->flags |= kFlagNewSample;
        ch->flags |= kFlagSample;
        ch->sample = cell.sample;
        const Sample& sample = source->samples[cell.sample - 1];
        if (sample.loop_length != 0) {
            ch->loop_start = ch->invert_pos = sample.loop_start;
            ch->loop_length = sample.loop_length;
        } else {
            ch->loop_start = ch->loop_length = ch->invert_pos = 0;
        }
        ch->data_offset = sample.offset;
    }
    ch->effect = cell.effect;
    ch->param = cell.param;
    if (cell.period > 0) {
        ch->target_period = notePeriod(cell.period, ch);
        ch->flags |= kFlagNote;
    }
}

std::int8_t* sampleData(const Sample& sample) { return source->sample_data + sample.offset; }

void update_channel(Channel* ch) {
    tick_flags = 0;
    if (mod_tick == 0) {
        if (pattern_delay_left == 0 && mod_playing != 0) readRow(ch);
        if (ch->flags & kFlagNote) {
            ch->flags &= ~kFlagNote;
            if (ch->effect != kEffectTonePorta && ch->effect != kEffectTonePortaVolSlide) {
                ch->period = ch->target_period;
                if (ch->effect != kEffectSampleOffset) ch->sample_offset = 0;
                tick_flags = kTrigger;
            }
            ch->wave_pos = 0;
        }
        if (ch->flags & kFlagSample) {
            ch->flags &= ~kFlagSample;
            if (const Sample* sample = channelSample(ch)) {
                ch->volume = sample->volume;
                if (ch->flags & kFlagNewSample) {
                    if (ch->effect != kEffectSampleOffset) ch->sample_offset = 0;
                    audioChangeSrc(ch->index, sampleData(*sample), static_cast<std::uint32_t>(sample->length),
                                   static_cast<std::uint32_t>(sample->loop_start),
                                   static_cast<std::uint32_t>(sample->loop_length));
                    ch->flags &= ~kFlagNewSample;
                }
            }
        }
    }
    tick_period = ch->period;
    tick_volume = ch->volume;
    if (ch->invert_speed > 0) invert_loop_step(ch);
    effect_routines[ch->effect & 15](ch);

    if (tick_flags & kHold) return;
    const Sample* sample = channelSample(ch);
    if ((tick_flags & kTrigger) && sample) {
        audioSetSource(ch->index, sampleData(*sample), static_cast<std::uint32_t>(sample->length),
                       static_cast<std::uint32_t>(sample->loop_start),
                       static_cast<std::uint32_t>(sample->loop_length));
        if (ch->sample_offset != 0) audioSetOffset(ch->index, static_cast<std::uint32_t>(ch->sample_offset));
        platform().note_triggered(ch->sample, ch->volume);
    }
    // Tremolo works on the tick's volume only, so that is what the voice hears.
    audioSetVolume(ch->index, static_cast<std::uint8_t>(ch->effect == kEffectTremolo ? tick_volume : ch->volume));
    if (tick_period <= 0) return;
    ch->rate = periodToRate(tick_period);
    audioSetRate(ch->index, ch->rate);
}

// ---------------------------------------------------------------------------
// Row effects 0..F

inline int paramX(const Channel* ch) { return (ch->param >> 4) & 15; }
inline int paramY(const Channel* ch) { return ch->param & 15; }

void slideToTarget(Channel* ch) {
    if (ch->period < ch->target_period) {
        ch->period += ch->porta_speed;
        if (ch->period > ch->target_period) ch->period = ch->target_period;
    } else {
        ch->period -= ch->porta_speed;
        if (ch->period < ch->target_period) ch->period = ch->target_period;
    }
    tick_period = ch->period;
}

// Vibrato acts on tick 0 too; the wave only advances on later ticks.
void vibratoStep(Channel* ch) {
    const int speed = (ch->vibrato >> 4) & 15;
    const int depth = ch->vibrato & 15;
    const int delta = (depth * sin_table[ch->wave_pos & 31]) >> 7;
    if (ch->wave_pos < 32)
        tick_period += delta;
    else
        tick_period -= delta;
    if (mod_tick != 0) ch->wave_pos = (ch->wave_pos + speed) & 63;
}

void volumeSlide(Channel* ch) {
    if (mod_tick == 0) return;
    const int x = paramX(ch);
    if (x != 0)
        tick_volume = std::min(tick_volume + x, kMaxVolume);
    else
        tick_volume = std::max(tick_volume - paramY(ch), 0);
    ch->volume = tick_volume;
}

void effect_arpeggio(Channel* ch) {
    const int n = mod_tick % 3;
    if (n == 1)
        tick_period = (arp_table[paramX(ch)] * tick_period) >> 15;
    else if (n == 2)
        tick_period = (arp_table[paramY(ch)] * tick_period) >> 15;
}

void effect_portamento_up(Channel* ch) {
    if (mod_tick == 0) return;
    ch->period = std::max(ch->period - ch->param, kMinPeriod);
    tick_period = ch->period;
}

void effect_portamento_down(Channel* ch) {
    if (mod_tick == 0) return;
    ch->period = std::min(ch->period + ch->param, kMaxPeriod);
    tick_period = ch->period;
}

void effect_glissando(Channel* ch) {
    if (mod_tick == 0) {
        if (ch->param > 0) ch->porta_speed = ch->param;
        return;
    }
    slideToTarget(ch);
}

void effect_vibrato(Channel* ch) {
    if (mod_tick == 0) {
        if (paramX(ch) != 0) ch->vibrato = (ch->vibrato & 0x0F) | (paramX(ch) << 4);
        if (paramY(ch) != 0) ch->vibrato = (ch->vibrato & 0xF0) | paramY(ch);
    }
    vibratoStep(ch);
}

void effect_glissando_vslide(Channel* ch) {
    if (mod_tick != 0) slideToTarget(ch);
    volumeSlide(ch);
}

void effect_vibrato_vslide(Channel* ch) {
    vibratoStep(ch);
    volumeSlide(ch);
}

// Tremolo: no memory, and the wave advances before the offset is applied.
void effect_tremolo(Channel* ch) {
    if (mod_tick != 0) ch->wave_pos = (ch->wave_pos + paramX(ch)) & 63;
    const int delta = (paramY(ch) * sin_table[ch->wave_pos & 31]) >> 6;
    if (ch->wave_pos < 32)
        tick_volume = std::min(tick_volume + delta, kMaxVolume);
    else
        tick_volume = std::max(tick_volume - delta, 0);
}

// Panning is fixed by the mixer.
void effect_setpanning(Channel*) {}

void effect_sample_offset(Channel* ch) {
    if (mod_tick == 0 && ch->param > 0) ch->sample_offset = ch->param * 256;
}

void effect_volume_slide(Channel* ch) { volumeSlide(ch); }

// A row set by an earlier channel's pattern break stays; the target is replaced.
void effect_position_jump(Channel* ch) {
    if (mod_tick != 0) return;
    if (pattern_jump_row == 0) pattern_jump_row = 1;
    pattern_jump_target = ch->param;
}

void effect_set_volume(Channel* ch) {
    if (mod_tick == 0) ch->volume = ch->param;
}

// The row reads as two decimal digits, but a low nibble A..F counts 10..15.
void effect_pattern_break(Channel* ch) {
    if (mod_tick != 0) return;
    if (pattern_jump_row == 0) pattern_jump_target = mod_order + 1;
    if (source->song_length == 1) pattern_jump_target = 0;
    const int row = 10 * paramX(ch) + paramY(ch);
    pattern_jump_row = row + 1 > kRowsPerPattern ? 1 : row + 1;
}

void effect_extended(Channel* ch) { extended_effect_routines[paramX(ch)](ch); }

void effect_tempo(Channel* ch) {
    if (mod_tick != 0) return;
    if (ch->param <= 32) {
        mod_speed = source->speed = ch->param;
    } else {
        mod_bpm = source->bpm = ch->param;
        mod_samplespertick = static_cast<std::int32_t>(samplesPerTick(ch->param));
    }
}

// ---------------------------------------------------------------------------
// Extended effects E0..EF

// The Amiga's LED filter: bit 0 of the parameter clear turns it on. Only the
// Amiga's own sound hears it.
void effecte_setfilter(Channel* ch) {
    if (mod_tick == 0) paulaSetLed((paramY(ch) & 1) == 0);
}

// Glissando control, waveforms and panning have nothing to act on.
void effecte_glissandoctrl(Channel*) {}
void effecte_vibratoctrl(Channel*) {}
void effecte_tremoloctrl(Channel*) {}
void effecte_setpanning(Channel*) {}

void effecte_fineportaup(Channel* ch) {
    if (mod_tick != 0) return;
    ch->period = std::max(ch->period - paramY(ch), kMinPeriod);
    tick_period = ch->period;
}

void effecte_fineportadown(Channel* ch) {
    if (mod_tick != 0) return;
    ch->period = std::min(ch->period + paramY(ch), kMaxPeriod);
    tick_period = ch->period;
}

// Rewrites the shared sample header: every channel's later notes hear it.
void effecte_setfinetune(Channel* ch) {
    if (mod_tick != 0 || ch->sample <= 0 || ch->sample > kNumSamples) return;
    source->samples[ch->sample - 1].finetune = paramY(ch);
}

void loopCountStep(Channel* ch) {
    pattern_loop = 1;
    ch->loop_state = kLoopRunning;
    if (ch->loop_count <= 0) {
        // Finished: this also cancels a loop an earlier channel set this row.
        ch->loop_state = kLoopIdle;
        ch->loop_count = 0;
        pattern_loop = 0;
    } else {
        pattern_loop_row = ch->loop_row;
        --ch->loop_count;
    }
}

void effecte_patternloop(Channel* ch) {
    if (mod_tick != 0) return;
    const int y = paramY(ch);
    if (y == 0) {
        // The start is only marked from idle.
        if (ch->loop_state == kLoopIdle) {
            ch->loop_row = mod_row;
            ch->loop_state = kLoopMarked;
        }
        return;
    }
    if (ch->loop_state != kLoopRunning) ch->loop_count = y;
    loopCountStep(ch);
}

void effecte_retrignote(Channel* ch) {
    const int y = paramY(ch);
    if (y > 0 && mod_tick % y == 0) tick_flags |= kTrigger;
}

void effecte_finevolup(Channel* ch) {
    if (mod_tick != 0) return;
    ch->volume = std::min(ch->volume + paramY(ch), kMaxVolume);
    tick_volume = ch->volume;
}

void effecte_finevoldown(Channel* ch) {
    if (mod_tick != 0) return;
    ch->volume = std::max(ch->volume - paramY(ch), 0);
    tick_volume = ch->volume;
}

void effecte_notecut(Channel* ch) {
    if (mod_tick == paramY(ch)) tick_volume = ch->volume = 0;
}

// The note's trigger is parked in wave_pos until its tick comes.
void effecte_notedelay(Channel* ch) {
    const int y = paramY(ch);
    if (mod_tick == 0) ch->wave_pos = tick_flags;
    if (mod_tick < y)
        tick_flags |= kHold;
    else if (mod_tick == y)
        tick_flags = ch->wave_pos;
}

void effecte_patterndelay(Channel* ch) {
    if (mod_tick == 0 && pattern_delay_left == 0) pattern_delay = paramY(ch) + 1;
}

void effecte_invertloop(Channel* ch) {
    if (mod_tick != 0) return;
    ch->invert_speed = paramY(ch);
    if (ch->invert_speed > 0) invert_loop_step(ch);
}

}  // namespace

const EffectRoutine effect_routines[16] = {
    effect_arpeggio,       effect_portamento_up, effect_portamento_down,  effect_glissando,
    effect_vibrato,        effect_glissando_vslide, effect_vibrato_vslide, effect_tremolo,
    effect_setpanning,     effect_sample_offset, effect_volume_slide,     effect_position_jump,
    effect_set_volume,     effect_pattern_break, effect_extended,         effect_tempo,
};

namespace {

const EffectRoutine extended_effect_routines[16] = {
    effecte_setfilter,   effecte_fineportaup, effecte_fineportadown, effecte_glissandoctrl,
    effecte_vibratoctrl, effecte_setfinetune, effecte_patternloop,   effecte_tremoloctrl,
    effecte_setpanning,  effecte_retrignote,  effecte_finevolup,     effecte_finevoldown,
    effecte_notecut,     effecte_notedelay,   effecte_patterndelay,  effecte_invertloop,
};

void invert_loop_step(Channel* ch) {
    ch->invert_acc += invert_loop_steps[ch->invert_speed & 15];
    if ((ch->invert_acc & 128) == 0) return;
    ch->invert_acc = 0;
    std::int32_t p = ch->invert_pos + 1;
    if (static_cast<std::uint32_t>(p) >= static_cast<std::uint32_t>(ch->loop_start + ch->loop_length))
        p = ch->loop_start;
    ch->invert_pos = p;
    // Only bytes of the channel's own sample are touched, whatever its loop says.
    const Sample* sample = channelSample(ch);
    if (!sample || static_cast<std::uint32_t>(p) >= static_cast<std::uint32_t>(sample->length)) return;
    std::int8_t& byte = source->sample_data[sample->offset + p];
    byte = static_cast<std::int8_t>(~byte);
}

}  // namespace
