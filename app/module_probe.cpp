#include "app/module_probe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>

namespace {

constexpr int kLowestPriority = 19;

std::string renderer;
std::map<std::size_t, ModuleFacts> facts;
std::optional<std::pair<std::size_t, std::string>> wanted;

struct Running {
    pid_t pid = -1;
    int fd = -1;
    std::size_t entry = 0;
    std::string out;
};
Running child;

bool executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

std::string onPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t at = 0;
    while (at <= dirs.size()) {
        const std::size_t end = dirs.find(':', at);
        const std::string dir = dirs.substr(at, end == std::string::npos ? std::string::npos : end - at);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (executable(candidate)) return candidate;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return "";
}

// The number after "key": in json, or fallback.
long numberAfter(const std::string& json, const std::string& key, long fallback) {
    const std::size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos) return fallback;
    char* end = nullptr;
    const long value = std::strtol(json.c_str() + at + key.size() + 3, &end, 10);
    return end == json.c_str() + at + key.size() + 3 ? fallback : value;
}

// The first string value inside the "format" member.
std::string formatName(const std::string& json) {
    const std::size_t at = json.find("\"format\":");
    if (at == std::string::npos) return "";
    std::size_t colon = json.find("\":\"", at + 9);
    if (json.compare(at + 9, 1, "\"") == 0) colon = at + 8;  // "format":"XM"
    if (colon == std::string::npos) return "";
    const std::size_t start = colon + 3;
    const std::size_t end = json.find('"', start);
    return end == std::string::npos ? "" : json.substr(start, end - start);
}

void finish() {
    ModuleFacts result = probeParse(child.out);
    close(child.fd);
    int status = 0;
    waitpid(child.pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) result.failed = true;
    result.known = true;
    facts[child.entry] = result;
    child = Running{};
}

void start(std::size_t entry, const std::string& path) {
    int fds[2];
    if (renderer.empty() || pipe(fds) != 0) {
        ModuleFacts none;
        none.known = none.failed = true;
        facts[entry] = none;
        return;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        setpriority(PRIO_PROCESS, 0, kLowestPriority);
        dup2(fds[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(renderer.c_str(), renderer.c_str(), "--json", "--", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return;
    }
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    child = Running{pid, fds[0], entry, ""};
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
    for (const std::string& candidate : {dir + "/zindle-render", dir + "/render/zindle-render"})
        if (executable(candidate)) {
            renderer = candidate;
            return;
        }
    renderer = onPath("zindle-render");
}

void probeWant(std::size_t entry, const std::string& path) {
    if (facts.count(entry)) return;
    wanted.emplace(entry, path);
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
    if (child.pid <= 0 && wanted) {
        const auto [entry, path] = *wanted;
        wanted.reset();
        if (!facts.count(entry)) start(entry, path);
        changed = changed || facts.count(entry) != 0;
    }
    return changed;
}

const ModuleFacts& probeFacts(std::size_t entry) {
    static const ModuleFacts unknown;
    const auto it = facts.find(entry);
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
    wanted.reset();
}

ModuleFacts probeParse(const std::string& json) {
    ModuleFacts result;
    result.format = formatName(json);
    result.channels = static_cast<int>(numberAfter(json, "channels", 0));
    result.duration_ms = numberAfter(json, "duration_ms", -1);
    result.failed = result.format.empty() || result.duration_ms < 0;
    return result;
}
