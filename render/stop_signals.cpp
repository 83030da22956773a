// The stop signals' one handler and its cleanup list: the partial file, the
// progress line and the workers, kept in fixed tables that the handler reads
// as they are. A batch's workers keep their partial files in a table shared
// with it, one slot per worker.
#include "render/stop_signals.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kPathBytes = 4096;
constexpr char kEraseLine[] = "\r\033[K";

char own_path[kPathBytes];
char* partial_path = own_path;    // "" when no file is to be removed
char* shared_paths = nullptr;     // a batch's workers' files, kPathBytes a slot
int shared_slots = 0;
pid_t workers[kMaxStopWorkers];   // 0 in free slots
volatile sig_atomic_t erase_line = 0;
bool catching = false;

void onStopSignal(int signal) {
    if (erase_line) (void)!write(STDERR_FILENO, kEraseLine, sizeof kEraseLine - 1);
    if (partial_path[0]) unlink(partial_path);
    for (pid_t pid : workers)
        if (pid > 0) kill(pid, signal);
    for (pid_t pid : workers)
        if (pid > 0) waitpid(pid, nullptr, 0);
    for (int slot = 0; slot < shared_slots; ++slot)
        if (shared_paths[slot * kPathBytes]) unlink(shared_paths + slot * kPathBytes);
    _exit(128 + signal);
}

}  // namespace

void stopSignalsCatch() {
    if (catching) return;
    for (int signal : kStopSignals) std::signal(signal, onStopSignal);
    catching = true;
}

void stopRemoveOnSignal(const std::string& path) {
    if (path.size() >= kPathBytes) return;
    {
        StopSignalsHeld held;
        std::memcpy(partial_path, path.c_str(), path.size() + 1);
    }
    stopSignalsCatch();
}

void stopForgetFile() { partial_path[0] = 0; }

void stopEraseLineOnSignal(bool erase) {
    erase_line = erase;
    if (erase) stopSignalsCatch();
}

bool stopShareWorkerFiles(int slots) {
    slots = std::min(slots, kMaxStopWorkers);
    void* table = mmap(nullptr, static_cast<std::size_t>(slots) * kPathBytes, PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (table == MAP_FAILED) return false;
    shared_paths = static_cast<char*>(table);  // zero-filled, and kept until the batch exits
    shared_slots = slots;
    return true;
}

void stopStartWorker(int slot) {
    for (int signal : kStopSignals) std::signal(signal, SIG_DFL);
    catching = false;
    erase_line = 0;
    std::fill(std::begin(workers), std::end(workers), 0);
    // The slots are the batch's to clean up: this worker sees its own alone.
    partial_path = slot >= 0 && slot < shared_slots ? shared_paths + slot * kPathBytes : own_path;
    shared_slots = 0;
    partial_path[0] = 0;
}

void stopRemoveWorkerFile(int slot) {
    if (slot < 0 || slot >= shared_slots) return;
    char* path = shared_paths + slot * kPathBytes;
    if (path[0]) unlink(path);
    path[0] = 0;
}

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
