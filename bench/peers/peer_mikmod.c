/* peer-mikmod MODULE SECONDS: renders a module with libmikmod's software
 * mixer (16-bit stereo, no interpolation, no surround, no reverb, no noise
 * reduction, not the high-quality mixer with its click removal), wrapping at
 * the song's end, and times the render loop. The library's virtual channel
 * mixer is driven through a driver of our own whose buffer we fill with
 * VC_WriteBytes, the interface libmikmod offers user-supplied drivers. */
#include <mikmod.h>

#include "peer_common.h"

static BOOL bench_is_present(void) { return 1; }
static int bench_reset(void) { return 0; }
static void bench_idle(void) {}
static void bench_command_line(const CHAR *text) { (void)text; }

static MDRIVER bench_driver = {
    .next = NULL,
    .Name = "Zindle benchmark",
    .Version = "buffer writer",
    .HardVoiceLimit = 0,
    .SoftVoiceLimit = 255,
    .Alias = "bench",
    .CmdLineHelp = NULL,
    .CommandLine = bench_command_line,
    .IsPresent = bench_is_present,
    .SampleLoad = VC_SampleLoad,
    .SampleUnload = VC_SampleUnload,
    .FreeSampleSpace = VC_SampleSpace,
    .RealSampleLength = VC_SampleLength,
    .Init = VC_Init,
    .Exit = VC_Exit,
    .Reset = bench_reset,
    .SetNumVoices = VC_SetNumVoices,
    .PlayStart = VC_PlayStart,
    .PlayStop = VC_PlayStop,
    .Update = bench_idle,
    .Pause = bench_idle,
    .VoiceSetVolume = VC_VoiceSetVolume,
    .VoiceGetVolume = VC_VoiceGetVolume,
    .VoiceSetFrequency = VC_VoiceSetFrequency,
    .VoiceGetFrequency = VC_VoiceGetFrequency,
    .VoiceSetPanning = VC_VoiceSetPanning,
    .VoiceGetPanning = VC_VoiceGetPanning,
    .VoicePlay = VC_VoicePlay,
    .VoiceStop = VC_VoiceStop,
    .VoiceStopped = VC_VoiceStopped,
    .VoiceGetPosition = VC_VoiceGetPosition,
    .VoiceRealVolume = VC_VoiceRealVolume,
};

int main(int argc, char **argv) {
    static int16_t buffer[PEER_BUFFER_FRAMES * 2];
    long buffers = peer_buffers(argc, argv), i;
    double start, elapsed;
    MODULE *module;

    MikMod_RegisterDriver(&bench_driver);
    MikMod_RegisterLoader(&load_mod);
    md_mixfreq = PEER_RATE;
    md_mode = DMODE_16BITS | DMODE_STEREO | DMODE_SOFT_MUSIC;
    md_reverb = 0;
    if (MikMod_Init("") != 0) {
        fprintf(stderr, "peer-mikmod: can't initialise: %s\n", MikMod_strerror(MikMod_errno));
        return 1;
    }
    module = Player_Load(argv[1], 64, 0);
    if (!module) {
        fprintf(stderr, "peer-mikmod: can't load %s: %s\n", argv[1], MikMod_strerror(MikMod_errno));
        MikMod_Exit();
        return 1;
    }
    module->wrap = 1;
    Player_Start(module);

    start = peer_cpu_seconds();
    for (i = 0; i < buffers; ++i) VC_WriteBytes((SBYTE *)buffer, PEER_BUFFER_BYTES);
    elapsed = peer_cpu_seconds() - start;

    peer_report("libmikmod", buffers, elapsed, buffer);
    Player_Stop();
    Player_Free(module);
    MikMod_Exit();
    return 0;
}
