/* loop-xmp MODULE SECONDS: libxmp's own render loop and nothing else, as a
 * whole process: loads the module, starts the player at 48000 Hz with the
 * settings xmp_start_player leaves (linear interpolation, its lowpass filter,
 * a stereo mix of 70) and runs xmp_play_frame until SECONDS of frames have
 * been made, writing none of them. What no renderer of libxmp's sound can
 * take less than. */
#include <stdio.h>
#include <stdlib.h>
#include <xmp.h>

int main(int argc, char **argv) {
    long long wanted, made = 0;
    xmp_context ctx;
    struct xmp_frame_info info;
    if (argc != 3 || atol(argv[2]) <= 0) {
        fprintf(stderr, "Usage: %s MODULE SECONDS\n", argv[0]);
        return 2;
    }
    wanted = atoll(argv[2]) * 48000;
    ctx = xmp_create_context();
    if (!ctx || xmp_load_module(ctx, argv[1]) != 0 || xmp_start_player(ctx, 48000, 0) != 0) {
        fprintf(stderr, "loop-xmp: can't play %s\n", argv[1]);
        return 1;
    }
    while (made < wanted && xmp_play_frame(ctx) == 0) {
        xmp_get_frame_info(ctx, &info);
        made += info.buffer_size / 4;
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return 0;
}
