// The stop signals' one handler and its cleanup list: the partial file and
// the workers, kept in fixed tables that the handler reads as they are.
#include "render/stop_signals.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

char partial_path[4096];          // "" when no file is to be removed
pid_t workers[kMaxStopWorkers];   // 0 in free slots
bool catching = false;

void onStopSignal(int signal) {
    if (partial_path[0]) unlink(partial_path);
    for (pid_t pid : workers)
        if (pid > 0) kill(pid, signal);
    for (pid_t pid : workers)
        if (pid > 0) waitpid(pid, nullptr, 0);
    _exit(128 + signal);
}

}  // namespace

void stopSignalsCatch() {
    if (catching) return;
    for (int signal : kStopSignals) std::signal(signal, onStopSignal);
    catching = true;
}

void stopRemoveOnSignal(const std::string& path) {
    if (path.size() >= sizeof partial_path) return;
    {
        StopSignalsHeld held;
        std::memcpy(partial_path, path.c_str(), path.size() + 1);
    }
    stopSignalsCatch();
}

void stopForgetFile() { partial_path[0] = 0; }

bool stopAddWorker(pid_t pid) {
    pid_t* const slot = std::find(std::begin(workers), std::end(workers), 0);
    if (slot == std::end(workers)) return false;
    *slot = pid;
    return true;
}

void stopDropWorker(pid_t pid) {
    pid_t* const slot = std::find(std::begin(workers), std::end(workers), pid);
    if (slot != std::end(workers)) *slot = 0;
}

void stopForgetAll() {
    for (int signal : kStopSignals) std::signal(signal, SIG_DFL);
    catching = false;
    partial_path[0] = 0;
    std::fill(std::begin(workers), std::end(workers), 0);
}

StopSignalsHeld::StopSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals) sigaddset(&set, signal);
    sigprocmask(SIG_BLOCK, &set, &old_);
}

void StopSignalsHeld::release() {
    if (!held_) return;
    held_ = false;
    sigprocmask(SIG_SETMASK, &old_, nullptr);
}
