// The table of the actions, their names and default keys, and the keys each
// action has now.
#include "app/key_map.h"

#include <cctype>

namespace {

constexpr std::size_t kActionCount = static_cast<std::size_t>(KeyAction::kNone);

struct ActionEntry {
    KeyAction action;
    KeyPlace place;
    const char* name;  // as a settings line "key.NAME = ..." gives it
    ActionKeys keys;   // its default keys
};

constexpr KeyPlace kPlayer = KeyPlace::kPlayer;
constexpr KeyPlace kList = KeyPlace::kList;
constexpr KeyPlace kScreenOff = KeyPlace::kScreenOff;

// Each action's place, name and default keys, in the order of KeyAction.
constexpr std::array<ActionEntry, kActionCount> kActions{{
    {KeyAction::kView1, kPlayer, "view1", {SDLK_LCTRL}},
    {KeyAction::kView2, kPlayer, "view2", {SDLK_LSHIFT}},
    {KeyAction::kView4, kPlayer, "view4", {SDLK_LALT}},
    {KeyAction::kFreeze, kPlayer, "freeze", {SDLK_SPACE}},
    {KeyAction::kChannels, kPlayer, "channels", {SDLK_c}},
    {KeyAction::kNextOrder, kPlayer, "next_order", {SDLK_BACKSPACE}},
    {KeyAction::kPrevOrder, kPlayer, "prev_order", {SDLK_TAB}},
    {KeyAction::kNextModule, kPlayer, "next_module", {SDLK_RIGHT}},
    {KeyAction::kPrevModule, kPlayer, "prev_module", {SDLK_LEFT}},
    {KeyAction::kVolumeUp, kPlayer, "volume_up", {SDLK_UP}},
    {KeyAction::kVolumeDown, kPlayer, "volume_down", {SDLK_DOWN}},
    {KeyAction::kList, kPlayer, "list", {SDLK_RETURN}},
    {KeyAction::kQuit, kPlayer, "quit", {SDLK_ESCAPE}},
    {KeyAction::kPause, kPlayer, "pause", {SDLK_p}},
    {KeyAction::kScreenOff, kPlayer, "screen_off", {SDLK_HOME}},
    {KeyAction::kUp, kList, "up", {SDLK_UP}},
    {KeyAction::kDown, kList, "down", {SDLK_DOWN}},
    {KeyAction::kPageUp, kList, "page_up", {SDLK_TAB, SDLK_PAGEUP}},
    {KeyAction::kPageDown, kList, "page_down", {SDLK_BACKSPACE, SDLK_PAGEDOWN}},
    {KeyAction::kPlay, kList, "play", {SDLK_RETURN, SDLK_LCTRL}},
    {KeyAction::kClose, kList, "close", {SDLK_ESCAPE}},
    {KeyAction::kShuffle, kList, "shuffle", {SDLK_LSHIFT}},
    {KeyAction::kSeparation, kList, "separation", {SDLK_LALT}},
    {KeyAction::kRepeat, kList, "repeat", {SDLK_SPACE}},
    {KeyAction::kSleep, kList, "sleep", {SDLK_s}},
    {KeyAction::kEnterFolder, kList, "enter_folder", {SDLK_RIGHT}},
    {KeyAction::kLeaveFolder, kList, "leave_folder", {SDLK_LEFT}},
    {KeyAction::kWake, kScreenOff, "wake", {SDLK_RETURN}},
}};

constexpr bool tableInOrder() {
    for (std::size_t i = 0; i < kActions.size(); ++i)
        if (static_cast<std::size_t>(kActions[i].action) != i) return false;
    return true;
}
static_assert(tableInOrder(), "kActions is indexed by KeyAction");

// The keys each action has now, by KeyAction.
std::array<ActionKeys, kActionCount> keys_now = [] {
    std::array<ActionKeys, kActionCount> keys{};
    for (std::size_t i = 0; i < kActionCount; ++i) keys[i] = kActions[i].keys;
    return keys;
}();

// What SDL answers for a key it has no name for.
constexpr const char* kUnnamedKey = "unknown key";

bool sameLetters(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return a[i] == '\0' && i == b.size();
}

}  // namespace

KeyAction keyActionNamed(const std::string& name) {
    for (const ActionEntry& entry : kActions)
        if (name == entry.name) return entry.action;
    return KeyAction::kNone;
}

KeyAction keyAction(SDLKey key, KeyPlace place) {
    if (key == SDLK_UNKNOWN) return KeyAction::kNone;
    for (std::size_t i = 0; i < kActionCount; ++i)
        if (kActions[i].place == place)
            for (const SDLKey each : keys_now[i])
                if (each == key) return kActions[i].action;
    return KeyAction::kNone;
}

const ActionKeys& actionKeys(KeyAction action) {
    static constexpr ActionKeys kNoKeys{};
    const auto at = static_cast<std::size_t>(action);
    return at < kActionCount ? keys_now[at] : kNoKeys;
}

bool actionKeyHeld(KeyAction action, const Uint8* key_state) {
    for (const SDLKey key : actionKeys(action))
        if (key != SDLK_UNKNOWN && key_state[key]) return true;
    return false;
}

bool keyNamed(const std::string& name, SDLKey& key) {
    if (sameLetters(kUnnamedKey, name)) return false;
    for (int k = SDLK_FIRST + 1; k < SDLK_LAST; ++k) {
        const auto each = static_cast<SDLKey>(k);
        if (sameLetters(SDL_GetKeyName(each), name)) {
            key = each;
            return true;
        }
    }
    return false;
}

void keysSetDefaults() {
    for (std::size_t i = 0; i < kActionCount; ++i) keys_now[i] = kActions[i].keys;
}

void keysGive(KeyAction action, const ActionKeys& keys) {
    const auto at = static_cast<std::size_t>(action);
    if (at >= kActionCount) return;
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (kActions[i].place != kActions[at].place) continue;
        ActionKeys kept{};
        std::size_t count = 0;
        for (const SDLKey each : keys_now[i]) {
            bool given = false;
            for (const SDLKey other : keys) given = given || (other == each && each != SDLK_UNKNOWN);
            if (each != SDLK_UNKNOWN && !given) kept[count++] = each;
        }
        keys_now[i] = kept;
    }
    keys_now[at] = keys;
}
