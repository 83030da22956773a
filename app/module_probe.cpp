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
#include <utility>

extern char** environ;

namespace {

constexpr int kLowestPriority = 19;
// Looked for on PATH when it is not beside the player.
constexpr const char* kRendererName = "zindle-render";

std::string renderer = kRendererName;
// Modules asked for by probeWant and not yet started, at most this many:
// a player switched fast asks for every module it starts.
constexpr std::size_t kMaxWanted = 4;

std::map<std::string, ModuleFacts> facts;
std::vector<std::string> wanted;  // the first asked for first
std::vector<std::string> page_wanted;  // the list's page, asked for after those

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

// The parts of text between the separators.
std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos) return parts;
        from = at + 1;
    }
}

// A song's field of a probe line, START/PASS_FRAMES/F0,F1,... (Fi a frame
// or "-"; no Fi for a module of no positions).
bool songTimes(std::string_view field, ModuleFacts::SongTimes& song) {
    constexpr std::int64_t kMostFrames = std::numeric_limits<std::int64_t>::max();
    const std::vector<std::string_view> parts = split(field, '/');
    if (parts.size() != 3 || !wholeNumber(parts[0], std::numeric_limits<int>::max(), song.start) ||
        !wholeNumber(parts[1], kMostFrames, song.pass_frames))
        return false;
    if (parts[2].empty()) return true;
    for (std::string_view frame : split(parts[2], ',')) {
        std::int64_t value = -1;
        if (frame != "-" && !wholeNumber(frame, kMostFrames, value)) return false;
        song.position_frames.push_back(value);
    }
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

// Whether path is known, or being found.
bool knownOrRunning(const std::string& path) { return facts.count(path) || (child.pid > 0 && child.path == path); }

// The next module to find: the first of wanted, else of the page's, that
// isn't known; "" for none.
std::string nextWanted() {
    for (std::vector<std::string>* queue : {&wanted, &page_wanted})
        while (!queue->empty()) {
            std::string path = std::move(queue->front());
            queue->erase(queue->begin());
            if (!facts.count(path)) return path;
        }
    return std::string();
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
    if (knownOrRunning(path) || std::find(wanted.begin(), wanted.end(), path) != wanted.end()) return;
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
    if (child.pid <= 0) {
        const std::string path = nextWanted();
        if (!path.empty()) start(path);
        changed = changed || facts.count(path) != 0;
    }
    return changed;
}

const ModuleFacts& probeFacts(const std::string& path) {
    static const ModuleFacts unknown;
    const auto it = facts.find(path);
    return it == facts.end() ? unknown : it->second;
}

void probeWantPage(const std::vector<std::string>& paths) {
    page_wanted.clear();
    for (const std::string& path : paths)
        if (!knownOrRunning(path)) page_wanted.push_back(path);
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
    page_wanted.clear();
}

ModuleFacts probeParse(const std::string& output) {
    ModuleFacts result;
    result.failed = true;
    if (output.empty() || output.back() != '\n') return result;
    const std::string_view line(output.data(), output.size() - 1);
    if (line.find('\n') != std::string_view::npos) return result;
    const std::vector<std::string_view> fields = split(line, '\t');
    if (fields.size() < 3 || fields[0].empty() ||
        !wholeNumber(fields[1], std::numeric_limits<int>::max(), result.channels) ||
        !wholeNumber(fields[2], std::numeric_limits<long>::max(), result.duration_ms))
        return result;
    std::vector<ModuleFacts::SongTimes> songs(fields.size() - 3);
    for (std::size_t i = 3; i < fields.size(); ++i)
        if (!songTimes(fields[i], songs[i - 3])) return result;
    result.songs = std::move(songs);
    result.format = fields[0];
    result.failed = false;
    return result;
}
