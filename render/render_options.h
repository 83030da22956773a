// zindle-render's command line: the options, their checks and the usage
// text, and the file each module is written to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/paula.h"
#include "player/folder_walk.h"
#include "render/module_info.h"
#include "render/render_output.h"

// The most modules rendered at once (--jobs).
constexpr int kMaxJobs = 256;

struct RenderOptions {
    std::uint64_t frames = 0;  // with seconds_given
    bool seconds_given = false;
    int loops = 1;
    bool loops_given = false;
    int start = 0;  // 0..255
    bool start_given = false;
    int song = 0;   // the song to render, 1..; 0: the first, from start
    int separation = 100;  // stereo separation in percent, 0..100
    AmigaModel amiga = AmigaModel::kOff;
    OutputFormat format = OutputFormat::kWav;
    bool format_given = false;
    bool trace = false;
    bool info = false;
    InfoForm info_form = InfoForm::kText;  // with info
    std::string output;  // with one module
    std::string output_dir;
    int jobs = 1;
    std::vector<std::string> modules;  // files and folders, as given
};

// Fills options from the command line. Returns -1 to go on, or the exit
// status: 0 after --help or --version, 2 after a usage error.
int parseOptions(int argc, char** argv, RenderOptions& options);

// Checks the options that take one module, once the folders are read:
// single says whether one module file was given. Returns -1 to go on, or 2
// after a usage error.
int checkSingleModule(const RenderOptions& options, bool single);

// Says "zindle-render: why" and where to find the usage on standard error;
// returns the exit status of a usage error, 2.
int usageError(const std::string& why);

// The file module is written to, unless --output names one: its path below
// the folder it was found in (its base name when named itself), its
// extension replaced by the format's, in --output-dir or the current folder.
std::string defaultOutput(const RenderOptions& options, const WalkedFile& module);
