/* timeline-xmp MODULE SECONDS: libxmp's timeline of a module, one line per
 * tick that starts within the first SECONDS: ORDER ROW TICK SPEED BPM, the
 * same columns as the positions in zindle-render's --trace. Used to compare
 * the two players' order/row/tick timelines (bench/timelines.sh). */
#include <stdio.h>
#include <stdlib.h>
#include <xmp.h>

int main(int argc, char **argv) {
    struct xmp_frame_info info;
    double elapsed = 0.0, seconds;
    xmp_context ctx;
    if (argc != 3) {
        fprintf(stderr, "Usage: %s MODULE SECONDS\n", argv[0]);
        return 2;
    }
    seconds = strtod(argv[2], NULL);
    ctx = xmp_create_context();
    if (!ctx || xmp_load_module(ctx, argv[1]) != 0) {
        fprintf(stderr, "timeline-xmp: can't load %s\n", argv[1]);
        return 1;
    }
    if (xmp_start_player(ctx, 48000, 0) != 0) {
        fprintf(stderr, "timeline-xmp: can't start the player\n");
        return 1;
    }
    while (elapsed < seconds && xmp_play_frame(ctx) == 0) {
        xmp_get_frame_info(ctx, &info);
        printf("%d %d %d %d %d\n", info.pos, info.row, info.frame, info.speed, info.bpm);
        elapsed += info.frame_time / 1e6;
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    return 0;
}
