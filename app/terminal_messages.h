// Messages on a terminal that SDL draws in. Without a display SDL may draw
// the window as characters in the terminal (libcaca, aalib) and clear it at
// exit, taking every message written to standard error with it. While held,
// standard error goes to a scratch file; released, it goes back to the
// terminal and what was written meanwhile is written there again.
#pragma once

// From program start: holds standard error when it is a terminal and there
// is no X display, so that SDL may end up drawing there. Does nothing otherwise.
void messagesHoldForTerminal();
// Once SDL's video driver is known: a driver that draws in the terminal
// keeps the hold; any other releases it now.
void messagesKeepFor(const char* video_driver);
// Releases the hold (after SDL_Quit has given the terminal back): standard
// error is the terminal again, with everything written to it meanwhile.
void messagesRelease();
