// Writes the demo module, composed here with original synthesized samples.
#include <cstdio>

#include "tools/modwriter.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s <output.mod>\n", argv[0]);
        return 2;
    }
    modwriter::Song song;
    song.title = "zindle demo";
    song.samples[0].name = "square";
    for (int i = 0; i < 64; ++i) song.samples[0].data.push_back(i < 32 ? 64 : -64);
    song.samples[0].loop_length_words = 32;
    song.row(0, 0, "C-2 01 ... | --- -- ... | --- -- ... | --- -- ...");
    if (!song.write(argv[1])) {
        std::fprintf(stderr, "Couldn't write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
