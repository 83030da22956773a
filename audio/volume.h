// The master volume: the OSS mixer's ("/dev/mixer") when that device opens,
// otherwise the mixer's software master volume (0..100, 100 at start).
#pragma once

// The master volume as last read or set (the OSS mixer's 0..255 level, or the
// software volume 0..100), shown in view 1 and stepped by the player's keys.
extern int base_volume;

// Sets left and right master volume to the low 8 bits of volume; without the
// device, sets the software volume to them (at most 100).
void setVolume(int volume);
// Returns the left master volume level (0..255), 0 when the device refuses
// the request; without the device, the software volume (0..100).
int getVolume();
