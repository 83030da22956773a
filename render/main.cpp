// zindle-render: plays modules through the player's own engine and mixer
// callback, offline, into WAV, FLAC or raw files, optionally with a per-tick
// trace of the engine's state, or tells what a module holds (--info). No
// audio device or display is used. The engine is one per process: a batch
// renders each module in a worker process of its own.
#include <unistd.h>

#include <string>

#include "render/module_info.h"
#include "render/render_batch.h"
#include "render/render_options.h"
#include "render/renderer.h"

int main(int argc, char** argv) {
    RenderOptions options;
    const int status = parseOptions(argc, argv, options);
    if (status >= 0) return status;
    rendererUsePlatform();
    if (options.info) return printInfo(options.modules, options.json);
    if (options.modules.size() > 1) return renderBatch(options);
    const std::string& module = options.modules.front();
    const std::string path = options.output.empty() ? defaultOutput(options, module) : options.output;
    return renderModule(options, module, path, false, isatty(STDERR_FILENO));
}
