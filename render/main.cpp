// zindle-render: plays modules through the player's own engine and mixer
// callback, offline, into WAV, FLAC or raw files, optionally with a per-tick
// trace of the engine's state, or tells what a module holds (--info); folders
// are read for the modules in them, as the player reads them. No
// audio device or display is used. The engine is one per process: a batch
// renders each module in a worker process of its own.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "player/folder_walk.h"
#include "render/module_info.h"
#include "render/render_batch.h"
#include "render/render_options.h"
#include "render/renderer.h"

namespace {

// Names each folder given that holds no file, as the player names it; true
// when nothing was found at all.
bool reportEmptyFolders(const std::vector<std::string>& paths, const std::vector<WalkedFile>& files) {
    std::vector<bool> found(paths.size(), false);
    for (const WalkedFile& file : files) found[file.argument] = true;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        struct stat info {};
        if (!found[i] && stat(paths[i].c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            std::fprintf(stderr, "zindle-render: %s: an empty folder, no module in it\n", paths[i].c_str());
    }
    return files.empty();
}

}  // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    int status = parseOptions(argc, argv, options);
    if (status >= 0) return status;
    rendererUsePlatform();
    rendererUseSeparation(options.separation);
    rendererUseAmiga(options.amiga);
    const std::vector<WalkedFile> files = folderWalk(options.modules);
    if (reportEmptyFolders(options.modules, files)) return 1;
    if (options.info) return printInfo(files, options.info_form);
    const bool single = files.size() == 1 && files.front().folder.empty();
    if ((status = checkSingleModule(options, single)) >= 0) return status;
    if (!single) return renderBatch(options, files);
    const std::string& module = files.front().path;
    const std::string path = options.output.empty() ? defaultOutput(options, files.front()) : options.output;
    return renderModule(options, module, path, false, isatty(STDERR_FILENO));
}
