// The actions of the player and of the module list, and the keys that do
// them: each action's default keys, and the keys the settings file gives it
// in their place. The player and the list are two places: in each, a key
// does one action at most.
#pragma once

#include <SDL/SDL.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The player, the module list, and the screen switched off, where every
// key is locked but the wake combination.
enum class KeyPlace : std::uint8_t { kPlayer, kList, kScreenOff };

// The actions, in the order of key_map.cpp's table of their names and keys.
enum class KeyAction : std::uint8_t {
    // The player's.
    kView1, kView2, kView4, kFreeze, kChannels, kNextOrder, kPrevOrder, kNextModule, kPrevModule,
    kVolumeUp, kVolumeDown, kList, kQuit, kPause, kScreenOff,
    // The module list's.
    kUp, kDown, kPageUp, kPageDown, kPlay, kClose, kShuffle, kSeparation, kRepeat, kSleep, kEnterFolder,
    kLeaveFolder,
    // With the screen off: held together with a screen_off key, wakes it.
    kWake,
    kNone,  // no action; also the count of those above
};

// The most keys an action has.
constexpr std::size_t kMaxKeysPerAction = 4;
// An action's keys, SDLK_UNKNOWN after the last.
using ActionKeys = std::array<SDLKey, kMaxKeysPerAction>;

// The action of that name ("view1", "next_order", "page_up", ...), or kNone.
KeyAction keyActionNamed(const std::string& name);
// The action key does in place, or kNone.
KeyAction keyAction(SDLKey key, KeyPlace place);
// The keys action has now.
const ActionKeys& actionKeys(KeyAction action);
// Whether one of action's keys is down in SDL's key state (SDL_GetKeyState).
bool actionKeyHeld(KeyAction action, const Uint8* key_state);
// The key SDL names name, in any case ("left ctrl", "E", "page down"); false
// when SDL names none so. SDL names its keys once its video has started.
bool keyNamed(const std::string& name, SDLKey& key);
// Every action's keys: its defaults.
void keysSetDefaults();
// Gives action keys in place of its own; another action of its place that
// had one of them loses it.
void keysGive(KeyAction action, const ActionKeys& keys);
