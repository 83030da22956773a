// The MOD loader: tells the file's format from its tag (or, with none, from
// how plausible it is as a 15-sample module), then reads the whole file front
// to back into a Module record, its decoded pattern blocks and one block of
// sample data. A format is data: channels, sample headers and pattern layout,
// one Module shape for the one engine. Every value taken
// from the file is clamped where it is read; bytes past the end of a short
// file read as zero, so a truncated tagged file still loads.
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
constexpr int kTagSize = 4;
// Time for a sequencer step already begun on the audio thread to finish.
constexpr std::uint32_t kStepFinishMs = 10;

// A volume slide moves by one nibble: the highest meaningful parameter is F0.
constexpr int kMaxSlideParam = 0xF0;

constexpr int kTitleBytes = 20;
constexpr int kSampleNameBytes = 22;
constexpr int kSampleHeaderBytes = 30;
constexpr int kCellBytes = 4;
// A file's patterns hold 4-channel blocks side by side in StarTrekker's
// 8-channel layout; everywhere else a pattern is one block of every channel.
constexpr int kBlockChannels = 4;

// The shape of a MOD file, as its header gives it: everything the loader
// needs to read the rest, and what it hands on in the Module.
struct Format {
    int channels = 0;          // 0: not a format the loader reads
    int num_samples = kNumSamples;
    // Each pattern stored as 4-channel blocks one after the other, and the
    // order table counting those blocks.
    bool paired_blocks = false;
};

struct FixedTag {
    char tag[kTagSize + 1];
    Format format;
};
// Tags with no channel count spelled in digits.
constexpr FixedTag kFixedTags[] = {
    {"M.K.", {4}}, {"M!K!", {4}}, {"M&K!", {4}}, {"N.T.", {4}}, {"FLT4", {4}},
    {"CD81", {8}}, {"OKTA", {8}}, {"OCTA", {8}}, {"FLT8", {8, kNumSamples, true}},
};

int digitValue(char ch) { return ch >= '0' && ch <= '9' ? ch - '0' : -1; }

// The format a tag names; channels 0 for a tag no accepted format carries.
// Besides the fixed tags: nCHN (1..9), nnCH and nnCN (10..32), TDZn (1..3).
Format formatOfTag(const char tag[kTagSize]) {
    for (const FixedTag& fixed : kFixedTags)
        if (std::memcmp(tag, fixed.tag, kTagSize) == 0) return fixed.format;
    Format format;
    const int d0 = digitValue(tag[0]);
    const int d1 = digitValue(tag[1]);
    const int d3 = digitValue(tag[3]);
    if (d0 >= 1 && std::memcmp(tag + 1, "CHN", 3) == 0) {
        format.channels = d0;
    } else if (d0 >= 1 && d1 >= 0 && (std::memcmp(tag + 2, "CH", 2) == 0 || std::memcmp(tag + 2, "CN", 2) == 0)) {
        const int n = 10 * d0 + d1;
        if (n >= 10 && n <= kMaxChannels) format.channels = n;
    } else if (std::memcmp(tag, "TDZ", 3) == 0 && d3 >= 1 && d3 <= 3) {
        format.channels = d3;
    }
    return format;
}

// The header of a tagged file, up to and including its tag.
constexpr int kHeaderBytes = static_cast<int>(kTagOffset) + kTagSize;
// Where an untagged 15-sample file's song length, order table and patterns are.
constexpr int kOldSongLengthOffset = kTitleBytes + kOldNumSamples * kSampleHeaderBytes;
constexpr int kOldOrdersOffset = kOldSongLengthOffset + 2;
constexpr int kOldPatternsOffset = kOldOrdersOffset + kOrderSlots;
static_assert(kOldSongLengthOffset == 470 && kOldPatternsOffset == 600, "the 15-sample header");
constexpr int kOldVolumeByte = kSampleNameBytes + 3;  // in a sample header
// Order entries of a 15-sample file are below this.
constexpr int kOldPatternLimit = 128;

bool isNameByte(std::uint8_t byte) { return byte == 0 || (byte >= 32 && byte <= 126); }

// An untagged file is taken as a 15-sample module only when it looks like
// one: names of printable bytes, volumes up to 64, a song of 1..128 orders
// naming patterns below 128, and all those patterns in the file.
bool isPlausibleOldModule(const std::uint8_t* header, long file_size) {
    for (int i = 0; i < kTitleBytes; ++i)
        if (!isNameByte(header[i])) return false;
    for (int s = 0; s < kOldNumSamples; ++s) {
        const std::uint8_t* sample = header + kTitleBytes + s * kSampleHeaderBytes;
        for (int i = 0; i < kSampleNameBytes; ++i)
            if (!isNameByte(sample[i])) return false;
        if (sample[kOldVolumeByte] > kMaxVolume) return false;
    }
    const int song_length = header[kOldSongLengthOffset];
    if (song_length < 1 || song_length > kOrderSlots) return false;
    int largest = 0;
    for (int i = 0; i < kOrderSlots; ++i) {
        const int order = header[kOldOrdersOffset + i];
        if (order >= kOldPatternLimit) return false;
        largest = std::max(largest, order);
    }
    const long needed = kOldPatternsOffset + static_cast<long>(largest + 1) * kRowsPerPattern * kBlockChannels * kCellBytes;
    return file_size >= needed;
}

// Reads the header bytes (zero past the end of the file) and the file's size,
// and tells which format the file has.
Format readFormat(std::FILE* file, std::uint8_t (&header)[kHeaderBytes], char (&tag)[kTagSize + 1]) {
    std::memset(tag, 0, sizeof tag);
    Format none;
    if (std::fseek(file, 0, SEEK_END) != 0) return none;
    const long file_size = std::ftell(file);
    std::rewind(file);
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    std::memset(header + got, 0, sizeof header - got);
    Format format = formatOfTag(reinterpret_cast<const char*>(header + kTagOffset));
    if (format.channels != 0) {
        std::memcpy(tag, header + kTagOffset, kTagSize);
        return format;
    }
    if (file_size < 0 || !isPlausibleOldModule(header, file_size)) return none;
    format.channels = kBlockChannels;
    format.num_samples = kOldNumSamples;
    return format;
}

// Reads header bytes in order, like a file that is all header.
struct HeaderReader {
    const std::uint8_t* bytes;
    int at = 0;
    int byte() { return bytes[at++]; }
    int word() {
        const int high = byte();
        return (high << 8) | byte();
    }
    void block(void* dest, int size) {
        std::memcpy(dest, bytes + at, static_cast<std::size_t>(size));
        at += size;
    }
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads size bytes into dest, zero-filling what the file doesn't have.
void readBlock(std::FILE* file, void* dest, std::size_t size) {
    const std::size_t got = std::fread(dest, 1, size, file);
    if (got < size) std::memset(static_cast<char*>(dest) + got, 0, size - got);
}

void readSampleHeader(HeaderReader& in, Sample& sample, const Format& format) {
    in.block(sample.name, kSampleNameBytes);
    const int length_words = in.word();
    sample.length = length_words * 2;
    sample.finetune = in.byte() & 15;
    sample.volume = std::min(in.byte(), kMaxVolume);
    int loop_start_words = in.word();
    const int loop_length_words = in.word();
    // The first trackers' files often give the loop start in bytes: taken so
    // when only then does the loop stay inside the sample.
    if (format.num_samples == kOldNumSamples && loop_start_words + loop_length_words > length_words &&
        loop_start_words / 2 + loop_length_words <= length_words)
        loop_start_words /= 2;
    sample.loop_start = loop_start_words * 2;
    sample.loop_length = loop_length_words * 2;
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

// Reads one pattern into block: row by row across every channel, or in the
// paired layout as 4-channel blocks one after the other.
void readPattern(std::FILE* file, PatternCell* block, const Format& format, int song_length) {
    std::uint8_t bytes[kRowsPerPattern * kMaxChannels * kCellBytes];
    const int channels = format.channels;
    readBlock(file, bytes, static_cast<std::size_t>(kRowsPerPattern * channels * kCellBytes));
    const int part_channels = format.paired_blocks ? kBlockChannels : channels;
    const int parts = channels / part_channels;
    const std::uint8_t* cell = bytes;
    for (int part = 0; part < parts; ++part)
        for (int row = 0; row < kRowsPerPattern; ++row)
            for (int c = 0; c < part_channels; ++c, cell += kCellBytes)
                block[row * channels + part * part_channels + c] = decodeCell(cell, song_length);
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
    std::uint8_t header[kHeaderBytes];
    const Format format = readFormat(file.get(), header, module->tag);
    if (format.channels == 0) return nullptr;
    module->channels = format.channels;
    module->num_samples = format.num_samples;

    HeaderReader in{header};
    in.block(module->name, kTitleBytes);
    for (int s = 0; s < format.num_samples; ++s) {
        readSampleHeader(in, module->samples[s], format);
        module->sample_bytes += module->samples[s].length;
    }
    module->song_length = std::min(in.byte(), kOrderSlots);
    const int restart = in.byte();
    if (restart < 127) {
        module->restart_enabled = 1;
        module->restart_pos = std::min(restart, module->song_length);
    } else {
        module->restart_enabled = 0;
        module->restart_pos = restart;
    }
    int largest = 0;
    for (std::int32_t& order : module->orders) {
        order = in.byte();
        // The paired layout's order table counts 4-channel blocks, two to a pattern.
        if (format.paired_blocks) order /= 2;
        largest = std::max(largest, static_cast<int>(order));
    }
    if (format.num_samples == kNumSamples) in.at += kTagSize;
    if (std::fseek(file.get(), in.at, SEEK_SET) != 0) return nullptr;

    // num_patterns only counts blocks actually stored, so that a failure
    // half-way releases exactly those.
    const int cells = kRowsPerPattern * format.channels;
    for (int p = 0; p <= largest; ++p) {
        PatternCell* block = new (std::nothrow) PatternCell[static_cast<std::size_t>(cells)]();
        if (!block) {
            releasePatterns(module.get());
            return nullptr;
        }
        module->patterns[p] = block;
        module->num_patterns = p + 1;
        readPattern(file.get(), block, format, module->song_length);
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
    unsigned char tag[4] = {};
    std::fseek(file.get(), kTagOffset, SEEK_SET);
    readBlock(file.get(), tag, sizeof tag);
    if (formatOfTag(reinterpret_cast<const char*>(tag)).channels != 0) {
        std::snprintf(why, size, "not enough memory to load it");
        return;
    }
    char quoted[4 * 4 + 1] = {};
    quoteTag(tag, quoted, sizeof quoted);
    const int channels = taggedChannels(tag);
    if (channels > 0)
        std::snprintf(why, size, "a module with %d channels (tag \"%s\"), which Zindle doesn't play", channels, quoted);
    else
        std::snprintf(why, size, "not a MOD file: no known tag at byte %ld (found \"%s\") and no 15-sample module", kTagOffset, quoted);
}

}  // namespace

void zindleReportLoadFailure(std::FILE* out, const char* path) {
    char why[160];
    explainLoadFailure(path, why, sizeof why);
    std::fprintf(out, "Couldn't load the module!\n%s: %s\n", path, why);
}
