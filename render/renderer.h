// Rendering one module: the engine on the headless platform, watched from
// the tick's redraw point for the end of the render and for the trace, the
// frames mixed exactly as the audio device asks for them and handed to the
// output, and a progress line on a terminal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/engine.h"
#include "render/render_options.h"

// What starts a message on standard error: "" unless a batch shows its
// progress line on a terminal, which each message then erases first.
extern const char* render_message_start;

// Puts the engine on the renderer's platform. Once, before the rest.
void rendererUsePlatform();
// The stereo separation (0..100) every render from now on plays at.
void rendererUseSeparation(int percent);
// The Amiga model every render plays our engine's modules with (--amiga).
void rendererUseAmiga(AmigaModel model);

// Renders the module at module_path to path ("-": standard output) as the
// options say, making path's folders when --output didn't name it. batch:
// one-line messages; show_progress: the progress line. Says on standard
// error when the module's sample data is cut short. Returns the exit
// status: 0 done, 1 failed (after saying why on standard error).
int renderModule(const RenderOptions& options, const std::string& module_path, const std::string& path, bool batch,
                 bool show_progress);

// The frames of one pass of song from order position 0 (at most 30
// minutes), found by running its ticks without writing frames. The ticks
// may change the song (E5 sets a finetune, EF rewrites sample data).
std::uint64_t onePassFrames(LoadedSong* song);

// One pass of a song from an order position: its frames, and for each order
// position of the module the frame at which the pass first plays it (-1:
// the pass never does).
struct PassTimes {
    std::uint64_t frames = 0;
    std::vector<std::int64_t> position_frames;
};
// The times of one pass of song from order position start (at most 30
// minutes), found as onePassFrames finds its length.
PassTimes onePassTimes(LoadedSong* song, int start);

// Says that the module at path couldn't be loaded and why: one line in a
// batch or --info, else the loader's full account.
void loadFailed(const std::string& path, bool batch, const LoadRefusal& why);

// Whether a file found in a folder is taken for a module: one the loader
// reads, or one it knows for a module it can't play (another tracker's, a
// channel count it doesn't play) or can't tell (a file it can't read),
// which then fails as a module named alone does. False, with why, for a
// file no loader takes for a module (text, pictures, anything too short or
// without a tag): such a file is skipped.
bool recognisedAsModule(const std::string& path, LoadRefusal& why);
// Says in one line that the file at path was skipped, and why.
void reportSkipped(const std::string& path, const LoadRefusal& why);
// The loader's words for why.
std::string refusalText(const LoadRefusal& why);
