// The buttons of the module list: shuffle and the stereo separation. Each
// changes the setting at once and keeps it in the state as the last choice
// made with the buttons, written at once.
#pragma once

// The separation's steps on the button, from full to mono and round again.
constexpr int kSeparationStep = 25;
// The step after percent: 100, 75, 50, 25, 0, then 100 again; from a value
// between two steps, the lower one.
int choicesNextSeparation(int percent);

// Shuffle on or off (on: the module playing leads a new round); returns the
// setting now.
bool choicesToggleShuffle();
// The mixer's separation to its next step; returns the value now.
int choicesStepSeparation();
