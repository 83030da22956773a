// The display's light, switched off while the screen is off and back on
// after, through the kernel's files where the board has them: each
// backlight's bl_power and brightness (/sys/class/backlight/*/), or else the
// framebuffer's blank (/sys/class/graphics/fb0/blank). ZINDLE_SYSFS, when
// set, stands for /sys (a folder of such files to try it on).
#pragma once

// Switches every light it may write off, keeping what each said to give it
// back. Returns whether one was switched off (false: the screen is only
// black). Nothing when they are off already.
bool backlightOff();
// Gives each light switched off what it said before; nothing when none is
// off. Safe to call on every way out.
void backlightRestore();
