// The main program: start-up, the event loop with its keys, frame pacing
// and shutdown.
#pragma once

// The whole program; returns its exit status.
int zindleMain(int argc, char** argv);
