// libxmp behind the engine table (kXmpEngine, player/engine.h): every module
// our loader refuses and libxmp loads plays here, mixed by libxmp at 48000 Hz,
// 16-bit stereo, with the defaults its player starts with (linear
// interpolation, its lowpass filter) and a stereo mix of 70% (kXmpStereoMix)
// times the player's separation setting (audioSeparation(), in percent). The song
// playing is touched only on the audio thread or under the audio lock; every
// song has a libxmp context of its own, so loading and freeing one that
// doesn't play need no lock. One xmp_play_frame is one tick; the frames of a
// tick not yet asked for are carried into the next call.
#pragma once

// View 1's text for a note of libxmp's (an event's note: 0 none, 1.. the
// keys, or a key off, cut or fade): "C-4" (octaves as FastTracker 2 numbers
// them: libxmp's note 61 is C-4), "...", "off", "cut", "fad", or "???" for a
// value that names none. out holds 4 bytes.
void xmpNoteText(int note, char* out);
// View 1's text for an effect of libxmp's (type, parameter): the familiar
// letter (FastTracker 2's, which libxmp keeps as codes 0..35, and a few
// others that mean the same) and two hex digits of the parameter ("A0F",
// "F06"), "..." for none, or where no letter fits libxmp's code in two
// lowercase hex digits before the parameter ("ac12"). out holds 5 bytes.
void xmpEffectText(int type, int param, char* out);
