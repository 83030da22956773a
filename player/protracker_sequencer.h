// The replay engine: the tick clock and song position, the per-channel note
// handling and every effect command. Ticks run on the audio thread, inside
// mixaudio; the player interface below is called from the main thread.
#pragma once

#include <cstdint>

#include "player/protracker_loader.h"

// Notes in the period tables: three octaves, C-1 to B-3.
constexpr int kNotes = 36;
// Periods of three octaves (C-1..B-3) for each finetune; rows 8..15 hold -8..-1.
inline constexpr std::int32_t tab_tunes[16][kNotes] = {
    {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339, 320,
     302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113},
    {850, 802, 757, 715, 674, 637, 601, 567, 535, 505, 477, 450, 425, 401, 379, 357, 337, 318,
     300, 284, 268, 253, 239, 225, 213, 201, 189, 179, 169, 159, 150, 142, 134, 126, 119, 113},
    {844, 796, 752, 709, 670, 632, 597, 563, 532, 502, 474, 447, 422, 398, 376, 355, 335, 316,
     298, 282, 266, 251, 237, 224, 211, 199, 188, 177, 167, 158, 149, 141, 133, 125, 118, 112},
    {838, 791, 746, 704, 665, 628, 592, 559, 528, 498, 470, 444, 419, 395, 373, 352, 332, 314,
     296, 280, 264, 249, 235, 222, 209, 198, 187, 176, 166, 157, 148, 140, 132, 125, 118, 111},
    {832, 785, 741, 699, 660, 623, 588, 555, 524, 495, 467, 441, 416, 392, 370, 350, 330, 312,
     294, 278, 262, 247, 233, 220, 208, 196, 185, 175, 165, 156, 147, 139, 131, 124, 117, 110},
    {826, 779, 736, 694, 655, 619, 584, 551, 520, 491, 463, 437, 413, 390, 368, 347, 328, 309,
     292, 276, 260, 245, 232, 219, 206, 195, 184, 174, 164, 155, 146, 138, 130, 123, 116, 109},
    {820, 774, 730, 689, 651, 614, 580, 547, 516, 487, 460, 434, 410, 387, 365, 345, 325, 307,
     290, 274, 258, 244, 230, 217, 205, 193, 183, 172, 163, 154, 145, 137, 129, 122, 115, 109},
    {814, 768, 725, 684, 646, 610, 575, 543, 513, 484, 457, 431, 407, 384, 363, 342, 323, 305,
     288, 272, 256, 242, 228, 216, 204, 192, 181, 171, 161, 152, 144, 136, 128, 121, 114, 108},
    {907, 856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339,
     320, 302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120},
    {900, 850, 802, 757, 715, 675, 636, 601, 567, 535, 505, 477, 450, 425, 401, 379, 357, 337,
     318, 300, 284, 268, 253, 238, 225, 212, 200, 189, 179, 169, 159, 150, 142, 134, 126, 119},
    {894, 844, 796, 752, 709, 670, 632, 597, 563, 532, 502, 474, 447, 422, 398, 376, 355, 335,
     316, 298, 282, 266, 251, 237, 223, 211, 199, 188, 177, 167, 158, 149, 141, 133, 125, 118},
    {887, 838, 791, 746, 704, 665, 628, 592, 559, 528, 498, 470, 444, 419, 395, 373, 352, 332,
     314, 296, 280, 264, 249, 235, 222, 209, 198, 187, 176, 166, 157, 148, 140, 132, 125, 118},
    {881, 832, 785, 741, 699, 660, 623, 588, 555, 524, 494, 467, 441, 416, 392, 370, 350, 330,
     312, 294, 278, 262, 247, 233, 220, 208, 196, 185, 175, 165, 156, 147, 139, 131, 123, 117},
    {875, 826, 779, 736, 694, 655, 619, 584, 551, 520, 491, 463, 437, 413, 390, 368, 347, 328,
     309, 292, 276, 260, 245, 232, 219, 206, 195, 184, 174, 164, 155, 146, 138, 130, 123, 116},
    {868, 820, 774, 730, 689, 651, 614, 580, 547, 516, 487, 460, 434, 410, 387, 365, 345, 325,
     307, 290, 274, 258, 244, 230, 217, 205, 193, 183, 172, 163, 154, 145, 137, 129, 122, 115},
    {862, 814, 768, 725, 684, 646, 610, 575, 543, 513, 484, 457, 431, 407, 384, 363, 342, 323,
     305, 288, 272, 256, 242, 228, 216, 203, 192, 181, 171, 161, 152, 144, 136, 128, 121, 114},
};

// Replay state of one channel; channel i drives mixer voice i.
struct Channel {
    std::int32_t index;          // channel and voice number 0..kMaxChannels-1
    std::uint32_t rate;          // step last sent to the voice (18.14)
    std::int32_t period;         // current period, moved by the portamentos
    std::int32_t target_period;  // last note read, at the sample's finetune
    std::int32_t sample_offset;  // byte offset of the next triggered note
    std::int32_t loop_row;       // pattern loop start row
    std::int32_t loop_count;     // pattern loop repeats left
    std::int32_t loop_state;     // a LoopState
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

// Where a channel is in a pattern loop (command E6), Channel::loop_state.
enum LoopState : std::int32_t {
    kLoopIdle = 0,    // no loop under way
    kLoopMarked = 1,  // the start row is marked (E60)
    kLoopRunning = 2, // repeating
};

using EffectRoutine = void (*)(Channel*);

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
// The period and volume the channel being updated plays at this tick: the
// effects move them from the channel's own, and the voice hears them.
extern std::int32_t tick_period;
extern std::int32_t tick_volume;
// Passes of the song completed since zindlePlay or zindleJump. A pass ends
// at the first tick that would read a row it has already read (rows played
// again by a pattern loop and ticks held by a pattern delay read nothing new)
// or the first row read after a row step or a jump passed the song's end;
// that tick is the first of the next pass.
extern std::int32_t mod_passes;
// 1 when the song stops where a pass ends, for a player that goes on to
// another module: the tick that would start the next pass reads no row,
// draws nothing and is not heard; it counts the pass, cuts the voices and
// clears mod_playing instead. zindleResetEngine sets it to 0 (play on for ever).
extern std::int32_t mod_stop_at_pass_end;
// Channels 0..source->channels-1 play; the rest stay as zindlePlay left them.
extern Channel channels[kMaxChannels];

// The row effects 0..F, by command.
extern const EffectRoutine effect_routines[16];

// Opens the audio device; 1 on success, 0 on failure.
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
// The engine's own state back at its start: position, tempo, pending
// changes and channel memories all zero, nothing playing, no stop at the
// pass's end, the voices cut (silent, default pan gains). A player going on
// to another module calls it; the views and the volume stay as they are.
void zindleResetEngine();

// The Amiga's PAL clock: a period p plays kPaulaClock / (2 p) sample bytes a second.
constexpr double kPaulaClock = 7093789.2;
// The voice step for a period: (kPaulaClock / (2 period)) * 16384 in double,
// truncated and saturated to 32 bits, divided by 48000.
std::uint32_t periodToRate(std::int32_t period);
