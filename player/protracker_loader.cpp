// The MOD loader: tells the file's format from its tag (or, with none, from
// how plausible it is as a 15-sample module), then reads the whole file front
// to back into a Module record, its decoded pattern blocks and one block of
// sample data. A format is data: channels, sample headers and pattern layout,
// one Module shape for the one engine. Every value taken
// from the file is clamped where it is read; bytes past the end of a short
// file read as zero, so a truncated tagged file still loads. A refused file
// is explained from what was read of it, never opened a second time.
#include "player/protracker_loader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "audio/audio_mixer.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "player/protracker_sequencer.h"

std::int8_t* file_sample_data = nullptr;

namespace {

// Time for a sequencer step already begun on the audio thread to finish.
constexpr std::uint32_t kStepFinishMs = 10;

// A volume slide moves by one nibble: the highest meaningful parameter is F0.
constexpr int kMaxSlideParam = 0xF0;

static_assert(kHeaderBytes == 1084, "the 31-sample header");
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

// Tags with no channel count spelled in digits.
struct FixedTag {
    char tag[kTagBytes + 1];
    Format format;
};
constexpr std::array<FixedTag, 9> kFixedTags = {{
    {"M.K.", {4}}, {"M!K!", {4}}, {"M&K!", {4}}, {"N.T.", {4}}, {"FLT4", {4}},
    {"CD81", {8}}, {"OKTA", {8}}, {"OCTA", {8}}, {"FLT8", {8, kNumSamples, true}},
}};

// Tags spelling a channel count in digits (each '#' one digit), and the
// counts each spelling is read for. A count Zindle plays in a spelling not
// read for it ("09CH", "TDZ4") is no tag at all.
struct CountSpelling {
    char pattern[kTagBytes + 1];
    int lowest, highest;
};
constexpr std::array<CountSpelling, 4> kCountSpellings = {{
    {"#CHN", 1, 9}, {"##CH", 10, kMaxChannels}, {"##CN", 10, kMaxChannels}, {"TDZ#", 1, 3},
}};

// What the tag at kTagOffset says.
struct TagReading {
    Format format;            // channels 0: not a format the loader reads
    int named_channels = -1;  // the count a spelling of kCountSpellings names, played or not; -1: none
};

// The count tag spells after pattern, or -1 when it doesn't match.
int spelledCount(const std::uint8_t* tag, const char* pattern) {
    int count = 0;
    for (int i = 0; i < kTagBytes; ++i) {
        if (pattern[i] != '#') {
            if (tag[i] != static_cast<std::uint8_t>(pattern[i])) return -1;
        } else if (tag[i] >= '0' && tag[i] <= '9') {
            count = 10 * count + (tag[i] - '0');
        } else {
            return -1;
        }
    }
    return count;
}

// The one reading of a tag: which format it names, or which channel count
// when that is one Zindle doesn't play (0, or past kMaxChannels).
TagReading readTag(const std::uint8_t* tag) {
    TagReading reading;
    for (const FixedTag& fixed : kFixedTags)
        if (std::memcmp(tag, fixed.tag, kTagBytes) == 0) {
            reading.format = fixed.format;
            reading.named_channels = fixed.format.channels;
            return reading;
        }
    for (const CountSpelling& spelling : kCountSpellings) {
        const int count = spelledCount(tag, spelling.pattern);
        if (count < 0) continue;
        if (count >= spelling.lowest && count <= spelling.highest) {
            reading.format.channels = count;
            reading.named_channels = count;
        } else if (count == 0 || count > kMaxChannels) {
            reading.named_channels = count;
        }
        return reading;
    }
    return reading;
}

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

// Reads size bytes into dest, zero-filling what the file doesn't have.
// Returns the bytes the file had.
std::size_t readBlock(std::FILE* file, void* dest, std::size_t size) {
    const std::size_t got = std::fread(dest, 1, size, file);
    if (got < size) std::memset(static_cast<char*>(dest) + got, 0, size - got);
    return got;
}

// The start of a file: its header bytes (zero past its end) and its size.
struct FileHead {
    std::uint8_t bytes[kHeaderBytes] = {};
    long size = -1;  // -1: the file can't seek (a pipe), or failed: error
    int error = 0;
};

FileHead readHead(std::FILE* file) {
    FileHead head;
    errno = 0;
    if (std::fseek(file, 0, SEEK_END) != 0 || (head.size = std::ftell(file)) < 0) {
        head.size = -1;
        head.error = errno;
        return head;
    }
    std::rewind(file);
    readBlock(file, head.bytes, sizeof head.bytes);
    return head;
}

// The format of a file: its tag's, or with none, the 15-sample one when the
// file is plausible as such.
Format formatOf(const FileHead& head, const TagReading& tag) {
    if (head.size < 0) return Format{};
    if (tag.format.channels != 0) return tag.format;
    if (!isPlausibleOldModule(head.bytes, head.size)) return Format{};
    Format old;
    old.channels = kBlockChannels;
    old.num_samples = kOldNumSamples;
    return old;
}

// Other trackers' files, known by bytes near their start.
struct ForeignFormat {
    int offset;
    const char* magic;  // no zero bytes, so the zeros past a file's end never match
    LoadRefusalReason reason;
};
constexpr std::array<ForeignFormat, 3> kForeignFormats = {{
    {0, "Extended Module: ", LoadRefusalReason::kXmModule},
    {0, "IMPM", LoadRefusalReason::kItModule},
    {44, "SCRM", LoadRefusalReason::kS3mModule},
}};

// Why a regular file whose head was read is no module the loader reads, in
// the order a user would ask: what could not be read, another tracker's
// module, too short for a header, then its tag.
void explainRefusal(const FileHead& head, const TagReading& tag, LoadRefusal& why) {
    std::memcpy(why.tag, head.bytes + kTagOffset, kTagBytes);
    why.file_size = head.size;
    if (head.size < 0) {
        why.reason = LoadRefusalReason::kFileError;
        why.error = head.error;
        return;
    }
    for (const ForeignFormat& foreign : kForeignFormats)
        if (std::memcmp(head.bytes + foreign.offset, foreign.magic, std::strlen(foreign.magic)) == 0) {
            why.reason = foreign.reason;
            return;
        }
    if (head.size < kHeaderBytes) {
        why.reason = LoadRefusalReason::kTooShort;
    } else if (tag.named_channels >= 0) {
        why.reason = LoadRefusalReason::kUnplayableChannels;
        why.channels = tag.named_channels;
    } else {
        why.reason = LoadRefusalReason::kUnknownTag;
    }
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
    if (sample.loop_length < kMinLoopBytes) {
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

namespace {

Module* refuse(LoadRefusal& why, LoadRefusalReason reason, int error = 0) {
    why.reason = reason;
    why.error = error;
    return nullptr;
}

// Opens the file at path and tells its format from its first bytes. False
// after filling why when it is no module the loader reads.
bool openModule(const char* path, UniqueFile& file, FileHead& head, Format& format, LoadRefusal& why) {
    errno = 0;
    FileKind kind = FileKind::kRegular;
    file = openRegularFile(path, &kind);
    if (!file) {
        switch (kind) {
        case FileKind::kRegular: refuse(why, LoadRefusalReason::kFileError, errno); break;
        case FileKind::kFolder: refuse(why, LoadRefusalReason::kFolder); break;
        case FileKind::kPipe:
        case FileKind::kSocket:
        case FileKind::kDevice:
            refuse(why, LoadRefusalReason::kNotRegularFile);
            why.not_regular = kind == FileKind::kPipe     ? NotRegularKind::kPipe
                              : kind == FileKind::kSocket ? NotRegularKind::kSocket
                                                          : NotRegularKind::kDevice;
            break;
        }
        return false;
    }
    head = readHead(file.get());
    const TagReading tag = readTag(head.bytes + kTagOffset);
    format = formatOf(head, tag);
    if (format.channels == 0) {
        explainRefusal(head, tag, why);
        return false;
    }
    return true;
}

Module* loadModule(const char* path, LoadRefusal& why) {
    UniqueFile file;
    FileHead head;
    Format format;
    if (!openModule(path, file, head, format, why)) return nullptr;
    std::unique_ptr<Module> module(new (std::nothrow) Module());
    if (!module) return refuse(why, LoadRefusalReason::kNoMemory);
    module->channels = format.channels;
    module->num_samples = format.num_samples;
    if (format.num_samples == kNumSamples) std::memcpy(module->tag, head.bytes + kTagOffset, kTagBytes);

    HeaderReader in{head.bytes};
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
    if (format.num_samples == kNumSamples) in.at += kTagBytes;
    if (std::fseek(file.get(), in.at, SEEK_SET) != 0) return refuse(why, LoadRefusalReason::kFileError, errno);

    // num_patterns only counts blocks actually stored, so that a failure
    // half-way releases exactly those.
    const int cells = kRowsPerPattern * format.channels;
    for (int p = 0; p <= largest; ++p) {
        PatternCell* block = new (std::nothrow) PatternCell[static_cast<std::size_t>(cells)]();
        if (!block) {
            releasePatterns(module.get());
            return refuse(why, LoadRefusalReason::kNoMemory);
        }
        module->patterns[p] = block;
        module->num_patterns = p + 1;
        readPattern(file.get(), block, format, module->song_length);
    }

    // An all-empty module still gets a (1-byte) block, so that it loads.
    std::int8_t* data = new (std::nothrow) std::int8_t[std::max(module->sample_bytes, 1)]();
    if (!data) {
        releasePatterns(module.get());
        return refuse(why, LoadRefusalReason::kNoMemory);
    }
    int offset = 0;
    for (Sample& sample : module->samples) {
        sample.offset = offset;
        const std::size_t got = readBlock(file.get(), data + offset, static_cast<std::size_t>(sample.length));
        sample.missing = sample.length - static_cast<std::int32_t>(got);
        offset += sample.length;
    }
    module->sample_data = data;
    module->loaded = 1;
    // Set on the loading thread only; the audio thread never reads it.
    file_sample_data = data;
    return module.release();
}

}  // namespace

Module* zindleLoad(const char* path, LoadRefusal* why) {
    LoadRefusal refusal;
    Module* module = loadModule(path, refusal);
    if (why) *why = refusal;
    return module;
}

bool zindleProbe(const char* path, LoadRefusal* why) {
    LoadRefusal refusal;
    UniqueFile file;
    FileHead head;
    Format format;
    const bool readable = openModule(path, file, head, format, refusal);
    if (why) *why = refusal;
    return readable;
}

void zindleFree(Module* module) {
    if (!module) return;
    // Only the module the sequencer plays has voices reading its data: that
    // one is stopped and its voices cut, each briefly under the audio lock.
    // Any other is freed without the lock. source changes on this thread alone.
    if (module == source) {
        {
            AudioLock lock;
            mod_playing = 0;
            source = nullptr;
        }
        audioCutAllVoices();
        platform().sleep_ms(kStepFinishMs);
    }
    releasePatterns(module);
    // Release this module's own block: the global only names the latest load.
    if (file_sample_data == module->sample_data) file_sample_data = nullptr;
    delete[] module->sample_data;
    delete module;
}

int zindleMissingSampleBytes(const Module& module) {
    int missing = 0;
    for (const Sample& sample : module.samples) missing += sample.missing;
    return missing;
}

void zindleDescribeShortData(const Module& module, char* out, std::size_t size) {
    if (size == 0) return;
    out[0] = '\0';
    const int missing = zindleMissingSampleBytes(module);
    if (missing == 0) return;
    std::size_t used = 0;
    const auto add = [&](int n) { used = std::min(size - 1, used + static_cast<std::size_t>(std::max(n, 0))); };
    add(std::snprintf(out, size, "sample data cut short: %d bytes missing (", missing));
    const char* separator = "";
    for (int i = 0; i < kNumSamples; ++i) {
        if (module.samples[i].missing == 0) continue;
        add(std::snprintf(out + used, size - used, "%ssample %d: %d", separator, i + 1, module.samples[i].missing));
        separator = ", ";
    }
    std::snprintf(out + used, size - used, ")");
}

