// --info: a module's title, format, song, samples and one-pass length.
#include "render/module_info.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include <xmp.h>

#include "audio/audio_mixer.h"
#include "player/engine.h"
#include "player/protracker_loader.h"
#include "render/renderer.h"

namespace {

constexpr std::uint64_t kMillisecondsPerSecond = 1000;

std::uint64_t milliseconds(std::uint64_t frames) {
    return (frames * kMillisecondsPerSecond + kOutputRate / 2) / kOutputRate;
}

// A JSON string in ASCII: quotes, backslashes, control bytes and bytes above
// 126 (read as ISO 8859-1) escaped.
std::string jsonString(const char* text, std::size_t size) {
    std::string out = "\"";
    for (std::size_t i = 0; i < size && text[i]; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string jsonString(const std::string& text) { return jsonString(text.c_str(), text.size()); }

// The length of the UTF-8 sequence at text (at most left bytes), or 0 when
// it is none: a stray continuation byte, a cut or overlong sequence, a
// surrogate, a code point past U+10FFFF.
std::size_t utf8Length(const unsigned char* text, std::size_t left) {
    const unsigned char lead = text[0];
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    if (left < length || text[1] < low || text[1] > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (text[i] < 0x80 || text[i] > 0xBF) return 0;
    return length;
}

// A file's path (or a message) as a JSON string: UTF-8 as it is, quotes,
// backslashes and control characters escaped, and each byte that is not
// UTF-8 as the lone surrogate \udcXX (XX the byte), as Python's
// surrogateescape reads it, so that the bytes can be had back.
std::string jsonPath(const std::string& text) {
    std::string out = "\"";
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = bytes[i];
        const std::size_t length = utf8Length(bytes + i, text.size() - i);
        char escaped[8] = "";
        if (c == '"' || c == '\\')
            std::snprintf(escaped, sizeof escaped, "\\%c", c);
        else if (c < 0x20 || c == 0x7F)
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        else if (length == 0)
            std::snprintf(escaped, sizeof escaped, "\\udc%02x", c);
        if (escaped[0]) {
            out += escaped;
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out + "\"";
}

// A name padded to width characters (not bytes: names may have accents).
std::string padded(const std::string& name, std::size_t width) {
    std::size_t chars = 0;
    for (unsigned char c : name) chars += (c & 0xC0) != 0x80;
    return name + std::string(width - std::min(chars, width), ' ');
}

// Frames as M:SS.mmm, rounded to the millisecond.
std::string clockText(std::uint64_t frames) {
    const std::uint64_t ms = milliseconds(frames);
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000));
    return text;
}

// A module's text (its title, a name) as shown: see moduleText.
std::string shownText(const std::string& field) { return moduleText(field.c_str(), field.size()); }

// A sample's loop columns of the text listing, or dashes without a loop.
void printLoop(std::FILE* out, const SampleFacts& s) {
    if (s.loop_length > 0)
        std::fprintf(out, "  %10d  %11d", s.loop_start, s.loop_length);
    else
        std::fprintf(out, "  %10s  %11s", "-", "-");
}

// The songs of a module for a person: a table of their starts and passes
// when there are several, then the positions each pass plays, with the time
// it first plays them, a few to the line.
void printSongsText(std::FILE* out, const SongFacts& facts, const std::vector<PassTimes>& songs) {
    constexpr int kPositionsPerLine = 5;
    constexpr const char* kIndent = "          ";  // under the first line's positions
    const bool several = songs.size() > 1;
    if (several) {
        std::fputs("Songs:\n    #  Start  One pass\n", out);
        for (std::size_t i = 0; i < songs.size(); ++i)
            std::fprintf(out, "  %3zu  %5d  %s (%llu frames)\n", i + 1, facts.song_starts[i],
                         clockText(songs[i].frames).c_str(), static_cast<unsigned long long>(songs[i].frames));
    }
    std::fputs(several ? "Positions:\n" : "Positions:", out);
    for (std::size_t i = 0; i < songs.size(); ++i) {
        if (several) std::fprintf(out, "  song %-3s", (std::to_string(i + 1) + ":").c_str());
        int on_line = 0;
        for (std::size_t p = 0; p < songs[i].position_frames.size(); ++p) {
            const std::int64_t frame = songs[i].position_frames[p];
            if (frame < 0) continue;
            if (on_line == kPositionsPerLine) {
                std::fprintf(out, "\n%s", kIndent);
                on_line = 0;
            }
            std::fprintf(out, " %3zu %s", p, clockText(static_cast<std::uint64_t>(frame)).c_str());
            ++on_line;
        }
        std::fputc('\n', out);
    }
}

// Prints what is known of a module (loaded from path; one pass lasts
// pass_frames frames at 48000 Hz; songs: one pass of each of its songs) for
// a person, ending with an empty line. damage: the warning on what is
// damaged but playable, or "".
void printInfoText(std::FILE* out, const std::string& path, const SongFacts& facts, const std::string& damage,
                   std::uint64_t pass_frames, const std::vector<PassTimes>& songs) {
    const std::uint64_t ms = milliseconds(pass_frames);
    const bool named = !facts.format.empty();
    std::fprintf(out, "File:      %s\n", path.c_str());
    std::fprintf(out, "Title:     %s\n", shownText(facts.title).c_str());
    if (named) {
        std::fprintf(out, "Format:    %s, %s (%s), %d channels, %d instruments, %d samples\n",
                     shownText(facts.format).c_str(), shownText(facts.format_name).c_str(),
                     shownText(facts.tracker).c_str(), facts.channels, facts.instruments, facts.samples);
        std::fprintf(out, "Engine:    libxmp %s%s\n", xmp_version,
                     facts.packed ? " (the file is packed: libxmp unpacked it)" : "");
        std::fprintf(out, "Song:      %d positions, %d patterns, %d song%s, ", facts.positions, facts.patterns,
                     facts.songs, facts.songs == 1 ? "" : "s");
    } else {
        std::fprintf(out, "Format:    %s, %d channels, %d samples\n", shownText(facts.tag).c_str(), facts.channels,
                     facts.sample_slots);
        std::fprintf(out, "Song:      %d positions, %d patterns, ", facts.positions, facts.patterns);
    }
    if (facts.restart >= 0)
        std::fprintf(out, "restart at position %d\n", facts.restart);
    else
        std::fputs("no restart position\n", out);
    std::fprintf(out, "One pass:  %llu:%02llu.%03llu (%llu frames)\n", static_cast<unsigned long long>(ms / 60000),
                 static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000),
                 static_cast<unsigned long long>(pass_frames));
    printSongsText(out, facts, songs);
    if (!damage.empty()) std::fprintf(out, "Warning:   %s\n", damage.c_str());
    if (named) {
        constexpr std::size_t kNameWidth = 32;
        std::fprintf(out, "Instruments:\n    #  %s  Samples  Volume\n", padded("Name", kNameWidth).c_str());
        for (const InstrumentFacts& i : facts.instrument_list) {
            std::fprintf(out, "  %3d  %s  %7d", i.number, padded(shownText(i.name), kNameWidth).c_str(), i.samples);
            if (i.volume >= 0)
                std::fprintf(out, "  %6d\n", i.volume);
            else
                std::fprintf(out, "  %6s\n", "-");
        }
        std::fprintf(out, "Samples:\n    #  %s  Length  Loop start  Loop length  Bits\n", padded("Name", kNameWidth).c_str());
        for (const SampleFacts& s : facts.sample_list) {
            std::fprintf(out, "  %3d  %s  %6d", s.number, padded(shownText(s.name), kNameWidth).c_str(), s.length);
            printLoop(out, s);
            std::fprintf(out, "  %4d\n", s.bits);
        }
    } else {
        std::fputs("Samples:\n   #  Name                    Length  Loop start  Loop length  Volume  Finetune\n", out);
        for (const SampleFacts& s : facts.sample_list) {
            std::fprintf(out, "  %2d  %s  %6d", s.number, padded(shownText(s.name), kSampleNameBytes).c_str(), s.length);
            printLoop(out, s);
            std::fprintf(out, "  %6d  %+8d\n", s.volume, s.finetune);
        }
    }
    std::fputc('\n', out);
}

// The same as one JSON object on one line. The path is UTF-8 (see
// jsonPath); the module's own text is ASCII: control bytes and bytes above
// 126 escaped, the latter read as ISO 8859-1. What the file lacks of a
// sample's data is "missing_bytes", for the module and each such sample. A
// module of a format by name has its engine, its instruments and its songs'
// count. Every module ends with its songs: each one's start position, one
// pass and the time that pass first plays each position (null: never).
void printInfoJson(std::FILE* out, const std::string& path, const SongFacts& facts, std::uint64_t pass_frames,
                   const std::vector<PassTimes>& songs) {
    const bool named = !facts.format.empty();
    std::fprintf(out, "{\"file\":%s,\"title\":%s,\"format\":{", jsonPath(path).c_str(), jsonString(facts.title).c_str());
    if (named)
        std::fprintf(out,
                     "\"name\":%s,\"type\":%s,\"tracker\":%s,\"engine\":\"libxmp\",\"packed\":%s,\"channels\":%d,"
                     "\"instruments\":%d,\"samples\":%d},",
                     jsonString(facts.format).c_str(), jsonString(facts.format_name).c_str(),
                     jsonString(facts.tracker).c_str(), facts.packed ? "true" : "false", facts.channels,
                     facts.instruments, facts.samples);
    else
        std::fprintf(out, "\"tag\":%s,\"channels\":%d,\"samples\":%d},", jsonString(facts.tag).c_str(), facts.channels,
                     facts.sample_slots);
    std::fprintf(out, "\"length\":%d,\"patterns\":%d,", facts.positions, facts.patterns);
    if (named) std::fprintf(out, "\"songs\":%d,", facts.songs);
    std::fputs("\"restart\":", out);
    if (facts.restart >= 0)
        std::fprintf(out, "%d", facts.restart);
    else
        std::fputs("null", out);
    std::fprintf(out, ",\"duration_ms\":%llu,\"duration_frames\":%llu,",
                 static_cast<unsigned long long>(milliseconds(pass_frames)), static_cast<unsigned long long>(pass_frames));
    if (facts.missing > 0) std::fprintf(out, "\"missing_bytes\":%d,", facts.missing);
    const char* separator = "";
    if (named) {
        std::fputs("\"instruments\":[", out);
        for (const InstrumentFacts& i : facts.instrument_list) {
            std::fprintf(out, "%s{\"number\":%d,\"name\":%s,\"samples\":%d,\"volume\":", separator, i.number,
                         jsonString(i.name).c_str(), i.samples);
            if (i.volume >= 0)
                std::fprintf(out, "%d}", i.volume);
            else
                std::fputs("null}", out);
            separator = ",";
        }
        std::fputs("],", out);
        separator = "";
    }
    std::fputs("\"samples\":[", out);
    for (const SampleFacts& s : facts.sample_list) {
        std::fprintf(out, "%s{\"number\":%d,\"name\":%s,\"length\":%d,\"loop_start\":%d,\"loop_length\":%d,", separator,
                     s.number, jsonString(s.name).c_str(), s.length, s.loop_start, s.loop_length);
        if (named)
            std::fprintf(out, "\"bits\":%d", s.bits);
        else
            std::fprintf(out, "\"volume\":%d,\"finetune\":%d", s.volume, s.finetune);
        if (s.missing > 0) std::fprintf(out, ",\"missing_bytes\":%d", s.missing);
        std::fputc('}', out);
        separator = ",";
    }
    std::fputs("],\"song_list\":[", out);
    for (std::size_t i = 0; i < songs.size(); ++i) {
        std::fprintf(out, "%s{\"number\":%zu,\"start\":%d,\"duration_ms\":%llu,\"duration_frames\":%llu,\"position_ms\":[",
                     i > 0 ? "," : "", i + 1, facts.song_starts[i], static_cast<unsigned long long>(milliseconds(songs[i].frames)),
                     static_cast<unsigned long long>(songs[i].frames));
        for (std::size_t p = 0; p < songs[i].position_frames.size(); ++p) {
            const std::int64_t frame = songs[i].position_frames[p];
            if (p > 0) std::fputc(',', out);
            if (frame < 0)
                std::fputs("null", out);
            else
                std::fprintf(out, "%llu", static_cast<unsigned long long>(milliseconds(static_cast<std::uint64_t>(frame))));
        }
        std::fputs("]}", out);
    }
    std::fputs("]}\n", out);
}

// The same as the module list needs it, on one line: the format, the
// channels and the one-pass length in milliseconds, then a field per song,
// START/PASS_FRAMES/F0,F1,... (Fi: the frame at which its pass first plays
// position i, "-" for never), tab-separated. The format is text as --info
// prints it, so no tab or line feed is in it.
void printProbeLine(std::FILE* out, const SongFacts& facts, std::uint64_t pass_frames,
                    const std::vector<PassTimes>& songs) {
    const std::string& format = facts.format.empty() ? facts.tag : facts.format;
    std::fprintf(out, "%s\t%d\t%llu", shownText(format).c_str(), facts.channels,
                 static_cast<unsigned long long>(milliseconds(pass_frames)));
    for (std::size_t i = 0; i < songs.size(); ++i) {
        std::fprintf(out, "\t%d/%llu/", facts.song_starts[i], static_cast<unsigned long long>(songs[i].frames));
        for (std::size_t p = 0; p < songs[i].position_frames.size(); ++p) {
            const std::int64_t frame = songs[i].position_frames[p];
            if (p > 0) std::fputc(',', out);
            if (frame < 0)
                std::fputc('-', out);
            else
                std::fprintf(out, "%lld", static_cast<long long>(frame));
        }
    }
    std::fputc('\n', out);
}

}  // namespace

std::string moduleText(const char* text, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < size && text[i]; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            out += '.';
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int printInfo(const std::vector<WalkedFile>& files, InfoForm form) {
    int status = 0;
    std::size_t told = 0;
    for (const WalkedFile& file : files) {
        const std::string& path = file.path;
        LoadRefusal why;
        if (!file.folder.empty() && !recognisedAsModule(path, why)) {
            reportSkipped(path, why);
            continue;
        }
        LoadedSong* song = songLoad(path.c_str(), &why);
        if (!song) {
            loadFailed(path, true, why);
            if (form == InfoForm::kJson)
                std::printf("{\"file\":%s,\"error\":%s}\n", jsonPath(path).c_str(), jsonPath(refusalText(why)).c_str());
            else if (form == InfoForm::kProbeLine)
                std::putchar('\n');
            status = 1;
            continue;
        }
        // What the file said, before the ticks can change it.
        const SongFacts& facts = songFacts(song);
        const std::string damage = songDamageWarning(song);
        // One scan per song; the first song's, from position 0, is the module's one pass.
        std::vector<PassTimes> songs;
        for (int start : facts.song_starts) songs.push_back(onePassTimes(song, start));
        const std::uint64_t frames =
            !songs.empty() && facts.song_starts.front() == 0 ? songs.front().frames : onePassFrames(song);
        switch (form) {
        case InfoForm::kText: printInfoText(stdout, path, facts, damage, frames, songs); break;
        case InfoForm::kJson: printInfoJson(stdout, path, facts, frames, songs); break;
        case InfoForm::kProbeLine: printProbeLine(stdout, facts, frames, songs); break;
        }
        songFree(song);
        ++told;
    }
    // Nothing at all to tell of (every file skipped) is a failure too.
    return told == 0 ? 1 : status;
}
