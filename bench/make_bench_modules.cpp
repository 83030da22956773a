// Writes the benchmark comparison modules (sparse.mod, medium.mod, dense.mod,
// bigsamples.mod) into a folder, and with --large also large.mod.
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_modules.h"

int main(int argc, char** argv) {
    bool large = false;
    const char* folder = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--large") == 0)
            large = true;
        else
            folder = argv[i];
    }
    if (!folder) {
        std::fprintf(stderr, "Usage: %s [--large] <folder>\n", argv[0]);
        return 2;
    }
    for (const benchmods::NamedSong& named : benchmods::comparisonSet()) {
        const std::string path = std::string(folder) + "/" + named.name + ".mod";
        if (!named.song.write(path)) {
            std::fprintf(stderr, "Couldn't write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    if (large) {
        const std::string path = std::string(folder) + "/large.mod";
        if (!benchmods::largeModule().write(path)) {
            std::fprintf(stderr, "Couldn't write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
