// Running the real programs from tests: arguments, environment, captured
// output, exit status, and signals.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace harness {

struct Result {
    int status = -1;   // exit status, or 128 + signal
    std::string out;   // standard output
    std::string err;   // standard error
};

using Env = std::vector<std::pair<std::string, std::string>>;

// Runs a program to its end (killed after timeout_s seconds).
Result run(const std::vector<std::string>& argv, const Env& env = {}, int timeout_s = 120);

// A program running in the background, its output going to files.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const Env& env, const std::string& out_path,
          const std::string& err_path);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return pid_; }
    bool running();
    void signal(int sig);
    // Waits for the end (up to timeout_s); the exit status or 128 + signal, -1 on timeout.
    int wait(int timeout_s);

  private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// Waits until the file at path holds at least size bytes; false on timeout.
bool waitForSize(const std::string& path, off_t size, int timeout_s);

// The whole file at path ("" when it can't be read).
std::string readText(const std::string& path);
// The program of that name on PATH, or "" when there is none.
std::string findProgram(const std::string& name);

// The player's state and settings folders (XDG_STATE_HOME, XDG_CONFIG_HOME)
// under folder, "xdg-state" and "xdg-config", and the folder standing for
// /sys (ZINDLE_SYSFS), "sys": a test's own, never the home's or the board's.
Env userFolders(const std::string& folder);
// Environment for the player without a screen or sound card, its state and
// settings folders beside audio_file.
Env headlessEnv(const std::string& audio_file);

// Runs the player (argv) without a screen or sound card in folder: its
// sound goes to folder/audio.raw, its output to folder/out and folder/err.
// Once the sound holds `bytes` bytes (within timeout_s) it is sent sig. The
// exit status; -1 when the sound didn't come or it didn't end within 30 s
// of the signal, -2 when it had already ended.
int playHeadless(const std::vector<std::string>& argv, const std::string& folder, off_t bytes, int timeout_s = 60,
                 int sig = SIGTERM);

// Sets variables of the tests' own environment (for code they run in
// process) while it lives; then puts back what was there.
class ScopedEnv {
  public:
    explicit ScopedEnv(const Env& env);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace harness
