// The reference for zindle-render's renders of libxmp's modules: libxmp
// alone, started as its player starts (linear interpolation, its lowpass
// filter), with a stereo mix of 70, the frames taken with xmp_play_buffer.
//   zindle-xmp-reference MODULE OUT START seconds S   exactly floor(S * 48000) frames
//   zindle-xmp-reference MODULE OUT START loops N     N passes: up to the first frame whose loop count is N
// OUT receives s16le stereo frames. Exit status 0, or 1 when the module
// can't be loaded or OUT written.
#include <xmp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s MODULE OUT START seconds|loops VALUE\n", argv[0]);
        return 2;
    }
    constexpr int kRate = 48000;
    constexpr int kMix = 70;
    const int start = std::atoi(argv[3]);
    const bool seconds = std::strcmp(argv[4], "seconds") == 0;
    const long long frames = seconds ? static_cast<long long>(std::atof(argv[5]) * kRate) : -1;
    const int loops = seconds ? 0 : std::atoi(argv[5]);

    xmp_context context = xmp_create_context();
    if (xmp_load_module(context, argv[1]) < 0) return 1;
    if (xmp_start_player(context, kRate, 0) < 0) return 1;
    xmp_set_player(context, XMP_PLAYER_MIX, kMix);
    if (start > 0) xmp_set_position(context, start);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 1;
    // One frame at a time, so that the last pass ends on the frame it ends at.
    unsigned char frame[4];
    for (long long n = 0; frames < 0 || n < frames; ++n) {
        if (xmp_play_buffer(context, frame, sizeof frame, loops) != 0) break;
        if (std::fwrite(frame, sizeof frame, 1, out) != 1) return 1;
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return std::fclose(out) == 0 ? 0 : 1;
}
