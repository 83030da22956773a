#include "app/module_probe.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <limits>
#include <map>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

constexpr int kLowestPriority = 19;
// Looked for on PATH when it is not beside the player.
constexpr const char* kRendererName = "zindle-render";

std::string renderer = kRendererName;
// Modules asked for and not yet started, at most this many: a list scrolled
// fast asks for every page's module.
constexpr std::size_t kMaxWanted = 4;

std::map<std::string, ModuleFacts> facts;
std::vector<std::string> wanted;  // the first asked for first

struct Running {
    pid_t pid = -1;
    int fd = -1;
    std::string path;
    std::string out;
};
Running child;

bool executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

// A field of decimal digits alone, as a number no bigger than high.
template <typename Number>
bool wholeNumber(std::string_view field, Number high, Number& value) {
    unsigned long long parsed = 0;
    const char* end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, parsed);
    if (field.empty() || error != std::errc() || stop != end || parsed > static_cast<unsigned long long>(high))
        return false;
    value = static_cast<Number>(parsed);
    return true;
}

void finish() {
    ModuleFacts result = probeParse(child.out);
    close(child.fd);
    int status = 0;
    waitpid(child.pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) result.failed = true;
    result.known = true;
    facts[child.path] = result;
    child = Running{};
}

void giveUp(const std::string& path) {
    ModuleFacts none;
    none.known = none.failed = true;
    facts[path] = none;
}

// Starts the renderer on path, its standard output into a pipe read here,
// its standard error to /dev/null, then lowers it to the lowest priority.
void start(const std::string& path) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        giveUp(path);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string option = "--probe-line", end_of_options = "--", module = path;
    char* const argv[] = {renderer.data(), option.data(), end_of_options.data(), module.data(), nullptr};
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, renderer.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (error != 0) {
        close(fds[0]);
        // No process to be had just now: asked for again with the next page.
        if (error != EAGAIN && error != ENOMEM) giveUp(path);
        return;
    }
    setpriority(PRIO_PROCESS, static_cast<id_t>(pid), kLowestPriority);
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    child = Running{pid, fds[0], path, ""};
}

}  // namespace

void probeFindRenderer(const char* argv0) {
    std::string dir = ".";
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        dir = self;
    } else if (argv0) {
        dir = argv0;
    }
    const std::size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    renderer = kRendererName;
    for (const std::string& candidate : {dir + "/" + kRendererName, dir + "/render/" + kRendererName})
        if (executable(candidate)) {
            renderer = candidate;
            return;
        }
}

void probeWant(const std::string& path) {
    if (facts.count(path) || (child.pid > 0 && child.path == path) ||
        std::find(wanted.begin(), wanted.end(), path) != wanted.end())
        return;
    if (wanted.size() >= kMaxWanted) wanted.erase(wanted.begin() + 1);  // the first asked for stays
    wanted.push_back(path);
}

bool probePoll() {
    bool changed = false;
    if (child.pid > 0) {
        char block[4096];
        for (;;) {
            const ssize_t got = read(child.fd, block, sizeof block);
            if (got > 0) {
                child.out.append(block, static_cast<std::size_t>(got));
                continue;
            }
            if (got == 0) {
                finish();
                changed = true;
            }
            break;  // EAGAIN: more later
        }
    }
    if (child.pid <= 0 && !wanted.empty()) {
        const std::string path = wanted.front();
        wanted.erase(wanted.begin());
        if (!facts.count(path)) start(path);
        changed = changed || facts.count(path) != 0;
    }
    return changed;
}

const ModuleFacts& probeFacts(const std::string& path) {
    static const ModuleFacts unknown;
    const auto it = facts.find(path);
    return it == facts.end() ? unknown : it->second;
}

void probeStop() {
    if (child.pid > 0) {
        kill(child.pid, SIGKILL);
        close(child.fd);
        waitpid(child.pid, nullptr, 0);
    }
    child = Running{};
    facts.clear();
    wanted.clear();
}

ModuleFacts probeParse(const std::string& output) {
    ModuleFacts result;
    result.failed = true;
    if (output.empty() || output.back() != '\n') return result;
    const std::string_view line(output.data(), output.size() - 1);
    const std::size_t first_tab = line.find('\t');
    if (first_tab == std::string_view::npos || line.find('\n') != std::string_view::npos) return result;
    const std::size_t second_tab = line.find('\t', first_tab + 1);
    if (second_tab == std::string_view::npos || line.find('\t', second_tab + 1) != std::string_view::npos) return result;
    const std::string_view format = line.substr(0, first_tab);
    const std::string_view channels = line.substr(first_tab + 1, second_tab - first_tab - 1);
    const std::string_view ms = line.substr(second_tab + 1);
    if (format.empty() || !wholeNumber(channels, std::numeric_limits<int>::max(), result.channels) ||
        !wholeNumber(ms, std::numeric_limits<long>::max(), result.duration_ms))
        return result;
    result.format = format;
    result.failed = false;
    return result;
}
