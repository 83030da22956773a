/* What the three peer render programs share: the command line, the CPU clock,
 * reading the module file, and the report. Each program renders the same
 * number of 4096-byte buffers (1024 frames of 48000 Hz s16 stereo) as
 * zindle-bench-render and times only that loop. */
#ifndef ZINDLE_BENCH_PEER_COMMON_H
#define ZINDLE_BENCH_PEER_COMMON_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#define PEER_RATE 48000
#define PEER_BUFFER_BYTES 4096
#define PEER_BUFFER_FRAMES (PEER_BUFFER_BYTES / 4)

static inline double peer_cpu_seconds(void) {
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Buffers to render for the seconds given on the command line; exits on bad usage. */
static inline long peer_buffers(int argc, char **argv) {
    long seconds;
    if (argc != 3) {
        fprintf(stderr, "Usage: %s MODULE SECONDS\n", argv[0]);
        exit(2);
    }
    seconds = strtol(argv[2], NULL, 10);
    if (seconds <= 0) {
        fprintf(stderr, "%s: SECONDS must be a positive whole number\n", argv[0]);
        exit(2);
    }
    return seconds * PEER_RATE * 4 / PEER_BUFFER_BYTES;
}

/* The whole file in memory (malloc'd), or NULL. */
static inline void *peer_read_file(const char *path, long *size) {
    FILE *file = fopen(path, "rb");
    void *data = NULL;
    if (!file) return NULL;
    if (fseek(file, 0, SEEK_END) == 0 && (*size = ftell(file)) > 0 && fseek(file, 0, SEEK_SET) == 0) {
        data = malloc((size_t)*size);
        if (data && fread(data, 1, (size_t)*size, file) != (size_t)*size) {
            free(data);
            data = NULL;
        }
    }
    fclose(file);
    return data;
}

/* Prints frames per CPU second on stdout, the details on stderr. */
static inline void peer_report(const char *name, long buffers, double seconds, const int16_t *last) {
    int peak = 0, i;
    double frames = (double)buffers * PEER_BUFFER_FRAMES;
    for (i = 0; i < PEER_BUFFER_FRAMES * 2; ++i) {
        int s = last[i] < 0 ? -last[i] : last[i];
        if (s > peak) peak = s;
    }
    fprintf(stderr, "%s: %.0f frames in %.6f CPU s, last buffer peak %d\n", name, frames, seconds, peak);
    printf("%.0f\n", frames / seconds);
}

#endif
