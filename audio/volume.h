// The hardware master volume, through the OSS mixer device "/dev/mixer".
#pragma once

// Sets left and right master volume to the low 8 bits of volume.
void setVolume(int volume);
// Returns the left master volume level (0..255); 0 when the device can't be used.
int getVolume();
