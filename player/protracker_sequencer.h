// The replay engine: the tick clock and song position, the per-channel note
// handling and every effect command. Ticks run on the audio thread, inside
// mixaudio; the player interface below is called from the main thread.
#pragma once

#include <cstdint>

#include "player/protracker_loader.h"

// Replay state of one channel; channel i drives mixer voice i.
struct Channel {
    std::int32_t index;          // channel and voice number 0..3
    std::uint32_t rate;          // step last sent to the voice (18.14)
    std::int32_t period;         // current period, moved by the portamentos
    std::int32_t target_period;  // last note read, at the sample's finetune
    std::int32_t sample_offset;  // byte offset of the next triggered note
    std::int32_t loop_row;       // pattern loop start row
    std::int32_t loop_count;     // pattern loop repeats left
    std::int32_t loop_state;     // 0 idle, 1 start marked, 2 looping
    std::int32_t sample;         // current sample 1..31; 0 = none yet
    std::int32_t effect;         // command of the current row 0..15
    std::int32_t param;          // its parameter 0..255
    std::int32_t volume;         // lasting volume 0..64
    std::int32_t flags;          // row event flags, 0 between calls
    std::int32_t porta_speed;    // tone portamento speed memory
    std::int32_t vibrato;        // vibrato memory: speed << 4 | depth
    std::int32_t wave_pos;       // vibrato/tremolo wave position 0..63
    std::int32_t invert_acc;     // invert-loop accumulator
    std::int32_t invert_speed;   // invert-loop speed 0..15; 0 = off
    std::int32_t loop_start;     // current sample's loop, bytes (0 = none)
    std::int32_t loop_length;
    std::int32_t invert_pos;     // invert-loop byte position in the sample
    std::int32_t data_offset;    // current sample's offset in sample_data
};

using EffectRoutine = void (*)(Channel*);

// The views, as display_mode numbers them.
constexpr int kViewPattern = 1;  // the pattern being played
constexpr int kViewMeters = 2;   // a bar meter per sample
constexpr int kViewNone = 3;     // nothing drawn
constexpr int kViewScopes = 4;   // four oscilloscopes

// The view shown (0 before start-up). The tick reads it: meters move only
// while view 2 shows. Written on the main thread under the audio lock.
extern int display_mode;

// 1 while a module plays; while 0 no tick runs and no module is touched.
extern std::int32_t mod_playing;

extern Module* source;
extern std::int32_t mod_samplecounter;
extern std::int32_t mod_samplespertick;
extern std::int32_t mod_speed;
extern std::int32_t mod_bpm;
extern std::int32_t mod_tick;
extern std::int32_t mod_row;
extern std::int32_t mod_order;
extern std::int32_t mod_pattern;
extern std::int32_t pattern_jump_target;
extern std::int32_t pattern_jump_row;
extern std::int32_t pattern_delay;
extern std::int32_t pattern_delay_2;
extern std::int32_t pattern_loop;
extern std::int32_t pattern_loop_row;
extern std::int32_t aperiod;
extern std::int32_t avolume;
extern std::int32_t aflags;
// Passes of the song completed since zindlePlay or zindleJump. A pass ends
// at the first tick that would read a row it has already read (rows played
// again by a pattern loop and ticks held by a pattern delay read nothing new)
// or the first row read after a row step or a jump passed the song's end;
// that tick is the first of the next pass.
extern std::int32_t mod_passes;
// 1 when the song stops where a pass ends, for a player that goes on to
// another module: the tick that would start the next pass reads no row,
// draws nothing and is not heard; it counts the pass, cuts the voices and
// clears mod_playing instead. zindleReset sets it to 0 (play on for ever).
extern std::int32_t mod_stop_at_pass_end;
extern Channel channels[kChannels];

extern const std::int32_t tab_tunes[16][36];
extern const std::int32_t arp_table[16];
extern const std::int32_t sin_table[32];
extern const std::int32_t ivloop_table[16];
extern const EffectRoutine effect_routines[16];
extern const EffectRoutine effecte_routines[16];

// Selects view 1 and opens the audio device; 1 on success, 0 on failure.
int zindleInit();
// Starts module at order position order, row 0 (under the audio lock).
void zindlePlay(Module* module, int order);
// Moves playback to order position order, row 0 (under the audio lock).
// Below 0 goes to the last position of the song.
void zindleJump(int order);
// Called by the mixer with the frames left in its buffer (>= 1); runs a tick
// when one is due and returns how many frames may be rendered before the next.
int zindlePulse(int frames);
// Cuts the voices and closes the audio device.
void zindleClose();
// Program-start state for everything the engine, the mixer and the views
// own: position, tempo, pending changes and channels all zero, nothing
// playing, no stop at the pass's end, the voices cut (silent, default pan gains) and the installed
// platform's views reset. Everything that wants a fresh engine calls it.
void zindleReset();

// One channel's work for one tick.
void update_channel(Channel* ch);
// One step of the invert loop (command EF) on a channel.
void invert_loop_step(Channel* ch);
// The voice step for a period: (7093789.2 / (2 period)) * 16384 in double,
// truncated and saturated to 32 bits, divided by 48000.
std::uint32_t period_to_rate(std::int32_t period);
