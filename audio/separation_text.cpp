#include "audio/separation_text.h"

#include <algorithm>
#include <cctype>

#include "audio/audio_mixer.h"

namespace {

// The most digits a settings or state line holds: "100".
constexpr std::size_t kShortDigits = 3;

}  // namespace

bool parseSeparation(std::string_view text, SeparationText form, int& percent) {
    std::size_t at = 0;
    bool negative = false;
    if (form == SeparationText::kNumber) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    }
    const std::size_t first_digit = at;
    int value = 0;
    // Held just past the top, so that no run of digits overflows.
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min(value * 10 + (text[at] - '0'), kFullSeparation + 1);
    const std::size_t digits = at - first_digit;
    if (digits == 0 || at != text.size() || value > kFullSeparation || (negative && value != 0)) return false;
    if (form == SeparationText::kShortDigits && digits > kShortDigits) return false;
    percent = value;
    return true;
}
