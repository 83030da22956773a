// The renderer's output: frames of 48000 Hz 16-bit stereo written through
// libsndfile as WAV (RF64 past 4 GiB of data), FLAC or bare frames. A
// regular file is written beside its final name and renamed when complete;
// standard output, devices and pipes are written straight through, front to
// back (a FLAC stream there leaves its length and MD5 sum unknown).
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>

enum class OutputFormat { kWav, kFlac, kRaw };

// "wav", "flac" or "raw"; false for anything else.
bool outputFormatNamed(const char* name, OutputFormat& format);
// The format a file name's extension asks for (.wav, .flac, .raw, any case);
// false when it names none of them.
bool outputFormatOfPath(const std::string& path, OutputFormat& format);
// ".wav", ".flac" or ".raw".
const char* outputExtension(OutputFormat format);

// One output file. Destroying an unfinished one removes what it wrote to a
// regular file, and so does an interrupt, termination or hang-up signal while
// it is open (the program then exits with 128 plus the signal's number).
class RenderOutput {
  public:
    RenderOutput() = default;
    ~RenderOutput();
    RenderOutput(const RenderOutput&) = delete;
    RenderOutput& operator=(const RenderOutput&) = delete;

    // Whether open() needs the exact frame count rather than a bound: a WAV
    // header written first, or one whose layout (plain or RF64) the bound
    // leaves open.
    static bool needsExactLength(const std::string& path, OutputFormat format, std::uint64_t max_frames);
    // Opens path for at most max_frames frames; exactly that many when
    // exact is set, which a direct WAV output needs. A FLAC file carries
    // title (UTF-8) as its TITLE, unless it is empty; the other formats
    // carry none. False after setting error().
    bool open(const std::string& path, OutputFormat format, std::uint64_t max_frames, bool exact,
              const std::string& title = "");
    // Appends count frames of interleaved samples (left, right). False after
    // setting error() when they can't all be written.
    bool write(const std::int16_t* frames, std::uint64_t count);
    // Completes the file (header, rename). False after setting error().
    bool finish();
    // "zindle-render: can't write FILE: reason" for the last failure.
    const std::string& error() const { return error_; }

    // A descriptor written front to back, for libsndfile's virtual I/O.
    struct Stream {
        int fd = -1;
        sf_count_t written = 0;   // bytes written to fd
        sf_count_t position = 0;  // where libsndfile stands: written, or inside what was written
    };

  private:
    // Whether path ("-" is standard output) is written straight through: the
    // WAV header there is written first, so it needs the exact frame count.
    static bool isDirect(const std::string& path);
    bool fail(const std::string& reason);
    void discard();

    std::string path_;      // the final name ("-": standard output)
    std::string temp_;      // the file written, renamed to path_ when complete
    SNDFILE* file_ = nullptr;
    int fd_ = -1;           // the descriptor file_ writes to
    bool close_fd_ = false; // whether fd_ is ours to close
    Stream stream_;
    std::string error_;
};
