// --info: a module's title, format, song, samples and one-pass length.
#include "render/module_info.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "audio/audio_mixer.h"
#include "player/protracker_loader.h"
#include "render/renderer.h"

namespace {

constexpr std::uint64_t kMillisecondsPerSecond = 1000;

// A sample is listed when it has data or a name: empty samples' names often
// carry the composer's message.
bool listed(const Sample& sample) { return sample.length > 0 || sample.name[0] != 0; }

// Finetune as a musician reads it: 0..7 up, 8..15 as -8..-1.
int signedFinetune(int finetune) { return finetune < 8 ? finetune : finetune - 16; }

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

// The kind of MOD file a module was read from.
struct ModuleFormat {
    std::string tag;  // the four tag bytes as in the file
    int channels;
    int samples;      // sample slots in the file's header: 31 or 15
};

// The format of module, loaded from the file at path.
ModuleFormat moduleFormat(const Module& module, const std::string&) {
    return ModuleFormat{module.tag, module.channels, module.num_samples};
}

// Prints what is known of module (loaded from path; one pass lasts
// pass_frames frames at 48000 Hz) for a person, ending with an empty line.
void printInfoText(std::FILE* out, const std::string& path, const Module& module, std::uint64_t pass_frames) {
    const ModuleFormat format = moduleFormat(module, path);
    const std::uint64_t ms = milliseconds(pass_frames);
    std::fprintf(out, "File:      %s\n", path.c_str());
    std::fprintf(out, "Title:     %s\n", moduleText(module.name, sizeof module.name).c_str());
    std::fprintf(out, "Format:    %s, %d channels, %d samples\n", moduleText(format.tag.c_str(), format.tag.size()).c_str(),
                 format.channels, format.samples);
    std::fprintf(out, "Song:      %d positions, %d patterns, ", module.song_length, module.num_patterns);
    if (module.restart_enabled)
        std::fprintf(out, "restart at position %d\n", module.restart_pos);
    else
        std::fputs("no restart position\n", out);
    std::fprintf(out, "One pass:  %llu:%02llu.%03llu (%llu frames)\n", static_cast<unsigned long long>(ms / 60000),
                 static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000),
                 static_cast<unsigned long long>(pass_frames));
    char short_data[kShortDataTextBytes];
    zindleDescribeShortData(module, short_data, sizeof short_data);
    if (short_data[0]) std::fprintf(out, "Warning:   %s, played as silence\n", short_data);
    std::fputs("Samples:\n   #  Name                    Length  Loop start  Loop length  Volume  Finetune\n", out);
    for (int i = 0; i < module.num_samples; ++i) {
        const Sample& s = module.samples[i];
        if (!listed(s)) continue;
        const std::string name = moduleText(s.name, sizeof s.name);
        // Padded by characters, not bytes, for names with accents.
        std::size_t width = 0;
        for (unsigned char c : name) width += (c & 0xC0) != 0x80;
        std::fprintf(out, "  %2d  %s%*s  %6d", i + 1, name.c_str(), static_cast<int>(kSampleNameBytes - std::min<std::size_t>(width, kSampleNameBytes)), "",
                     s.length);
        if (s.loop_length > 0)
            std::fprintf(out, "  %10d  %11d", s.loop_start, s.loop_length);
        else
            std::fprintf(out, "  %10s  %11s", "-", "-");
        std::fprintf(out, "  %6d  %+8d\n", s.volume, signedFinetune(s.finetune));
    }
    std::fputc('\n', out);
}

// The same as one JSON object on one line. The path is UTF-8 (see
// jsonPath); the module's own text is ASCII: control bytes and bytes above
// 126 escaped, the latter read as ISO 8859-1. What the file lacks of a
// sample's data is "missing_bytes", for the module and each such sample.
void printInfoJson(std::FILE* out, const std::string& path, const Module& module, std::uint64_t pass_frames) {
    const ModuleFormat format = moduleFormat(module, path);
    std::fprintf(out, "{\"file\":%s,\"title\":%s,\"format\":{\"tag\":%s,\"channels\":%d,\"samples\":%d},",
                 jsonPath(path).c_str(), jsonString(module.name, sizeof module.name).c_str(),
                 jsonString(format.tag).c_str(), format.channels, format.samples);
    std::fprintf(out, "\"length\":%d,\"patterns\":%d,\"restart\":", module.song_length, module.num_patterns);
    if (module.restart_enabled)
        std::fprintf(out, "%d", module.restart_pos);
    else
        std::fputs("null", out);
    std::fprintf(out, ",\"duration_ms\":%llu,\"duration_frames\":%llu,",
                 static_cast<unsigned long long>(milliseconds(pass_frames)), static_cast<unsigned long long>(pass_frames));
    if (const int missing = zindleMissingSampleBytes(module)) std::fprintf(out, "\"missing_bytes\":%d,", missing);
    std::fputs("\"samples\":[", out);
    const char* separator = "";
    for (int i = 0; i < module.num_samples; ++i) {
        const Sample& s = module.samples[i];
        if (!listed(s)) continue;
        std::fprintf(out,
                     "%s{\"number\":%d,\"name\":%s,\"length\":%d,\"loop_start\":%d,\"loop_length\":%d,\"volume\":%d,"
                     "\"finetune\":%d",
                     separator, i + 1, jsonString(s.name, sizeof s.name).c_str(), s.length, s.loop_start, s.loop_length,
                     s.volume, signedFinetune(s.finetune));
        if (s.missing > 0) std::fprintf(out, ",\"missing_bytes\":%d", s.missing);
        std::fputc('}', out);
        separator = ",";
    }
    std::fputs("]}\n", out);
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

int printInfo(const std::vector<WalkedFile>& files, bool json) {
    int status = 0;
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
            if (json) std::printf("{\"file\":%s,\"error\":%s}\n", jsonPath(path).c_str(), jsonPath(refusalText(why)).c_str());
            status = 1;
            continue;
        }
        // What the file said, before the ticks can change it.
        const Module as_loaded = *static_cast<const Module*>(songHandle(song));
        const std::uint64_t frames = onePassFrames(song);
        if (json)
            printInfoJson(stdout, path, as_loaded, frames);
        else
            printInfoText(stdout, path, as_loaded, frames);
        songFree(song);
    }
    return status;
}
