// The lights are kernel attribute files: small text, read whole, written
// whole. Each is opened without waiting and written only when it is a
// regular file, so a folder put in place of /sys can hold nothing that
// hangs the player.
#include "platform/backlight.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"

namespace {

constexpr const char* kRootVariable = "ZINDLE_SYSFS";
constexpr const char* kDefaultRoot = "/sys";
constexpr const char* kBacklights = "/class/backlight";
constexpr const char* kFramebufferBlank = "/class/graphics/fb0/blank";

// What each file is given to switch its light off, and the framebuffer's
// blank to show again when it can't be read (it often can't).
struct LightFile {
    const char* name;
    const char* off;
};
// bl_power takes the framebuffer's blanking levels: 4 powers the light down.
constexpr LightFile kBacklightFiles[] = {{"bl_power", "4"}, {"brightness", "0"}};
constexpr const char* kBlankOff = "1";
constexpr const char* kBlankOn = "0";
// An attribute's text is a number: anything longer isn't one of ours.
constexpr std::size_t kMaxValue = 32;

struct Switched {
    std::string path;
    std::string before;
};
// The files switched off, in the order they were; empty while the lights are on.
std::vector<Switched> switched;

std::string sysRoot() {
    const char* root = std::getenv(kRootVariable);
    return root && *root ? root : kDefaultRoot;
}

// The file's text without its line end; false when it can't be read.
bool readValue(const std::string& path, std::string& value) {
    FileKind kind = FileKind::kRegular;
    UniqueFile file = openRegularFile(path.c_str(), &kind);
    if (!file) return false;
    char text[kMaxValue + 1] = "";
    const std::size_t got = std::fread(text, 1, kMaxValue, file.get());
    text[got] = '\0';
    value.assign(text, std::strcspn(text, "\n"));
    return !value.empty();
}

bool writeValue(const std::string& path, const std::string& value) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info {};
    const std::string line = value + "\n";
    const bool written = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                         write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    close(fd);
    return written;
}

// Switches the file off, keeping what it said; before is what to give back.
void switchOff(const std::string& path, const std::string& before, const char* off) {
    if (access(path.c_str(), W_OK) != 0) return;
    if (writeValue(path, off)) switched.push_back({path, before});
}

}  // namespace

bool backlightOff() {
    if (!switched.empty()) return true;
    const std::string root = sysRoot();
    const std::string folder = root + kBacklights;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            for (const LightFile& light : kBacklightFiles) {
                const std::string path = folder + "/" + entry->d_name + "/" + light.name;
                std::string before;
                if (readValue(path, before)) switchOff(path, before, light.off);
            }
        }
        closedir(dir);
    }
    if (switched.empty()) {
        const std::string path = root + kFramebufferBlank;
        std::string before;
        if (!readValue(path, before)) before = kBlankOn;
        switchOff(path, before, kBlankOff);
    }
    return !switched.empty();
}

void backlightRestore() {
    for (auto it = switched.rbegin(); it != switched.rend(); ++it) writeValue(it->path, it->before);
    switched.clear();
}
