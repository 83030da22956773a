// The buttons of the module list: shuffle, the stereo separation and repeat. Each
// changes the setting at once and keeps it in the state as the last choice
// made with the buttons, written at once.
#pragma once

#include "app/settings_values.h"

// Shuffle on or off (on: the module playing leads a new round); returns the
// setting now.
bool choicesToggleShuffle();
// The mixer's separation to its next step: 100, 75, 50, 25, 0, then 100
// again; from a value between two steps, the lower one. Returns the value now.
int choicesStepSeparation();
// Repeat to its next mode: list, one, none, then list again. Returns the mode now.
RepeatMode choicesStepRepeat();
