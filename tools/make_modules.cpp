// zindle-make-modules SET DIR: writes one of the sets of modules composed in
// code into the folder DIR, a file per module: the demo, the test suite's
// hostile modules, the fuzzer's seeds, the benchmarks' modules and the
// modules of the shapes beyond four channels.
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tools/bench_modules.h"
#include "tools/module_sets.h"

namespace {

std::vector<ModuleFile> benchModules() {
    std::vector<ModuleFile> modules;
    for (const benchmods::NamedSong& named : benchmods::comparisonSet())
        modules.push_back({named.name + ".mod", named.song.bytes()});
    return modules;
}

std::vector<ModuleFile> benchLargeModules() {
    std::vector<ModuleFile> modules = benchModules();
    modules.push_back({"large.mod", benchmods::largeModule().bytes()});
    return modules;
}

struct ModuleSet {
    const char* name;
    const char* what;  // for the usage text
    std::vector<ModuleFile> (*modules)();
};
constexpr std::array<ModuleSet, 7> kSets = {{
    {"demo", "demo.mod, the module the player installs and plays first", demoModules},
    {"corpus", "the test suite's hostile modules, one per case (scripts/cross-check.sh)", hostileModules},
    {"seeds", "the fuzzer's seed modules (fuzz/)", fuzzSeedModules},
    {"bench", "the benchmarks' comparison set: sparse, medium, dense, bigsamples", benchModules},
    {"bench-large", "the same and large.mod, the largest module the loader accepts", benchLargeModules},
    {"formats", "6 to 32 channels, FLT8, 15 samples (bench/timelines.sh)", formatModules},
    {"trackers", "an XM, an S3M and an IT of 8 channels, for libxmp (the README's pictures); songs.xm, 3 songs", trackerModules},
}};

void printUsage(std::FILE* out) {
    std::fputs("Usage: zindle-make-modules SET DIR\n"
               "Writes the modules of SET, composed in code, into the folder DIR (made when missing),\n"
               "one file each.\n"
               "SET is one of:\n",
               out);
    for (const ModuleSet& set : kSets) std::fprintf(out, "  %-12s %s\n", set.name, set.what);
}

int usageError(const std::string& why) {
    std::fprintf(stderr, "zindle-make-modules: %s\n", why.c_str());
    printUsage(stderr);
    return 2;
}

// False, with errno set, when the file can't be written whole.
bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    UniqueFile file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return std::fclose(file.release()) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (argc != 3) return usageError("needs a SET and a DIR");
    const ModuleSet* set = nullptr;
    for (const ModuleSet& s : kSets)
        if (std::strcmp(argv[1], s.name) == 0) set = &s;
    if (!set) return usageError(std::string("no set named ") + argv[1]);

    const std::vector<ModuleFile> modules = set->modules();
    // Names made from descriptions (the hostile cases') could meet: one
    // file would silently take the other's place.
    std::set<std::string> names;
    for (const ModuleFile& module : modules) {
        if (!names.insert(module.name).second) {
            std::fprintf(stderr, "zindle-make-modules: two modules of %s are named %s\n", set->name, module.name.c_str());
            return 1;
        }
    }
    std::error_code made;
    std::filesystem::create_directories(argv[2], made);
    if (made) {
        std::fprintf(stderr, "zindle-make-modules: can't make %s: %s\n", argv[2], made.message().c_str());
        return 1;
    }
    for (const ModuleFile& module : modules) {
        const std::string path = std::string(argv[2]) + "/" + module.name;
        if (!writeFile(path, module.bytes)) {
            std::fprintf(stderr, "zindle-make-modules: can't write %s: %s\n", path.c_str(), std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
