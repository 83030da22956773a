// The renderer's output files, through libsndfile. The frames arrive as the
// mixer writes them (s16le) and go to libsndfile as host shorts, which on a
// little-endian host are the same bytes: for WAV and raw libsndfile then
// passes the caller's buffer straight to write(), without a copy.
#include "render/render_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "audio/audio_mixer.h"
#include "platform/files.h"
#include "render/stop_signals.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the mixer's s16le frames are handed over as host shorts");

namespace {

using Stream = RenderOutput::Stream;

constexpr int kChannelsOut = 2;
// A plain WAV file counts its data and its RIFF chunk (data + 36 bytes of
// header) in 32 bits; more than that goes into an RF64 file.
constexpr std::uint64_t kWavDataLimit = 0xFFFFFFFFull - 36;
constexpr std::uint64_t kPlainWavHeaderBytes = 44;

struct FormatName {
    const char* name;
    const char* extension;
    OutputFormat format;
};
constexpr std::array<FormatName, 3> kFormats = {{
    {"wav", ".wav", OutputFormat::kWav},
    {"flac", ".flac", OutputFormat::kFlac},
    {"raw", ".raw", OutputFormat::kRaw},
}};

SF_INFO infoFor(OutputFormat format, std::uint64_t max_frames) {
    SF_INFO info{};
    info.samplerate = kOutputRate;
    info.channels = kChannelsOut;
    switch (format) {
        case OutputFormat::kWav:
            info.format = (max_frames * kBytesPerFrame > kWavDataLimit ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
            break;
        case OutputFormat::kFlac:
            info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
            break;
        case OutputFormat::kRaw:
            info.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
            break;
    }
    return info;
}

// --- The WAV header for a known length, made by libsndfile on a file that
// keeps only its header: the frames written to it are counted, not kept.

struct HeaderCapture {
    static constexpr sf_count_t kRegion = 4096;  // larger than any header libsndfile writes for PCM
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kRegion);
    sf_count_t position = 0;
    sf_count_t length = 0;
};

sf_count_t captureLength(void* user) { return static_cast<HeaderCapture*>(user)->length; }

sf_count_t captureSeek(sf_count_t offset, int whence, void* user) {
    HeaderCapture& c = *static_cast<HeaderCapture*>(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? c.position : c.length;
    if (base + offset < 0) return -1;
    c.position = base + offset;
    return c.position;
}

sf_count_t captureRead(void*, sf_count_t, void*) { return 0; }

sf_count_t captureWrite(const void* data, sf_count_t count, void* user) {
    HeaderCapture& c = *static_cast<HeaderCapture*>(user);
    if (c.position < HeaderCapture::kRegion) {
        const sf_count_t kept = std::min(count, HeaderCapture::kRegion - c.position);
        std::memcpy(&c.bytes[static_cast<std::size_t>(c.position)], data, static_cast<std::size_t>(kept));
    }
    c.position += count;
    c.length = std::max(c.length, c.position);
    return count;
}

sf_count_t captureTell(void* user) { return static_cast<HeaderCapture*>(user)->position; }

// The header libsndfile writes for a file of exactly frames frames.
bool headerFor(SF_INFO info, std::uint64_t frames, std::vector<std::uint8_t>& header) {
    SF_VIRTUAL_IO io{captureLength, captureSeek, captureRead, captureWrite, captureTell};
    HeaderCapture capture;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &capture);
    if (!file) return false;
    // After the header libsndfile stands where the data begins.
    const sf_count_t data_offset = capture.position;
    static const std::int16_t kSilence[2 * 16384] = {};
    constexpr std::uint64_t kSilenceFrames = sizeof kSilence / sizeof kSilence[0] / 2;
    bool ok = data_offset > 0 && data_offset < HeaderCapture::kRegion;
    for (std::uint64_t left = frames; ok && left > 0;) {
        const std::uint64_t n = std::min(left, kSilenceFrames);
        ok = sf_writef_short(file, kSilence, static_cast<sf_count_t>(n)) == static_cast<sf_count_t>(n);
        left -= n;
    }
    ok = sf_close(file) == 0 && ok;
    header.assign(capture.bytes.begin(), capture.bytes.begin() + data_offset);
    return ok;
}

// --- A descriptor written front to back, whatever it is (a pipe, a
// terminal, a device, a file opened for appending). libsndfile may seek
// back to patch what it wrote (libFLAC fills in the stream's length and MD5
// sum at the end): those bytes can't be reached any more and are dropped,
// and what stays says "unknown" there, as a FLAC stream may.

sf_count_t streamLength(void* user) { return static_cast<Stream*>(user)->written; }

sf_count_t streamSeek(sf_count_t offset, int whence, void* user) {
    Stream& s = *static_cast<Stream*>(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s.position : s.written;
    if (base + offset < 0 || base + offset > s.written) return -1;
    s.position = base + offset;
    return s.position;
}

sf_count_t streamRead(void*, sf_count_t, void*) { return 0; }

sf_count_t streamWrite(const void* data, sf_count_t count, void* user) {
    Stream& s = *static_cast<Stream*>(user);
    if (s.position == s.written) {
        if (!writeAll(s.fd, data, static_cast<std::size_t>(count))) return 0;
        s.written += count;
    }
    // A patch of bytes already written lands nowhere, but may not overrun them.
    else if (s.position + count > s.written) {
        return 0;
    }
    s.position += count;
    return count;
}

sf_count_t streamTell(void* user) { return static_cast<Stream*>(user)->position; }

}  // namespace

bool outputFormatNamed(const char* name, OutputFormat& format) {
    for (const FormatName& f : kFormats) {
        if (std::strcmp(name, f.name) == 0) {
            format = f.format;
            return true;
        }
    }
    return false;
}

bool outputFormatOfPath(const std::string& path, OutputFormat& format) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return false;
    for (const FormatName& f : kFormats) {
        if (strcasecmp(path.c_str() + dot, f.extension) == 0) {
            format = f.format;
            return true;
        }
    }
    return false;
}

const char* outputExtension(OutputFormat format) {
    for (const FormatName& f : kFormats)
        if (f.format == format) return f.extension;
    return ".wav";
}

RenderOutput::~RenderOutput() { discard(); }

bool RenderOutput::isDirect(const std::string& path) {
    struct stat target {};
    return path == "-" || (stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode));
}

bool RenderOutput::needsExactLength(const std::string& path, OutputFormat format, std::uint64_t max_frames) {
    return format == OutputFormat::kWav && (max_frames * kBytesPerFrame > kWavDataLimit || isDirect(path));
}

bool RenderOutput::open(const std::string& path, OutputFormat format, std::uint64_t max_frames, bool exact,
                        const std::string& title) {
    path_ = path;
    SF_INFO info = infoFor(format, max_frames);
    if (isDirect(path)) {
        if (path == "-") {
            fd_ = STDOUT_FILENO;
        } else {
            fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC);
            if (fd_ < 0) return fail(std::strerror(errno));
            close_fd_ = true;
        }
        // Nothing here can be patched afterwards: a WAV header goes
        // first, then the frames as they come.
        if (format == OutputFormat::kWav) {
            std::vector<std::uint8_t> header;
            if (!headerFor(info, max_frames, header)) return fail(sf_strerror(nullptr));
            if (!writeAll(fd_, header.data(), header.size())) return fail(std::strerror(errno));
            info = infoFor(OutputFormat::kRaw, max_frames);
        }
        stream_.fd = fd_;
        SF_VIRTUAL_IO io{streamLength, streamSeek, streamRead, streamWrite, streamTell};
        file_ = sf_open_virtual(&io, SFM_WRITE, &info, &stream_);
    } else {
        // Renamed when complete, so that an interrupted render never leaves
        // a truncated file under the final name.
        temp_ = path + ".partXXXXXX";
        fd_ = mkstemp(temp_.data());
        if (fd_ < 0) {
            temp_.clear();
            return fail(std::strerror(errno));
        }
        close_fd_ = true;
        // An interrupted render takes its partial file with it.
        stopRemoveOnSignal(temp_);
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
        // Blocks reserved up front cost the file system less than blocks
        // found write by write. Only for a known size: nothing is left over.
        if (exact && format != OutputFormat::kFlac)
            fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(kPlainWavHeaderBytes + max_frames * kBytesPerFrame));
        file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
    }
    if (!file_) return fail(sf_strerror(nullptr));
    // Before the first frame: libsndfile writes the tags with the header.
    if (format == OutputFormat::kFlac && !title.empty() && sf_set_string(file_, SF_STR_TITLE, title.c_str()) != 0)
        return fail(sf_strerror(file_));
    return true;
}

bool RenderOutput::write(const std::int16_t* frames, std::uint64_t count) {
    errno = 0;
    if (sf_writef_short(file_, frames, static_cast<sf_count_t>(count)) == static_cast<sf_count_t>(count)) return true;
    return fail(errno ? std::strerror(errno) : sf_strerror(file_));
}

bool RenderOutput::finish() {
    errno = 0;
    const int status = sf_close(file_);
    file_ = nullptr;
    if (status != 0) return fail(errno ? std::strerror(errno) : sf_error_number(status));
    if (close_fd_) {
        close_fd_ = false;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return fail(std::strerror(errno));
    }
    if (!temp_.empty()) {
        if (std::rename(temp_.c_str(), path_.c_str()) != 0) return fail(std::strerror(errno));
        temp_.clear();
        stopForgetFile();
    }
    return true;
}

bool RenderOutput::fail(const std::string& reason) {
    error_ = "zindle-render: can't write " + (path_ == "-" ? std::string("standard output") : path_) + ": " + reason;
    discard();
    return false;
}

void RenderOutput::discard() {
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (close_fd_) ::close(fd_);
    close_fd_ = false;
    fd_ = -1;
    if (!temp_.empty()) {
        std::remove(temp_.c_str());
        temp_.clear();
        stopForgetFile();
    }
}
