// Set-ups shared by the Google Benchmark suite and the callgrind drivers: a
// real SDL screen (dummy video driver) and background, voices set directly
// through the mixer operations, and modules written to temporary files.
#pragma once

#include <cstdint>
#include <string>

#include "player/now_playing.h"

#include "player/protracker_loader.h"
#include "tools/modwriter.h"

namespace benchfix {

constexpr int kBufferBytes = 4096;  // one device buffer: 1024 frames
constexpr int kLoopBytes = 4096;    // sample length of the looping voices
constexpr std::uint32_t kOneShotBytes = 131070;
constexpr int kVoices = 4;          // the voices the mixer measurements drive, as a 4-channel song

// SDL with the dummy video driver (unless SDL_VIDEODRIVER says otherwise),
// `screen` at 320x240x16 and a `background` carrying the two title lines.
// False, with a message, when SDL can't provide them.
bool openScreen();
void closeScreen();

// Writes song to a new temporary file and returns its path; empty on failure.
std::string writeTemp(const modwriter::Song& song);

// Engine idle (mod_playing 0, so mixaudio runs no tick) and the four voices
// playing looping samples at four different pitches and volumes.
void setLoopingVoices();
// The same with one-shot samples of kOneShotBytes, started from the beginning.
void setOneShotVoices();
// True when a one-shot voice could reach its end within the next `frames`.
bool oneShotNearEnd(int frames);

// The position mirrors of a module whose pattern view is full: row 32 of the
// pattern at order 5, the default tempo, and a volume of 40 in the header.
void showFullPattern(Module* module);

// Every sample meter at its full height of 27.
void fillMeters();

// What the views are told of module, and the voices its scopes show (the
// first kChannelsShown), as the player takes them.
NowPlaying described(const Module* module);
void scopeVoices(const Module* module, ScopeVoice* voices);

}  // namespace benchfix
