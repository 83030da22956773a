// Files of our own: the user's folders, small files read whole, files
// replaced whole, folders made.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// Our folder under each base directory.
constexpr const char* kOwnFolder = "/zindle/";

// name in our folder under $variable when that is absolute, else under $HOME/fallback.
std::string userFile(const char* variable, const char* fallback, const char* name) {
    const char* base = std::getenv(variable);
    if (base && base[0] == '/') return std::string(base) + kOwnFolder + name;
    const char* home = std::getenv("HOME");
    if (!home || !*home) return "";
    return std::string(home) + "/" + fallback + kOwnFolder + name;
}

}  // namespace

UniqueFile openRegularFile(const char* path, FileKind* kind) {
    *kind = FileKind::kRegular;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (fd < 0) {
        // A socket is no file to open; its name tells it (nothing is read).
        const int why = errno;
        if (why == ENXIO && stat(path, &info) == 0 && S_ISSOCK(info.st_mode)) *kind = FileKind::kSocket;
        errno = why;
        return UniqueFile();
    }
    const int flags = fstat(fd, &info) == 0 ? fcntl(fd, F_GETFL) : -1;
    if (flags < 0 || !S_ISREG(info.st_mode)) {
        const int why = errno;
        if (flags >= 0)
            *kind = S_ISDIR(info.st_mode)    ? FileKind::kFolder
                    : S_ISFIFO(info.st_mode) ? FileKind::kPipe
                    : S_ISSOCK(info.st_mode) ? FileKind::kSocket
                                             : FileKind::kDevice;
        close(fd);
        errno = why;
        return UniqueFile();
    }
    UniqueFile file(fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? fdopen(fd, "rb") : nullptr);
    if (!file) {
        const int why = errno;
        close(fd);
        errno = why;
    }
    return file;
}

std::string userConfigFile(const char* name) { return userFile("XDG_CONFIG_HOME", ".config", name); }

std::string userStateFile(const char* name) { return userFile("XDG_STATE_HOME", ".local/state", name); }

SmallFileRead readSmallFile(const std::string& path, std::size_t max_bytes, std::string& text) {
    text.clear();
    UniqueFile in(std::fopen(path.c_str(), "rb"));
    if (!in) return SmallFileRead::kCantOpen;
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, in.get())) > 0 && text.size() <= max_bytes) text.append(block, n);
    if (std::ferror(in.get())) {
        const int why = errno;
        in.reset();
        errno = why;
        return SmallFileRead::kCantRead;
    }
    return text.size() > max_bytes ? SmallFileRead::kTooLong : SmallFileRead::kRead;
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool replaceFile(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    bool done = writeAll(fd, text.data(), text.size()) && fsync(fd) == 0;
    done = close(fd) == 0 && done;
    done = done && rename(temporary.c_str(), path.c_str()) == 0;
    if (done) return true;
    const int why = errno;
    unlink(temporary.c_str());
    errno = why;
    return false;
}

bool makeFolders(const std::string& folder, mode_t mode, std::string* failed) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) {
            if (failed) *failed = part;
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}
