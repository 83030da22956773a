// The settings file and the order of precedence.
#include "app/settings.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/key_map.h"
#include "audio/separation_text.h"
#include "display/scaler.h"
#include "platform/files.h"

namespace {

// A settings file longer than this is no settings file.
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

// The line as it is shown in a message: control bytes as '?'.
std::string shown(std::string line) {
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return line;
}

// The names of a key line's value, "NAME[, NAME]...", in names; false with
// why when it isn't that.
bool splitKeyNames(const std::string& value, std::array<std::string, kMaxKeysPerAction>& names, std::size_t& count,
                   const char*& why) {
    count = 0;
    std::size_t at = 0;
    while (true) {
        const std::size_t comma = value.find(',', at);
        const std::string name = trimmed(value.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (name.empty()) {
            why = "a key line takes SDL's names of keys, separated by commas";
            return false;
        }
        static_assert(kMaxKeysPerAction == 4, "the message below names the most keys an action has");
        if (count == names.size()) {
            why = "an action takes 4 keys at most";
            return false;
        }
        names[count++] = name;
        if (comma == std::string::npos) return true;
        at = comma + 1;
    }
}

void sayBadLine(const std::string& file, int number, const char* why, const std::string& line) {
    std::fprintf(stderr, "zindle: %s:%d: %s, skipped: %s\n", file.c_str(), number, why, shown(line).c_str());
}

constexpr char kKeyPrefix[] = "key.";

// One line's setting; false with why when it is none. A key line is kept as
// key, its file, number and text filled in already.
bool parseLine(const std::string& line, Settings& settings, KeyLine key, const char*& why) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        why = "not \"name = value\"";
        return false;
    }
    const std::string name = trimmed(line.substr(0, equals));
    const std::string value = trimmed(line.substr(equals + 1));
    if (name.rfind(kKeyPrefix, 0) == 0) {
        key.action = name.substr(sizeof kKeyPrefix - 1);
        if (keyActionNamed(key.action) == KeyAction::kNone) {
            why = "no such action (zindle --help names them)";
            return false;
        }
        std::array<std::string, kMaxKeysPerAction> names;
        std::size_t count = 0;
        if (!splitKeyNames(value, names, count, why)) return false;
        key.names = value;
        settings.keys.push_back(key);
        return true;
    }
    if (name == "separation") {
        int percent = 0;
        if (!parseSeparation(value, SeparationText::kShortDigits, percent)) {
            why = "separation takes 0 to 100";
            return false;
        }
        settings.separation = percent;
        return true;
    }
    if (name == "amiga") {
        AmigaModel model{};
        if (!parseAmigaModel(value.c_str(), model)) {
            why = "amiga takes a500, a1200 or off";
            return false;
        }
        settings.amiga = model;
        return true;
    }
    if (name == "shuffle") {
        if (value != "yes" && value != "no") {
            why = "shuffle takes yes or no";
            return false;
        }
        settings.shuffle = value == "yes";
        return true;
    }
    if (name == "repeat") {
        RepeatMode mode{};
        if (!parseRepeat(value, mode)) {
            why = "repeat takes list, one or none";
            return false;
        }
        settings.repeat = mode;
        return true;
    }
    if (name == "status") {
        StatusMode mode{};
        if (!parseStatus(value, mode)) {
            why = "status takes auto, on or off";
            return false;
        }
        settings.status = mode;
        return true;
    }
    if (name == "scale") {
        int scale = 0;
        if (!parseScale(value, scale)) {
            why = "scale takes auto or 1 to 8";
            return false;
        }
        settings.scale = scale;
        return true;
    }
    if (name == "fullscreen") {
        if (value != "yes" && value != "no") {
            why = "fullscreen takes yes or no";
            return false;
        }
        settings.fullscreen = value == "yes";
        return true;
    }
    why = "no such setting (separation, amiga, shuffle, repeat, status, scale, fullscreen)";
    return false;
}

// The settings in the text of the settings file named name.
Settings settingsParse(const std::string& text, const std::string& name) {
    Settings settings;
    std::size_t at = 0;
    for (int number = 1; at < text.size(); ++number) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t comment = line.find('#');
        if (comment != std::string::npos) line.erase(comment);
        if (trimmed(line).empty()) continue;
        const char* why = "";
        if (!parseLine(line, settings, KeyLine{name, number, trimmed(line), "", ""}, why))
            sayBadLine(name, number, why, trimmed(line));
    }
    return settings;
}

}  // namespace

const char* repeatWord(RepeatMode mode) {
    switch (mode) {
    case RepeatMode::kOne: return "one";
    case RepeatMode::kNone: return "none";
    case RepeatMode::kList: break;
    }
    return "list";
}

bool parseRepeat(const std::string& word, RepeatMode& mode) {
    for (const RepeatMode each : {RepeatMode::kList, RepeatMode::kOne, RepeatMode::kNone})
        if (word == repeatWord(each)) {
            mode = each;
            return true;
        }
    return false;
}

bool parseStatus(const std::string& word, StatusMode& mode) {
    if (word == "auto")
        mode = StatusMode::kAuto;
    else if (word == "on")
        mode = StatusMode::kOn;
    else if (word == "off")
        mode = StatusMode::kOff;
    else
        return false;
    return true;
}

bool parseScale(const std::string& word, int& scale) {
    if (word == "auto") {
        scale = kAutoScale;
        return true;
    }
    static_assert(kMaxScale <= 9, "a scale is one digit");
    if (word.size() != 1 || word[0] < '1' || word[0] > '0' + kMaxScale) return false;
    scale = word[0] - '0';
    return true;
}

Settings settingsReadFile() {
    const std::string file = userConfigFile("zindle.conf");
    if (file.empty()) return {};
    std::string text;
    switch (readSmallFile(file, kMaxSettingsBytes, text)) {
    case SmallFileRead::kRead: return settingsParse(text, file);
    case SmallFileRead::kCantOpen:
        if (errno == ENOENT || errno == ENOTDIR) return {};  // no settings file: nothing to say
        [[fallthrough]];
    case SmallFileRead::kCantRead:
        std::fprintf(stderr, "zindle: can't read %s: %s\n", file.c_str(), std::strerror(errno));
        return {};
    case SmallFileRead::kTooLong:
        std::fprintf(stderr, "zindle: can't read %s: too long for a settings file\n", file.c_str());
        return {};
    }
    return {};
}

Settings settingsChoose(const Settings& command_line, const Settings& buttons, const Settings& file) {
    Settings chosen;
    for (const Settings* from : {&file, &buttons, &command_line}) {
        if (from->shuffle) chosen.shuffle = from->shuffle;
        if (from->separation) chosen.separation = from->separation;
        if (from->amiga) chosen.amiga = from->amiga;
        if (from->repeat) chosen.repeat = from->repeat;
        if (from->status) chosen.status = from->status;
        if (from->scale) chosen.scale = from->scale;
        if (from->fullscreen) chosen.fullscreen = from->fullscreen;
        if (!from->keys.empty()) chosen.keys = from->keys;
    }
    return chosen;
}

void settingsGiveKeys(const std::vector<KeyLine>& lines) {
    keysSetDefaults();
    for (const KeyLine& line : lines) {
        std::array<std::string, kMaxKeysPerAction> names;
        std::size_t count = 0;
        const char* why = "";
        if (!splitKeyNames(line.names, names, count, why)) continue;  // said as the file was read
        ActionKeys keys{};
        std::size_t named = 0;
        while (named < count && keyNamed(names[named], keys[named])) ++named;
        if (named < count) {
            const std::string what = "no key named \"" + names[named] + "\" (SDL's names: left ctrl, page down, e, ...)";
            sayBadLine(line.file, line.number, what.c_str(), line.text);
            continue;
        }
        keysGive(keyActionNamed(line.action), keys);
    }
}
