// The MOD loader: reads the whole file front to back into a Module record,
// its decoded pattern blocks and one block of sample data. Every value taken
// from the file is clamped where it is read; bytes past the end of a short
// file read as zero, so a truncated file still loads.
#include "player/protracker_loader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "audio/audio_mixer.h"
#include "platform/platform.h"
#include "player/protracker_sequencer.h"

std::int8_t* file_sample_data = nullptr;

namespace {

constexpr long kTagOffset = 1080;
// Time for a sequencer step already begun on the audio thread to finish.
constexpr std::uint32_t kStepFinishMs = 10;

// A volume slide moves by one nibble: the highest meaningful parameter is F0.
constexpr int kMaxSlideParam = 0xF0;

constexpr const char* kTags[] = {"M.K.", "M!K!", "M&K!", "N.T.", "FLT4", "4CHN"};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// One byte, 0 past the end of the file or on a read error.
int readByte(std::FILE* file) {
    const int ch = std::fgetc(file);
    return ch == EOF ? 0 : ch;
}

// Two bytes, the first the high one: 0..65535.
int get_word_bigendian(std::FILE* file) {
    const int high = readByte(file);
    return (high << 8) | readByte(file);
}

// Reads size bytes into dest, zero-filling what the file doesn't have.
void readBlock(std::FILE* file, void* dest, std::size_t size) {
    const std::size_t got = std::fread(dest, 1, size, file);
    if (got < size) std::memset(static_cast<char*>(dest) + got, 0, size - got);
}

bool hasKnownTag(std::FILE* file) {
    char tag[4] = {};
    if (std::fseek(file, kTagOffset, SEEK_SET) != 0) return false;
    readBlock(file, tag, sizeof tag);
    return std::any_of(std::begin(kTags), std::end(kTags),
                       [&](const char* known) { return std::memcmp(tag, known, 4) == 0; });
}

void readSampleHeader(std::FILE* file, Sample& sample) {
    readBlock(file, sample.name, 22);
    sample.length = get_word_bigendian(file) * 2;
    sample.finetune = readByte(file) & 15;
    sample.volume = std::min(readByte(file), kMaxVolume);
    sample.loop_start = get_word_bigendian(file) * 2;
    sample.loop_length = get_word_bigendian(file) * 2;
    if (sample.loop_length < 4) {
        sample.loop_start = 0;
        sample.loop_length = 0;
    }
}

PatternCell decodeCell(const std::uint8_t b[4], int song_length) {
    PatternCell cell;
    int period = ((b[0] & 15) << 8) | b[1];
    if (period != 0) period = std::clamp(period, kMinPeriod, kMaxPeriod);
    cell.period = period;
    cell.sample = std::min((b[0] & 0xF0) | (b[2] >> 4), kNumSamples);
    cell.effect = b[2] & 15;
    int param = b[3];
    switch (cell.effect) {
    case kEffectTonePortaVolSlide:
    case kEffectVibratoVolSlide:
    case kEffectVolumeSlide: param = std::min(param, kMaxSlideParam); break;
    case kEffectPositionJump: param = std::min(param, song_length); break;
    case kEffectSetVolume: param = std::min(param, kMaxVolume); break;
    default: break;
    }
    cell.param = param;
    return cell;
}

void releasePatterns(Module* module) {
    for (int p = 0; p < module->num_patterns; ++p) {
        delete[] module->patterns[p];
        module->patterns[p] = nullptr;
    }
}

}  // namespace

Module* zindleLoad(const char* path) {
    std::unique_ptr<Module> module(new (std::nothrow) Module());
    if (!module) return nullptr;
    File file(std::fopen(path, "rb"));
    if (!file) return nullptr;
    if (!hasKnownTag(file.get())) return nullptr;

    std::rewind(file.get());
    readBlock(file.get(), module->name, 20);
    for (Sample& sample : module->samples) {
        readSampleHeader(file.get(), sample);
        module->sample_bytes += sample.length;
    }
    module->song_length = std::min(readByte(file.get()), kOrderSlots);
    const int restart = readByte(file.get());
    if (restart < 127) {
        module->restart_enabled = 1;
        module->restart_pos = std::min(restart, module->song_length);
    } else {
        module->restart_enabled = 0;
        module->restart_pos = restart;
    }
    int largest = 0;
    for (std::int32_t& order : module->orders) {
        order = readByte(file.get());
        largest = std::max(largest, static_cast<int>(order));
    }
    std::uint8_t tag[4];
    readBlock(file.get(), tag, sizeof tag);

    // num_patterns only counts blocks actually stored, so that a failure
    // half-way releases exactly those.
    for (int p = 0; p <= largest; ++p) {
        PatternCell* block = new (std::nothrow) PatternCell[kCellsPerPattern]();
        if (!block) {
            releasePatterns(module.get());
            return nullptr;
        }
        module->patterns[p] = block;
        module->num_patterns = p + 1;
        std::uint8_t bytes[kCellsPerPattern * 4];
        readBlock(file.get(), bytes, sizeof bytes);
        for (int i = 0; i < kCellsPerPattern; ++i)
            block[i] = decodeCell(bytes + 4 * i, module->song_length);
    }

    // An all-empty module still gets a (1-byte) block, so that it loads.
    std::int8_t* data = new (std::nothrow) std::int8_t[std::max(module->sample_bytes, 1)]();
    file_sample_data = data;
    if (!data) {
        releasePatterns(module.get());
        return nullptr;
    }
    int offset = 0;
    for (Sample& sample : module->samples) {
        sample.offset = offset;
        readBlock(file.get(), data + offset, static_cast<std::size_t>(sample.length));
        offset += sample.length;
    }
    module->sample_data = data;
    module->loaded = 1;
    return module.release();
}

void zindleFree(Module* module) {
    if (!module) return;
    {
        AudioLock lock;
        mod_playing = 0;
    }
    // No voice may go on reading the sample data once it is released.
    audioCutAllVoices();
    platform().sleep_ms(kStepFinishMs);
    releasePatterns(module);
    // Release this module's own block: the global only names the latest load.
    if (file_sample_data == module->sample_data) file_sample_data = nullptr;
    delete[] module->sample_data;
    delete module;
}

// ---------------------------------------------------------------------------
// Why a load failed. The loader's own flow stays as it is: once it has
// refused a file, the file is looked at again to say why.

namespace {

// Other trackers' files, known by bytes near their start.
struct ForeignFormat {
    long offset;
    const char* magic;
    const char* what;
};
constexpr ForeignFormat kForeignFormats[] = {
    {0, "Extended Module: ", "an XM module (FastTracker 2), not a MOD file"},
    {0, "IMPM", "an IT module (Impulse Tracker), not a MOD file"},
    {44, "SCRM", "an S3M module (Scream Tracker 3), not a MOD file"},
};
constexpr std::size_t kForeignHeadBytes = 48;  // covers every magic above

// MOD tags that announce a channel count in letters alone.
struct ChannelTag {
    const char* tag;
    int channels;
};
constexpr ChannelTag kChannelTags[] = {{"OKTA", 8}, {"OCTA", 8}, {"CD81", 8}, {"CD61", 6}};

int digitAt(const unsigned char* tag, int i) { return tag[i] >= '0' && tag[i] <= '9' ? tag[i] - '0' : -1; }

// The channel count a tag of another MOD variant announces ("8CHN", "12CH",
// "FLT8", "OKTA", ...), 0 when it announces none.
int taggedChannels(const unsigned char tag[4]) {
    for (const ChannelTag& known : kChannelTags)
        if (std::memcmp(tag, known.tag, 4) == 0) return known.channels;
    if (digitAt(tag, 0) > 0 && std::memcmp(tag + 1, "CHN", 3) == 0) return digitAt(tag, 0);
    if (digitAt(tag, 0) >= 0 && digitAt(tag, 1) >= 0 && (std::memcmp(tag + 2, "CH", 2) == 0 || std::memcmp(tag + 2, "CN", 2) == 0))
        return digitAt(tag, 0) * 10 + digitAt(tag, 1);
    if ((std::memcmp(tag, "FLT", 3) == 0 || std::memcmp(tag, "TDZ", 3) == 0) && digitAt(tag, 3) > 0) return digitAt(tag, 3);
    return 0;
}

// The tag as it stands in the file, bytes other than printable ASCII as \xNN.
void quoteTag(const unsigned char tag[4], char* out, std::size_t size) {
    std::size_t used = 0;
    for (int i = 0; i < 4 && used < size; ++i) {
        const bool plain = tag[i] >= 0x20 && tag[i] < 0x7F && tag[i] != '"' && tag[i] != '\\';
        const int n = plain ? std::snprintf(out + used, size - used, "%c", tag[i])
                            : std::snprintf(out + used, size - used, "\\x%02X", tag[i]);
        used += static_cast<std::size_t>(std::max(n, 0));
    }
}

// Writes why the file at path can't be loaded into why.
void explainLoadFailure(const char* path, char* why, std::size_t size) {
    errno = 0;
    File file(std::fopen(path, "rb"));
    if (!file) {
        const int error = errno;
        std::snprintf(why, size, "%s", error == ENOENT ? "no such file"
                                       : error == EACCES ? "permission denied"
                                                         : std::strerror(error));
        return;
    }
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0) {
        std::snprintf(why, size, "%s", std::strerror(errno));
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        std::snprintf(why, size, "a folder, not a file");
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        std::snprintf(why, size, "not a regular file (a device, pipe or socket)");
        return;
    }
    unsigned char head[kForeignHeadBytes] = {};
    readBlock(file.get(), head, sizeof head);
    for (const ForeignFormat& format : kForeignFormats) {
        const std::size_t length = std::strlen(format.magic);
        if (std::memcmp(head + format.offset, format.magic, length) == 0 &&
            info.st_size >= format.offset + static_cast<long>(length)) {
            std::snprintf(why, size, "%s", format.what);
            return;
        }
    }
    if (info.st_size < kTagOffset + 4) {
        std::snprintf(why, size, "too short to be a MOD file (%lld bytes)", static_cast<long long>(info.st_size));
        return;
    }
    if (hasKnownTag(file.get())) {
        std::snprintf(why, size, "not enough memory to load it");
        return;
    }
    unsigned char tag[4] = {};
    std::fseek(file.get(), kTagOffset, SEEK_SET);
    readBlock(file.get(), tag, sizeof tag);
    char quoted[4 * 4 + 1] = {};
    quoteTag(tag, quoted, sizeof quoted);
    const int channels = taggedChannels(tag);
    if (channels > 0)
        std::snprintf(why, size, "a module with %d channels (tag \"%s\"), which Zindle doesn't play", channels, quoted);
    else
        std::snprintf(why, size, "not a MOD file: no known tag at byte %ld (found \"%s\")", kTagOffset, quoted);
}

}  // namespace

void zindleReportLoadFailure(std::FILE* out, const char* path) {
    char why[160];
    explainLoadFailure(path, why, sizeof why);
    std::fprintf(out, "Couldn't load the module!\n%s: %s\n", path, why);
}
