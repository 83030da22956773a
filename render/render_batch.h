// A batch: each module rendered by a worker process of its own (the engine
// is one per process), --jobs at a time, with one progress line on a
// terminal or a line per module finished.
#pragma once

#include "render/render_options.h"

// Renders options.modules, each to its default output. Returns the exit
// status: 0 when all were written, 1 when any failed, 2 when two modules
// would write the same file (nothing is rendered then).
int renderBatch(const RenderOptions& options);
