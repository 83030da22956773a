// What the module list tells of a module before it plays: its format,
// channels and one-pass length, found by zindle-render --probe-line in a
// child process at low priority, one at a time, so that neither the sound
// nor the screen waits for it. Results are kept per module file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ModuleFacts {
    bool known = false;   // the child has answered
    bool failed = false;  // it couldn't tell (not a module, no renderer)
    std::string format;   // "M.K.", "XM", ...
    int channels = 0;
    long duration_ms = 0;
    // One pass of each song of the module: where it starts, its frames, and
    // for each order position the frame at which it is first played.
    struct SongTimes {
        int start = 0;
        std::int64_t pass_frames = 0;
        std::vector<std::int64_t> position_frames;  // -1: never
    };
    std::vector<SongTimes> songs;  // empty from a renderer that tells none
};

// Where zindle-render is, found once from the player's own path (argv0):
// beside it, in render/ beside it (a build folder), or else on PATH (searched
// as each child starts).
void probeFindRenderer(const char* argv0);
// Asks for the facts of the module at path; started when no other child
// runs, those asked for first first (of many asked for at once, the latest
// few are kept).
void probeWant(const std::string& path);
// Asks for the facts of the modules at paths (the list's page, the
// cursor's first), started in that order after those asked for by probeWant;
// replaces the paths the last call asked for.
void probeWantPage(const std::vector<std::string>& paths);
// Reads what a running child has written, without waiting; true when a
// result came in since the last call.
bool probePoll();
// The facts of the module at path so far.
const ModuleFacts& probeFacts(const std::string& path);
// Stops a running child and forgets every result.
void probeStop();
// Reads what zindle-render --probe-line wrote for one module: a line
// FORMAT<TAB>CHANNELS<TAB>MILLISECONDS, then a field START/PASS_FRAMES/F0,F1,...
// per song (Fi a frame, "-" for never). Failed for anything else (the empty
// line of a module that can't be loaded, a cut line, a song field that isn't
// one), and for a format without a name (an untagged MOD): the list has
// nothing to show of it.
ModuleFacts probeParse(const std::string& output);
