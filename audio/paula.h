// The Amiga's own sound for the voices of our engine: each voice as the
// staircase Paula makes, every step band-limited at its exact time, then the
// filters of the Amiga 500's or the Amiga 1200's audio circuit, the "LED"
// low-pass among them. A second way to make the voices' frames, beside
// audioMixVoices; off, the default, leaves that mixer alone.
#pragma once

#include <cstdint>

enum class AmigaModel : std::uint8_t {
    kOff,    // our own mixer, untouched
    kA500,   // RC low-pass 360 ohm / 0.1 uF, RC high-pass 1390 ohm / 22.33 uF
    kA1200,  // RC high-pass 1360 ohm / 22 uF
};

// The words of the command line and the settings file: "off", "a500",
// "a1200". The parser takes those words alone.
const char* amigaModelWord(AmigaModel model);
bool parseAmigaModel(const char* word, AmigaModel& model);

// Chooses the model; off at program start. Builds the step tables the first
// time a model other than off is chosen: call it from the main thread, with
// no device running or under the audio lock.
void paulaSetModel(AmigaModel model);
AmigaModel paulaModel();
// A module's start: the LED filter off, the filters and the steps in flight
// at rest. Call it on the audio thread or under the audio lock.
void paulaReset();
// The LED filter on or off (the module's E0x); heard in amiga mode only.
void paulaSetLed(bool on);
bool paulaLed();
// The voices' next frames (at most kChunkFrames) as s16le stereo frames, the
// Amiga's way: stepping, loops, gains, separation and the 16-bit clip as
// audioMixVoices has them.
void paulaMixVoices(std::uint8_t* out, int frames);
