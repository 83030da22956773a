// The batch's worker pool. The stop signals (stop_signals) stop the running
// workers, and each takes its partial file with it; the partial file of a
// worker killed outright is removed by the batch.
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
    // Erases the progress line.
    void end() {
        if (terminal_) std::fputs("\r\033[K", stderr);
        terminal_ = false;
    }
    ~BatchProgress() { end(); }

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

// A module to render and the file it goes to.
struct Job {
    std::string module;
    std::string output;
};

// The time since start as m:ss.s.
std::string elapsedText(std::chrono::steady_clock::time_point start) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long tenths = static_cast<long>(seconds * 10 + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

}  // namespace

int renderBatch(const RenderOptions& options, const std::vector<WalkedFile>& files) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<Job> jobs;
    std::size_t skipped = 0;
    for (const WalkedFile& file : files) {
        LoadRefusal why;
        if (!file.folder.empty() && !recognisedAsModule(file.path, why)) {
            reportSkipped(file.path, why);
            ++skipped;
            continue;
        }
        jobs.push_back({file.path, defaultOutput(options, file)});
    }
    const std::size_t total = jobs.size();
    std::vector<std::size_t> order(total);
    for (std::size_t i = 0; i < total; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return jobs[a].output < jobs[b].output; });
    for (std::size_t i = 1; i < total; ++i) {
        const Job& a = jobs[order[i - 1]];
        const Job& b = jobs[order[i]];
        if (a.output == b.output) return usageError(a.module + " and " + b.module + " would both write " + b.output);
    }

    stopSignalsCatch();
    // Without the shared table a worker killed outright may leave its partial file.
    stopShareWorkerFiles(options.jobs);
    BatchProgress progress(total);
    if (progress.terminal()) render_message_start = "\r\033[K";
    stopEraseLineOnSignal(progress.terminal());
    // The running workers by slot, and the module each renders.
    std::vector<pid_t> slot_worker(static_cast<std::size_t>(options.jobs));
    std::vector<std::size_t> slot_module(static_cast<std::size_t>(options.jobs));
    std::size_t next = 0, finished = 0, failed = 0;
    int running = 0;
    while (finished < total) {
        while (running < options.jobs && next < total) {
            const Job& job = jobs[next];
            const auto slot = static_cast<std::size_t>(std::find(slot_worker.begin(), slot_worker.end(), 0) - slot_worker.begin());
            std::fflush(nullptr);
            StopSignalsHeld held;
            const pid_t parent = getpid();
            const pid_t pid = fork();
            if (pid == 0) {
                stopStartWorker(static_cast<int>(slot));
                // A batch that dies without a word (SIGKILL) stops its workers too.
                prctl(PR_SET_PDEATHSIG, SIGTERM);
                if (getppid() != parent) std::_Exit(1);
                held.release();
                std::exit(renderModule(options, job.module, job.output, true, false));
            }
            if (pid < 0) {
                std::fprintf(stderr, "%szindle-render: can't start a worker for %s: %s\n", render_message_start, job.module.c_str(),
                             std::strerror(errno));
                progress.finished(job.module, job.output, false);
                ++failed;
                ++finished;
            } else {
                slot_worker[slot] = pid;
                stopAddWorker(pid);
                slot_module[slot] = next;
                ++running;
                progress.started(job.module);
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
        stopRemoveWorkerFile(static_cast<int>(slot));
        --running;
        ++finished;
        const Job& job = jobs[slot_module[slot]];
        const bool ok = WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0;
        if (WIFSIGNALED(wait_status))
            std::fprintf(stderr, "%szindle-render: %s: stopped by signal %d\n", render_message_start, job.module.c_str(),
                         WTERMSIG(wait_status));
        if (!ok) ++failed;
        progress.finished(job.module, job.output, ok);
    }
    progress.end();
    stopEraseLineOnSignal(false);
    std::fprintf(stderr, "zindle-render: %zu rendered, %zu skipped, %zu failed in %s\n", finished - failed, skipped, failed,
                 elapsedText(start).c_str());
    // Nothing rendered at all (every file skipped) is a failure too.
    return failed > 0 || finished == failed ? 1 : 0;
}
