// Names from outside as the font draws them: see shown_text.h.
#include "player/shown_text.h"

#include <array>
#include <cstdint>

namespace {

// U+00C0..U+00FF: the Latin-1 letters as base letters; the two signs among
// them (U+00D7 multiplication, U+00F7 division) as '?'.
constexpr std::array<const char*, 64> kLatin1Letters = {
    "A", "A", "A", "A", "A", "A", "AE", "C",  // ÀÁÂÃÄÅÆÇ
    "E", "E", "E", "E", "I", "I", "I",  "I",  // ÈÉÊËÌÍÎÏ
    "D", "N", "O", "O", "O", "O", "O",  "?",  // ÐÑÒÓÔÕÖ×
    "O", "U", "U", "U", "U", "Y", "Th", "ss", // ØÙÚÛÜÝÞß
    "a", "a", "a", "a", "a", "a", "ae", "c",  // àáâãäåæç
    "e", "e", "e", "e", "i", "i", "i",  "i",  // èéêëìíîï
    "d", "n", "o", "o", "o", "o", "o",  "?",  // ðñòóôõö÷
    "o", "u", "u", "u", "u", "y", "th", "y",  // øùúûüýþÿ
};

// The few letters of Latin Extended-A that ISO 8859-15 and Windows-1252 add.
struct ExtraLetter {
    char32_t code;
    const char* shown;
};
constexpr ExtraLetter kExtraLetters[] = {
    {0x152, "OE"}, {0x153, "oe"}, {0x160, "S"}, {0x161, "s"}, {0x178, "Y"}, {0x17D, "Z"}, {0x17E, "z"},
};

// What the font draws for one character.
const char* shownOf(char32_t code, char (&one)[2]) {
    if (code >= 0x20 && code < 0x7F) {
        one[0] = static_cast<char>(code);
        return one;
    }
    if (code < 0xA1) return " ";  // controls and the no-break space
    if (code >= 0xC0 && code <= 0xFF) return kLatin1Letters[code - 0xC0];
    for (const ExtraLetter& letter : kExtraLetters)
        if (letter.code == code) return letter.shown;
    return "?";
}

// Writes characters into a buffer of size bytes, up to its width.
class Writer {
public:
    Writer(char* out, std::size_t size) : out_(out), room_(size - 1) { out_[0] = '\0'; }
    bool full() const { return used_ == room_; }
    void put(char32_t code) {
        char one[2] = {};
        for (const char* p = shownOf(code, one); *p != '\0' && !full(); ++p) out_[used_++] = *p;
        out_[used_] = '\0';
    }
    std::size_t used() const { return used_; }

private:
    char* out_;
    std::size_t room_;
    std::size_t used_ = 0;
};

// The range a UTF-8 sequence's second byte lies in after lead, and the
// bytes of the whole sequence; 0 bytes: lead starts none.
struct Lead {
    std::uint8_t low, high;
    int bytes;
};
constexpr Lead leadOf(std::uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return {0x80, 0xBF, 2};
    if (lead == 0xE0) return {0xA0, 0xBF, 3};  // no overlong form
    if (lead == 0xED) return {0x80, 0x9F, 3};  // no surrogate
    if (lead >= 0xE1 && lead <= 0xEF) return {0x80, 0xBF, 3};
    if (lead == 0xF0) return {0x90, 0xBF, 4};  // no overlong form
    if (lead >= 0xF1 && lead <= 0xF3) return {0x80, 0xBF, 4};
    if (lead == 0xF4) return {0x80, 0x8F, 4};  // nothing past U+10FFFF
    return {0, 0, 0};
}

template <typename Sink>
void decodeUtf8(const char* text, std::size_t length, Sink&& sink) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (i < length && p[i] != 0 && sink.wants()) {
        const std::uint8_t lead = p[i];
        if (lead < 0x80) {
            sink.put(lead);
            ++i;
            continue;
        }
        const Lead shape = leadOf(lead);
        char32_t code = lead & (0x7F >> shape.bytes);
        int taken = 1;
        for (; taken < shape.bytes && i + static_cast<std::size_t>(taken) < length; ++taken) {
            const std::uint8_t next = p[i + static_cast<std::size_t>(taken)];
            const std::uint8_t low = taken == 1 ? shape.low : 0x80;
            const std::uint8_t high = taken == 1 ? shape.high : 0xBF;
            if (next < low || next > high) break;
            code = code << 6 | (next & 0x3Fu);
        }
        // A whole sequence is its character; a cut one, or a byte that starts
        // none, one '?' (the bytes that don't fit are looked at anew).
        sink.put(shape.bytes != 0 && taken == shape.bytes ? code : U'\uFFFD');
        i += static_cast<std::size_t>(taken);
    }
}

struct WriterSink {
    Writer& writer;
    bool wants() const { return !writer.full(); }
    void put(char32_t code) { writer.put(code); }
};

struct StringSink {
    std::string& out;
    bool wants() const { return true; }
    void put(char32_t code) {
        char one[2] = {};
        out += shownOf(code, one);
    }
};

}  // namespace

std::size_t shownFromLatin1(const char* text, std::size_t length, char* out, std::size_t size) {
    Writer writer(out, size);
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t i = 0; i < length && p[i] != 0 && !writer.full(); ++i) writer.put(p[i]);
    return writer.used();
}

std::size_t shownFromUtf8(const char* text, std::size_t length, char* out, std::size_t size) {
    Writer writer(out, size);
    decodeUtf8(text, length, WriterSink{writer});
    return writer.used();
}

std::string shownFromUtf8(std::string_view text) {
    std::string out;
    decodeUtf8(text.data(), text.size(), StringSink{out});
    return out;
}

std::size_t shownFileTitle(std::string_view path, char* out, std::size_t size) {
    const std::size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return shownFromUtf8(name.data(), name.size(), out, size);
}

bool blankTitle(const char* field, std::size_t size) {
    for (std::size_t i = 0; i < size && field[i] != '\0'; ++i)
        if (field[i] != ' ') return false;
    return true;
}
