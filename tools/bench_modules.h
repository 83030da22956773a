// Modules composed in code for the benchmarks: a comparison set of songs of
// different density that keep all four voices busy most of the time, and one
// large module (every pattern slot, every sample at full size) for the loader.
#pragma once

#include <string>
#include <vector>

#include "tools/modwriter.h"

namespace benchmods {

struct NamedSong {
    std::string name;   // file stem, e.g. "dense"
    modwriter::Song song;
};

// sparse, medium, dense and bigsamples (see bench_modules.cpp for what each holds).
std::vector<NamedSong> comparisonSet();

// 256 pattern blocks with every cell filled (note, sample, effect), 31 samples
// of 131070 bytes: the largest file the loader accepts, about 4.3 MB.
modwriter::Song largeModule();

}  // namespace benchmods
