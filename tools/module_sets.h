// The sets of modules zindle-make-modules writes, each composed in code in
// a file of its own: the demo, the test suite's hostile modules, the
// fuzzer's seeds and the modules of the shapes beyond four channels. (The
// benchmarks' set is tools/bench_modules.h.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One module of a set: its file name and its bytes.
struct ModuleFile {
    std::string name;  // e.g. "demo.mod"
    std::vector<std::uint8_t> bytes;
};

// demo.mod: the piece the player installs and plays by default
// (tools/demo_module.cpp).
std::vector<ModuleFile> demoModules();

// The hostile modules of tools/hostile_cases.h, one file per case, named
// after the case (tools/hostile_corpus.cpp).
std::vector<ModuleFile> hostileModules();

// The fuzzer's seed corpus (tools/fuzz_seeds.cpp).
std::vector<ModuleFile> fuzzSeedModules();

// 6, 8, 16 and 32 channels, FLT8 and the untagged 15-sample files, composed
// so that their timelines tell the shapes apart (tools/format_modules.cpp).
std::vector<ModuleFile> formatModules();

// An XM, an S3M and an IT of eight channels on 8- and 16-bit instruments,
// for libxmp's engine, and an XM of three songs (tools/tracker_modules.cpp).
std::vector<ModuleFile> trackerModules();
