// Names from outside as the font draws them: module titles (ISO 8859-1
// bytes) and file names (UTF-8 bytes) turned into printable ASCII, one
// character cell per character. A letter with an accent is drawn as its base
// letter (Ü U, é e, ñ n, ç c, ø o, Å A, Ÿ Y, š s, ž z), a few as two (ß ss,
// æ ae, Æ AE, œ oe, Œ OE, þ th, Þ Th); every other character that isn't
// ASCII is one '?'. A control character (U+0001..U+001F, U+007F..U+009F) is
// one space, the blank cell it always drew; so is a no-break space (U+00A0).
// Ill-formed UTF-8 is one '?' for each maximal subpart, as Unicode
// recommends (and browsers do): a sequence cut short is one '?', a stray byte
// that can't start one (80..BF, C0, C1, F5..FF) is one '?' each.
//
// Written into fixed buffers, without allocating: the audio thread may
// convert. What a text has after a zero byte is not read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Writes the ISO 8859-1 text's length bytes (up to a zero byte) as the font
// draws them to out: at most size - 1 characters, zero-terminated (size >= 1),
// cut where the width runs out, also in the middle of an "ss". Returns the
// characters written.
std::size_t shownFromLatin1(const char* text, std::size_t length, char* out, std::size_t size);

// The same for UTF-8 text.
std::size_t shownFromUtf8(const char* text, std::size_t length, char* out, std::size_t size);

// All of the UTF-8 text as the font draws it (the module list's names, cut
// after they are converted).
std::string shownFromUtf8(std::string_view text);

// The name of the file at path (UTF-8) without its folders and its extension
// (the last dot and what follows it, but for a name's first character: a
// hidden file keeps its name) as the font draws it, into out as above.
std::size_t shownFileTitle(std::string_view path, char* out, std::size_t size);

// Whether a title field of size bytes (up to a zero byte) is empty or
// spaces only: the module's file name is shown in its place then.
bool blankTitle(const char* field, std::size_t size);
