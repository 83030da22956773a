/* peer-xmp MODULE SECONDS: renders a module with libxmp, nearest-neighbour,
 * no lowpass DSP, looping forever, and times the render loop. libxmp has no
 * switch for its volume ramping; it stays as the library ships it. */
#include <xmp.h>

#include "peer_common.h"

int main(int argc, char **argv) {
    static int16_t buffer[PEER_BUFFER_FRAMES * 2];
    long buffers = peer_buffers(argc, argv), i;
    double start, elapsed;
    xmp_context ctx = xmp_create_context();
    if (!ctx || xmp_load_module(ctx, argv[1]) != 0) {
        fprintf(stderr, "peer-xmp: can't load %s\n", argv[1]);
        return 1;
    }
    if (xmp_start_player(ctx, PEER_RATE, 0) != 0) {
        fprintf(stderr, "peer-xmp: can't start the player\n");
        return 1;
    }
    xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_NEAREST);
    xmp_set_player(ctx, XMP_PLAYER_DSP, 0);

    start = peer_cpu_seconds();
    for (i = 0; i < buffers; ++i) xmp_play_buffer(ctx, buffer, PEER_BUFFER_BYTES, 0);
    elapsed = peer_cpu_seconds() - start;

    peer_report("libxmp", buffers, elapsed, buffer);
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return 0;
}
