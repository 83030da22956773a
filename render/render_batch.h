// A batch: each module rendered by a worker process of its own (the engine
// is one per process), --jobs at a time, with one progress line on a
// terminal or a line per module finished, and a summary at the end.
#pragma once

#include <vector>

#include "player/folder_walk.h"
#include "render/render_options.h"

// Renders files, each to its default output: every file named, and each
// file found in a folder that is a module at all (the others are skipped,
// each with a line saying why). Ends with a line counting the modules
// rendered, skipped and failed, and the time taken. Returns the exit
// status: 0 when all were written, 1 when any failed or none was rendered
// (every file skipped), 2 when two modules
// would write the same file (nothing is rendered then).
int renderBatch(const RenderOptions& options, const std::vector<WalkedFile>& files);
