// The buttons of the module list: shuffle and the stereo separation. Each
// changes the setting at once and keeps it in the state as the last choice
// made with the buttons, written at once.
#pragma once

// Shuffle on or off (on: the module playing leads a new round); returns the
// setting now.
bool choicesToggleShuffle();
// The mixer's separation to its next step: 100, 75, 50, 25, 0, then 100
// again; from a value between two steps, the lower one. Returns the value now.
int choicesStepSeparation();
