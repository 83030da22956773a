// The stereo separation written as text, 0 to 100 percent, as the player's
// options, its settings file and its state, and the renderer's options read
// it. Each of them has always taken its own shape of text around the digits,
// and each keeps it.
#pragma once

#include <string_view>

enum class SeparationText {
    kDigits,       // decimal digits alone, as many as there are (zindle --separation)
    kShortDigits,  // one to three decimal digits (a settings file's or the state's line)
    kNumber,       // as strtol reads a number: leading white space and a sign
                   // allowed, "-0" being 0 (zindle-render --separation)
};

// The percentage text holds in the shape form; false when it holds none
// from 0 to kFullSeparation.
bool parseSeparation(std::string_view text, SeparationText form, int& percent);
