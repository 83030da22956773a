// Rendering one module: the engine on the headless platform, watched from
// the tick's redraw point for the end of the render and for the trace, the
// frames mixed exactly as the audio device asks for them and handed to the
// output, and a progress line on a terminal.
#pragma once

#include <cstdint>
#include <string>

#include "player/engine.h"
#include "render/render_options.h"

// What starts a message on standard error: "" unless a batch shows its
// progress line on a terminal, which each message then erases first.
extern const char* render_message_start;

// Puts the engine on the renderer's platform. Once, before the rest.
void rendererUsePlatform();

// Renders the module at module_path to path ("-": standard output) as the
// options say. batch: one-line messages; show_progress: the progress line.
// Returns the exit status: 0 done, 1 failed (after saying why on standard
// error).
int renderModule(const RenderOptions& options, const std::string& module_path, const std::string& path, bool batch,
                 bool show_progress);

// The frames of one pass of song from order position 0 (at most 30
// minutes), found by running its ticks without writing frames. The ticks
// may change the song (E5 sets a finetune, EF rewrites sample data).
std::uint64_t onePassFrames(LoadedSong* song);

// Says that the module at path couldn't be loaded: one line in a batch or
// --info, else the loader's full account.
void loadFailed(const std::string& path, bool batch, const LoadRefusal& why);
