// zindle-render's command line, read with getopt_long.
#include "render/render_options.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "audio/audio_mixer.h"
#include "audio/separation_text.h"

namespace {

constexpr int kMaxLoops = 1000;
// Order positions are bytes in a MOD file.
constexpr int kMaxStart = 255;

const char kUsage[] =
    "Usage: zindle-render [OPTION]... MODULE|FOLDER...\n"
    "Renders each MODULE, and the modules in each FOLDER and the folders below it,\n"
    "at 48000 Hz, 16-bit stereo, with the player's own engine, to a file of its own,\n"
    "or tells what each holds (--info). Files in folders that are no modules are skipped.\n"
    "\n"
    "  -s, --seconds S     render exactly S seconds (S may be fractional); default: one pass\n"
    "                      of the song, until it comes back to a row it has played (at most 30 min)\n"
    "      --loops N       render N passes of the song (default 1)\n"
    "      --start ORDER   start at order position ORDER, 0 to 255 (default 0)\n"
    "      --song K        render the module's K-th song (1 is the first) from the position it\n"
    "                      starts at, one pass per loop as usual; not with --start\n"
    "      --separation P  stereo separation in percent, 0 (mono) to 100 (default 100)\n"
    "      --amiga MODEL   a500 or a1200: MODs sound as the Amiga played them (each voice\n"
    "                      band-limited as Paula steps it, the model's filters, the LED\n"
    "                      filter under E0x); off (the default): the plain mixer. Formats\n"
    "                      libxmp plays keep its mixer\n"
    "  -f, --format F      wav, flac or raw (bare interleaved s16le frames); default: the\n"
    "                      output's extension, else wav\n"
    "      --raw           the same as --format raw\n"
    "  -o, --output FILE   where to write, with one MODULE (\"-\" is standard output)\n"
    "      --output-dir DIR  where to write each module's file (default: the current folder),\n"
    "                      made as needed; the file is the module's name with the format's\n"
    "                      extension, under the folders it was found in below a FOLDER\n"
    "  -j, --jobs N        render N modules at once (default: the number of processors)\n"
    "      --trace         print one line per tick, with one MODULE: FRAME ORDER ROW TICK SPEED BPM\n"
    "                      and, per voice, OFF:POS:RATE:VOL (on standard error when the audio goes\n"
    "                      to standard output)\n"
    "  -i, --info          print each module's title, format, song, samples and one-pass length\n"
    "      --json          the same as --info, as one JSON object per line\n"
    "      --probe-line    print each module's format, channels and one-pass length in ms as\n"
    "                      one line of tab-separated fields, FORMAT CHANNELS MS (FORMAT as\n"
    "                      --info names it, empty for an untagged MOD), then one per song,\n"
    "                      START/FRAMES/F0,F1,... (the frame each position is first played at\n"
    "                      in one pass of it, - for never): what the player's module list\n"
    "                      shows; a module that can't be loaded prints an empty line\n"
    "  -h, --help          show this text\n"
    "      --version       show the version\n";

// Seconds as decimal digits with an optional fraction, turned into frames
// exactly: floor(S * 48000) without rounding errors.
bool parseSeconds(const char* text, std::uint64_t& frames) {
    std::uint64_t whole = 0;
    const char* p = text;
    if (!*p || *p == '.') return false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        whole = whole * 10 + static_cast<std::uint64_t>(*p - '0');
        if (whole > 100000000) return false;
    }
    std::uint64_t fraction = 0, scale = 1;
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p) {
            if (scale < 1000000000) {
                fraction = fraction * 10 + static_cast<std::uint64_t>(*p - '0');
                scale *= 10;
            }
        }
    }
    if (*p) return false;
    frames = whole * kOutputRate + fraction * kOutputRate / scale;
    return true;
}

bool parseInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno || end == text || *end || parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

enum LongOnly { kOptStart = 256, kOptSong, kOptSeparation, kOptAmiga, kOptLoops, kOptOutputDir, kOptRaw, kOptTrace, kOptJson, kOptProbeLine, kOptVersion };

const option kLongOptions[] = {
    {"seconds", required_argument, nullptr, 's'},  {"loops", required_argument, nullptr, kOptLoops},
    {"start", required_argument, nullptr, kOptStart}, {"format", required_argument, nullptr, 'f'},
    {"raw", no_argument, nullptr, kOptRaw},          {"output", required_argument, nullptr, 'o'},
    {"output-dir", required_argument, nullptr, kOptOutputDir}, {"jobs", required_argument, nullptr, 'j'},
    {"trace", no_argument, nullptr, kOptTrace},      {"info", no_argument, nullptr, 'i'},
    {"json", no_argument, nullptr, kOptJson},        {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kOptVersion},  {"separation", required_argument, nullptr, kOptSeparation},
    {"amiga", required_argument, nullptr, kOptAmiga},
    {"probe-line", no_argument, nullptr, kOptProbeLine}, {"song", required_argument, nullptr, kOptSong},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

int usageError(const std::string& why) {
    std::fprintf(stderr, "zindle-render: %s\nTry 'zindle-render --help' for more information.\n", why.c_str());
    return 2;
}

int parseOptions(int argc, char** argv, RenderOptions& options) {
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    options.jobs = static_cast<int>(std::clamp<long>(processors, 1, kMaxJobs));
    bool output_given = false;
    opterr = 0;
    int opt;
    while ((opt = getopt_long(argc, argv, ":s:f:o:j:ih", kLongOptions, nullptr)) != -1) {
        switch (opt) {
            case 's':
                if (!parseSeconds(optarg, options.frames)) return usageError("--seconds needs a number of seconds");
                options.seconds_given = true;
                break;
            case kOptLoops:
                if (!parseInt(optarg, 1, kMaxLoops, options.loops)) return usageError("--loops needs a number of passes (1 to 1000)");
                options.loops_given = true;
                break;
            case kOptSeparation:
                if (!parseSeparation(optarg, SeparationText::kNumber, options.separation))
                    return usageError("--separation needs a percentage (0 to 100)");
                break;
            case kOptAmiga:
                if (!parseAmigaModel(optarg, options.amiga)) return usageError("--amiga takes a500, a1200 or off");
                break;
            case kOptStart:
                if (!parseInt(optarg, 0, kMaxStart, options.start)) return usageError("--start needs an order position (0 to 255)");
                options.start_given = true;
                break;
            case kOptSong:
                if (!parseInt(optarg, 1, std::numeric_limits<int>::max(), options.song))
                    return usageError("--song needs a song number (1 or more)");
                break;
            case 'f':
                if (!outputFormatNamed(optarg, options.format)) return usageError("--format needs wav, flac or raw");
                options.format_given = true;
                break;
            case kOptRaw:
                options.format = OutputFormat::kRaw;
                options.format_given = true;
                break;
            case 'o':
                if (!*optarg) return usageError("--output needs a file name");
                options.output = optarg;
                output_given = true;
                break;
            case kOptOutputDir:
                if (!*optarg) return usageError("--output-dir needs a folder");
                options.output_dir = optarg;
                break;
            case 'j':
                if (!parseInt(optarg, 1, kMaxJobs, options.jobs)) return usageError("--jobs needs a number of modules (1 to 256)");
                break;
            case kOptTrace:
                options.trace = true;
                break;
            case kOptJson:
                options.info_form = InfoForm::kJson;
                options.info = true;
                break;
            case kOptProbeLine:
                options.info_form = InfoForm::kProbeLine;
                options.info = true;
                break;
            case 'i':
                options.info = true;
                break;
            case 'h':
                std::fputs(kUsage, stdout);
                return 0;
            case kOptVersion:
                std::printf("zindle-render %s\n", ZINDLE_VERSION);
                return 0;
            case ':':
                return usageError(std::string(argv[optind - 1]) + " needs a value");
            default:
                return usageError(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    options.modules.assign(argv + optind, argv + argc);
    if (options.modules.empty()) return usageError("no module given");
    if (options.seconds_given && options.loops_given) return usageError("--seconds and --loops exclude each other");
    if (options.start_given && options.song > 0) return usageError("--song and --start exclude each other");
    if (options.info) return -1;
    if (output_given && !options.output_dir.empty()) return usageError("--output and --output-dir exclude each other");
    if (output_given && !options.format_given) outputFormatOfPath(options.output, options.format);
    return -1;
}

int checkSingleModule(const RenderOptions& options, bool single) {
    if (single) return -1;
    if (!options.output.empty()) return usageError("--output takes one module; --output-dir takes many");
    if (options.trace) return usageError("--trace takes one module");
    return -1;
}

std::string defaultOutput(const RenderOptions& options, const WalkedFile& module) {
    std::string name = folderRelativePath(module);
    const std::size_t base = name.find_last_of('/') + 1;  // 0 without a folder
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > base) name.erase(dot);
    if (name.size() == base) name += "zindle";
    std::string folder = options.output_dir;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + name + outputExtension(options.format);
}
