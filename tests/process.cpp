#include "tests/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace harness {

namespace {

pid_t spawn(const std::vector<std::string>& argv, const Env& env, int out_fd, int err_fd) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (out_fd >= 0) dup2(out_fd, 1);
    if (err_fd >= 0) dup2(err_fd, 2);
    const int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd >= 0) dup2(null_fd, 0);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

int decode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool waitForSize(const std::string& path, off_t size, int timeout_s) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    struct stat info {};
    while (std::chrono::steady_clock::now() < deadline) {
        if (stat(path.c_str(), &info) == 0 && info.st_size >= size) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int playHeadless(const std::vector<std::string>& argv, const std::string& folder, off_t bytes, int timeout_s, int sig) {
    const std::string audio = folder + "/audio.raw";
    Child child(argv, headlessEnv(audio), folder + "/out", folder + "/err");
    if (!waitForSize(audio, bytes, timeout_s)) return -1;
    if (!child.running()) return -2;
    child.signal(sig);
    return child.wait(30);
}

Result run(const std::vector<std::string>& argv, const Env& env, int timeout_s) {
    // The output is captured in a folder of its own, like every test's files.
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/zindle-test-XXXXXX";
    Result result;
    if (!mkdtemp(folder.data())) {
        result.err = "can't make a temp folder for the output";
        return result;
    }
    const std::string out_name = folder + "/out";
    const std::string err_name = folder + "/err";
    {
        Child child(argv, env, out_name, err_name);
        result.status = child.wait(timeout_s);
    }
    result.out = readText(out_name);
    result.err = readText(err_name);
    unlink(out_name.c_str());
    unlink(err_name.c_str());
    rmdir(folder.c_str());
    return result;
}

Child::Child(const std::vector<std::string>& argv, const Env& env, const std::string& out_path,
             const std::string& err_path) {
    const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_ = spawn(argv, env, out_fd, err_fd);
    if (out_fd >= 0) close(out_fd);
    if (err_fd >= 0) close(err_fd);
}

Child::~Child() {
    if (running()) {
        kill(pid_, SIGKILL);
        wait(10);
    }
}

bool Child::running() {
    if (pid_ <= 0 || status_ != -1) return false;
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        status_ = decode(status);
        return false;
    }
    return true;
}

void Child::signal(int sig) {
    if (running()) kill(pid_, sig);
}

int Child::wait(int timeout_s) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
            status_ = -1;
            pid_ = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}

Env userFolders(const std::string& folder) {
    return {{"XDG_STATE_HOME", folder + "/xdg-state"},
            {"XDG_CONFIG_HOME", folder + "/xdg-config"},
            {"ZINDLE_SYSFS", folder + "/sys"}};
}

Env headlessEnv(const std::string& audio_file) {
    const std::size_t slash = audio_file.rfind('/');
    Env env = userFolders(slash == std::string::npos ? "." : audio_file.substr(0, slash));
    env.insert(env.end(), {{"SDL_VIDEODRIVER", "dummy"},
                           {"SDL_AUDIODRIVER", "disk"},
                           {"SDL_DISKAUDIOFILE", audio_file},
                           {"SDL_DISKAUDIODELAY", "10"}});
    return env;
}

ScopedEnv::ScopedEnv(const Env& env) {
    for (const auto& [name, value] : env) {
        const char* was = std::getenv(name.c_str());
        saved_.emplace_back(name, was ? std::optional<std::string>(was) : std::nullopt);
        setenv(name.c_str(), value.c_str(), 1);
    }
}

ScopedEnv::~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second)
            setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
}

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

}  // namespace harness
