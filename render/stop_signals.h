// zindle-render's stop signals (interrupt, termination, hang-up) and what
// they clean up. One handler serves them all: it erases the progress line,
// removes the partial output file this process is writing, stops the
// batch's running workers with the same signal, waits for them and removes
// what they leave, then exits with 128 plus the signal's number. Until a
// file or a progress line is registered or a batch starts, the signals keep
// their defaults.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>

// The most workers registered at once.
constexpr int kMaxStopWorkers = 256;

// Installs the handler: a batch does so as it starts.
void stopSignalsCatch();

// Removes path on a stop signal (installing the handler): the file a render
// writes before renaming it. A path too long to keep is not registered.
void stopRemoveOnSignal(const std::string& path);
// The registered file is complete or gone: a stop signal leaves it alone.
void stopForgetFile();

// While set, a stop signal erases the line standard error stands on first
// (a progress line on a terminal); setting it installs the handler.
void stopEraseLineOnSignal(bool erase);

// A batch: workers' files are kept where the batch sees them, in slots
// 0..slots-1 (at most kMaxStopWorkers), so that it can remove the file of a
// worker that died without cleaning up (SIGKILL). False when they can't be.
bool stopShareWorkerFiles(int slots);
// In a worker just forked: the stop signals back to their defaults, nothing
// registered, and the file it writes kept in slot (when the files are shared).
void stopStartWorker(int slot);
// The worker of slot has ended: removes the file it left registered, if any.
void stopRemoveWorkerFile(int slot);

// Stops the worker pid on a stop signal (once the handler is installed);
// false when kMaxStopWorkers workers are registered already.
bool stopAddWorker(pid_t pid);
// The worker pid has ended.
void stopDropWorker(pid_t pid);

// Holds the stop signals off while it lives: around a fork, so that no
// signal finds a worker started but not yet registered.
class StopSignalsHeld {
  public:
    StopSignalsHeld();
    ~StopSignalsHeld() { release(); }
    // Lets the held signals in now (a pending one is handled at once).
    void release();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

  private:
    sigset_t old_;
    bool held_ = true;
};
