// The batch's worker pool. The stop signals (stop_signals) stop the running
// workers, and each takes its partial file with it.
#include "render/render_batch.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/renderer.h"
#include "render/stop_signals.h"

static_assert(kMaxJobs <= kMaxStopWorkers, "every worker of a batch is stopped with it");

namespace {

// One line on a terminal (modules done, the latest started, time left),
// else one plain line per module finished.
class BatchProgress {
  public:
    BatchProgress(std::size_t total) : total_(total), terminal_(isatty(STDERR_FILENO)), start_(std::chrono::steady_clock::now()) {}
    void started(const std::string& module) {
        current_ = module;
        show();
    }
    bool terminal() const { return terminal_; }
    void finished(const std::string& module, const std::string& output, bool ok) {
        ++done_;
        if (terminal_) {
            show();
        } else if (ok) {
            std::fprintf(stderr, "zindle-render: [%zu/%zu] %s -> %s\n", done_, total_, module.c_str(), output.c_str());
        } else {
            std::fprintf(stderr, "zindle-render: [%zu/%zu] %s failed\n", done_, total_, module.c_str());
        }
    }
    ~BatchProgress() {
        if (terminal_) std::fputs("\r\033[K", stderr);
    }

  private:
    void show() const {
        if (!terminal_) return;
        std::fprintf(stderr, "\r\033[K%zu of %zu done, %s", done_, total_, current_.c_str());
        if (done_ > 0 && done_ < total_) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
            const auto left = static_cast<long>(elapsed / static_cast<double>(done_) * static_cast<double>(total_ - done_) + 0.5);
            std::fprintf(stderr, ", about %ld:%02ld left", left / 60, left % 60);
        }
        std::fflush(stderr);
    }

    std::size_t total_;
    std::size_t done_ = 0;
    bool terminal_;
    std::string current_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace

int renderBatch(const RenderOptions& options) {
    const std::size_t total = options.modules.size();
    std::vector<std::string> outputs;
    for (const std::string& module : options.modules) outputs.push_back(defaultOutput(options, module));
    std::vector<std::size_t> order(total);
    for (std::size_t i = 0; i < total; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return outputs[a] < outputs[b]; });
    for (std::size_t i = 1; i < total; ++i) {
        if (outputs[order[i]] == outputs[order[i - 1]])
            return usageError(options.modules[order[i - 1]] + " and " + options.modules[order[i]] + " would both write " +
                              outputs[order[i]]);
    }

    stopSignalsCatch();
    BatchProgress progress(total);
    if (progress.terminal()) render_message_start = "\r\033[K";
    // The running workers by slot, and the module each renders.
    std::vector<pid_t> slot_worker(static_cast<std::size_t>(options.jobs));
    std::vector<std::size_t> slot_module(static_cast<std::size_t>(options.jobs));
    std::size_t next = 0, finished = 0;
    int running = 0, status = 0;
    while (finished < total) {
        while (running < options.jobs && next < total) {
            std::fflush(nullptr);
            StopSignalsHeld held;
            const pid_t parent = getpid();
            const pid_t pid = fork();
            if (pid == 0) {
                stopForgetAll();
                // A batch that dies without a word (SIGKILL) stops its workers too.
                prctl(PR_SET_PDEATHSIG, SIGTERM);
                if (getppid() != parent) std::_Exit(1);
                held.release();
                std::exit(renderModule(options, options.modules[next], outputs[next], true, false));
            }
            if (pid < 0) {
                std::fprintf(stderr, "%szindle-render: can't start a worker for %s: %s\n", render_message_start, options.modules[next].c_str(),
                             std::strerror(errno));
                progress.finished(options.modules[next], outputs[next], false);
                status = 1;
                ++finished;
            } else {
                const auto slot = static_cast<std::size_t>(std::find(slot_worker.begin(), slot_worker.end(), 0) - slot_worker.begin());
                slot_worker[slot] = pid;
                stopAddWorker(pid);
                slot_module[slot] = next;
                ++running;
                progress.started(options.modules[next]);
            }
            ++next;
        }
        if (running == 0) continue;
        int wait_status = 0;
        const pid_t pid = waitpid(-1, &wait_status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        StopSignalsHeld held;
        const auto slot = static_cast<std::size_t>(std::find(slot_worker.begin(), slot_worker.end(), pid) - slot_worker.begin());
        if (slot == slot_worker.size()) continue;
        slot_worker[slot] = 0;
        stopDropWorker(pid);
        --running;
        ++finished;
        const std::size_t m = slot_module[slot];
        const bool ok = WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0;
        if (WIFSIGNALED(wait_status))
            std::fprintf(stderr, "%szindle-render: %s: stopped by signal %d\n", render_message_start, options.modules[m].c_str(),
                         WTERMSIG(wait_status));
        if (!ok) status = 1;
        progress.finished(options.modules[m], outputs[m], ok);
    }
    return status;
}
