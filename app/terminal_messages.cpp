#include "app/terminal_messages.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The terminal's standard error while held; -1 when not held.
int saved_stderr = -1;
std::FILE* scratch = nullptr;

// The video drivers that draw in the terminal itself.
constexpr const char* kTerminalDrivers[] = {"caca", "aalib"};

}  // namespace

void messagesHoldForTerminal() {
    const char* display = std::getenv("DISPLAY");
    if (saved_stderr >= 0 || !isatty(STDERR_FILENO) || (display && *display)) return;
    scratch = std::tmpfile();
    if (!scratch) return;
    std::fflush(stderr);
    saved_stderr = dup(STDERR_FILENO);
    if (saved_stderr < 0 || dup2(fileno(scratch), STDERR_FILENO) < 0) {
        if (saved_stderr >= 0) close(saved_stderr);
        saved_stderr = -1;
        std::fclose(scratch);
        scratch = nullptr;
    }
}

void messagesKeepFor(const char* video_driver) {
    for (const char* driver : kTerminalDrivers)
        if (video_driver && std::strcmp(video_driver, driver) == 0) return;
    messagesRelease();
}

void messagesRelease() {
    if (saved_stderr < 0) return;
    std::fflush(stderr);
    dup2(saved_stderr, STDERR_FILENO);
    close(saved_stderr);
    saved_stderr = -1;
    std::rewind(scratch);
    char block[4096];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, scratch)) > 0)
        if (write(STDERR_FILENO, block, got) < 0) break;
    std::fclose(scratch);
    scratch = nullptr;
}
