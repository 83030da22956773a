/* peer-openmpt MODULE SECONDS: renders a module with libopenmpt, no
 * interpolation (zero-order hold), no Amiga resampler, no volume ramping, no
 * dithering, repeating forever, and times the render loop. */
#include <libopenmpt/libopenmpt.h>

#include "peer_common.h"

int main(int argc, char **argv) {
    static int16_t buffer[PEER_BUFFER_FRAMES * 2];
    long buffers = peer_buffers(argc, argv), i, size = 0;
    double start, elapsed;
    int error = 0;
    const char *message = NULL;
    void *data = peer_read_file(argv[1], &size);
    openmpt_module *mod = NULL;
    if (data)
        mod = openmpt_module_create_from_memory2(data, (size_t)size, NULL, NULL, NULL, NULL, &error, &message, NULL);
    free(data);
    if (!mod) {
        fprintf(stderr, "peer-openmpt: can't load %s\n", argv[1]);
        return 1;
    }
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 1);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
    openmpt_module_ctl_set_boolean(mod, "render.resampler.emulate_amiga", 0);
    openmpt_module_ctl_set_integer(mod, "dither", 0);
    openmpt_module_set_repeat_count(mod, -1);

    start = peer_cpu_seconds();
    for (i = 0; i < buffers; ++i) openmpt_module_read_interleaved_stereo(mod, PEER_RATE, PEER_BUFFER_FRAMES, buffer);
    elapsed = peer_cpu_seconds() - start;

    peer_report("libopenmpt", buffers, elapsed, buffer);
    openmpt_module_destroy(mod);
    return 0;
}
