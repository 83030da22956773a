// The main program: brings up SDL, the player and the first module of the
// list, prepares the background, then runs the event loop until Escape or a
// quit event. The replay engine and views 1 and 2 run on the audio thread;
// this thread handles keys, draws view 4, presents the screen and, with
// several modules, goes from one to the next.
#include "app/zindle.h"

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/key_map.h"
#include "app/list_choices.h"
#include "app/list_screen.h"
#include "app/module_probe.h"
#include "app/playlist.h"
#include "app/resume_state.h"
#include "app/sdl_platform.h"
#include "app/settings.h"
#include "app/sleep_timer.h"
#include "app/terminal_messages.h"
#include "app/video_out.h"
#include "audio/audio_mixer.h"
#include "audio/paula.h"
#include "audio/separation_text.h"
#include "audio/volume.h"
#include "display/scaler.h"
#include "display/screen.h"
#include "display/status_line.h"
#include "display/textout.h"
#include "display/views.h"
#include "platform/backlight.h"
#include "platform/platform.h"
#include "player/engine.h"
#include "player/protracker_sequencer.h"

namespace {

constexpr std::uint32_t kPassMs = 16;
// With the screen off nothing is drawn: the loop only keeps the list going,
// the sleep timer and the wake keys, which don't need 60 passes a second.
constexpr std::uint32_t kScreenOffPassMs = 100;
constexpr int kVolumeStep = 5;
constexpr int kMaxVolumeByKeys = 100;

// Earliest SDL_GetTicks time of the next event-loop pass.
std::uint32_t next_tick = 0;
// Set when the module list's page must be drawn again.
bool list_dirty = false;
// P: no tick runs, the device gets silence.
bool paused = false;
// A list played through with repeat none: the sound has stopped and the
// list shows "End of the list".
bool at_end = false;
// When the status line shows.
StatusMode status_mode = StatusMode::kAuto;
// The settings file's key lines, given once SDL names its keys.
std::vector<KeyLine> key_lines;
// The screen is off: nothing is drawn or presented, the light is off where
// the board lets us, and every key is locked but the wake combination. The
// view to show on waking is kept aside.
bool screen_off = false;
int view_before_off = kViewPattern;
// The keys held down, as the events told them (SDL's own key state runs
// ahead of the events still queued).
Uint8 keys_down[SDLK_LAST] = {};
// The sleep timer ran out: the music fades, then the player ends.
bool sleep_fading = false;
// The picture's scale and whether it takes the full screen, as chosen.
int video_scale = kAutoScale;
std::optional<bool> video_fullscreen;

// With several modules, the background as made, before any text: the song
// name is written afresh on a copy of it for each module.
SDL_Surface* plain_background = nullptr;

// The background picture, or plain black when there is none of the right
// size or it can't be converted. Null only when no surface can be made.
SDL_Surface* makeBackground() {
    SDL_Surface* picture = IMG_Load("background.png");
    SDL_Surface* made = nullptr;
    if (picture && picture->w == kScreenWidth && picture->h == kScreenHeight)
        made = SDL_ConvertSurface(picture, screen->format, screen->flags);
    if (picture) SDL_FreeSurface(picture);
    if (made) return made;
    made = SDL_CreateRGBSurface(screen->flags, kScreenWidth, kScreenHeight, kScreenDepth, 0, 0, 0, 0);
    if (made) SDL_FillRect(made, nullptr, 0);
    return made;
}

// Copies the pixels of a surface onto one made the same way.
void copyPixels(SDL_Surface* from, SDL_Surface* to) {
    if (from->w != to->w || from->h != to->h || from->format->BytesPerPixel != to->format->BytesPerPixel) {
        SDL_BlitSurface(from, nullptr, to, nullptr);
        return;
    }
    const auto row_bytes = static_cast<std::size_t>(from->w) * from->format->BytesPerPixel;
    for (int y = 0; y < from->h; ++y)
        std::memcpy(static_cast<std::uint8_t*>(to->pixels) + y * to->pitch,
                    static_cast<const std::uint8_t*>(from->pixels) + y * from->pitch, row_bytes);
}

// The program's title and the module's song name (or its file's) on the background.
void paintBackground(const LoadedSong* song) {
    if (plain_background) copyPixels(plain_background, background);
    char song_name[32];
    std::snprintf(song_name, sizeof song_name, kSongName, songShownTitle(song));
    textOut(background, 4, 10, song_name, kWhite, 0, 0);
    textOut(background, 4, 1, "Zindle - The simple ProTracker player", kWhite, 0, 0);
}

// Whether Right and Left have another entry to go to.
bool severalToPlay() { return playlistPlayable() > 1; }

// Whether the song playing stops where its pass ends, for the list to go
// on: never with repeat one, always with repeat none (the list may end),
// and with repeat list when there is another module to go on to (a module
// alone plays without end, its songs stepped by Right and Left).
bool stopsAtPassEnd() {
    switch (playlistRepeat()) {
    case RepeatMode::kOne: return false;
    case RepeatMode::kNone: return true;
    case RepeatMode::kList: break;
    }
    return !playlistOneModule();
}

// What the status line says besides the time, and whether it shows.
StatusFacts statusFacts(std::uint32_t now_ms) {
    StatusFacts facts;
    facts.paused = paused;
    facts.shown = status_mode == StatusMode::kOn ||
                  (status_mode == StatusMode::kAuto && (playlistSize() > 1 || paused || sleepRunning()));
    std::string right;
    if (playlistShuffled()) right += "Shuf ";
    if (playlistRepeat() == RepeatMode::kOne) right += "Loop ";
    if (playlistRepeat() == RepeatMode::kNone) right += "Once ";
    if (sleepRunning()) right += "Sleep " + std::to_string(sleepMinutesLeft(now_ms)) + " ";
    if (playlistSize() > 1)
        right += std::to_string(playlistPosition() + 1) + "/" + std::to_string(playlistPlayable());
    while (!right.empty() && right.back() == ' ') right.pop_back();
    std::snprintf(facts.right, sizeof facts.right, "%s", right.c_str());
    return facts;
}

// Tells the status line what changed, under the audio lock (the tick reads it).
void updateStatus() {
    static StatusFacts told;
    const StatusFacts facts = statusFacts(SDL_GetTicks());
    if (facts.shown == told.shown && facts.paused == told.paused && std::strcmp(facts.right, told.right) == 0) return;
    told = facts;
    AudioLock lock;
    statusSet(facts);
}

void setPaused(bool on) {
    paused = on;
    audioSetPaused(on);
    updateStatus();
}

// The song of the current entry, as the probe has timed it, for the status
// line's time and the order keys: known once the probe has answered.
void tellTimes(const LoadedSong* song) {
    const std::size_t entry = playlistCurrent();
    const ModuleFacts& facts = probeFacts(playlistPath(entry));
    const auto k = static_cast<std::size_t>(playlistSong(entry));
    if (!facts.known || facts.failed || k >= facts.songs.size()) return;
    const ModuleFacts::SongTimes& times = facts.songs[k];
    songSetTimes(song, static_cast<std::uint64_t>(times.pass_frames), times.position_frames.data(),
                 static_cast<int>(times.position_frames.size()));
}

// The module at path holds songs songs: each gets its entries in the list.
// A copy of the path: the list's own strings move as entries are added.
void addSongEntries(std::string path, int songs) {
    if (songs <= 1) return;
    for (std::size_t i = 0; i < playlistSize(); ++i) {
        if (playlistPath(i) != path || playlistSong(i) != 0) continue;
        const std::size_t added = playlistSetSongs(i, songs);
        listEntriesAdded(i, added);
        if (added) list_dirty = true;
    }
}

// What the probe has told since the last pass: the songs of the modules it
// timed, and the times of the one playing.
void takeProbeResults(const LoadedSong* song) {
    for (std::size_t i = 0; i < playlistSize(); ++i) {
        const ModuleFacts& facts = probeFacts(playlistPath(i));
        if (facts.known && !facts.failed && playlistSong(i) == 0)
            addSongEntries(playlistPath(i), static_cast<int>(facts.songs.size()));
    }
    tellTimes(song);
}

// Starts song, the current entry's module, at its entry's song; the probe
// is asked for its times.
void startEntry(LoadedSong* song) {
    const SongFacts& facts = songFacts(song);
    addSongEntries(playlistPath(playlistCurrent()), facts.songs);
    const auto k = static_cast<std::size_t>(playlistSong(playlistCurrent()));
    songStopAtPassEnd(stopsAtPassEnd());
    songPlay(song, k < facts.song_starts.size() ? facts.song_starts[k] : 0);
    probeWant(playlistPath(playlistCurrent()));
    tellTimes(song);
    updateStatus();
}

// The module playing stopped where a pass ended (see songStopAtPassEnd):
// in the event loop nothing else stops it. Not songPasses, which an order
// key pressed in the silence after the stop sets back to 0.
bool songStopped() {
    AudioLock lock;
    return !songPlaying();
}

// Plays next, the module the list has just loaded (null when nothing else
// loads), in place of playing; returns the module now playing, which the
// state then keeps. The new one was read while the old one played on. Then
// the engine lets go of the old one (no tick runs and the voices are cut,
// each under the audio lock, so the audio thread reads no module from then
// on), the old one is freed, and the new one starts from the engine's start
// state, as zindle-render starts it: silence between them, never a sample of
// the old one. The view shown and the volume carry over; the channel group
// and the colour cycles start again. When nothing else loaded, the one
// playing starts again.
LoadedSong* switchModule(LoadedSong* playing, LoadedSong* next) {
    songResetEngine();
    {
        AudioLock lock;
        viewsNewModule();
    }
    list_dirty = true;
    at_end = false;
    if (next) {
        songReportDamage(stderr, playlistPath(playlistCurrent()).c_str(), next);
        songFree(playing);
        std::lock_guard<std::mutex> lock(screen_mutex);
        paintBackground(next);
        // View 3 draws nothing: its still picture must not name the old module.
        if (display_mode == kViewNone) {
            SDL_BlitSurface(background, nullptr, screen, nullptr);
            viewsForgetIdle();
            screen_dirty = true;
        }
    } else {
        next = playing;
    }
    if (paused) setPaused(false);
    startEntry(next);
    resumeSave();
    return next;
}

// The end of a pass, with more than one entry or repeat none: the next
// entry, or with repeat none after the round's last, silence and the list
// at its first entry saying "End of the list".
void openList();
LoadedSong* passEnded(LoadedSong* playing) {
    if (playlistRepeat() == RepeatMode::kNone && playlistAtRoundEnd()) {
        at_end = true;
        openList();
        listOpen(playlistFirst());
        return playing;
    }
    return switchModule(playing, playlistStep(1));
}

// View keys and the volume are read by the audio thread's tick: change
// them under the audio lock.
// With the screen off, the view is kept for waking.
void setDisplayMode(int mode) {
    if (screen_off) {
        view_before_off = mode;
        return;
    }
    AudioLock lock;
    display_mode = mode;
}

// The view chosen, shown or, with the screen off, to be shown on waking.
int chosenView() { return screen_off ? view_before_off : display_mode; }

void changeVolume(int step) {
    {
        AudioLock lock;
        base_volume += step;
    }
    setVolume(base_volume & 255);
}

// The order position playing.
int playingOrder() {
    AudioLock lock;
    return songOrder();
}

// Views 1 and 4 move on to the next group of eight channels (a module of
// more than eight shows them a group at a time), view 2 to the next group of
// meters.
void showNextGroup(const LoadedSong* song) {
    AudioLock lock;
    if (display_mode == kViewMeters)
        first_shown_instrument = nextInstrumentGroup(first_shown_instrument, songFacts(song).meters);
    else
        first_shown_channel = nextChannelGroup(first_shown_channel, songFacts(song).channels);
}

// Shows view, or when it shows already, its next group (views 1 and 4: the
// next eight channels; view 2: the next meters).
void showView(int view, const LoadedSong* song) {
    if (display_mode != view)
        setDisplayMode(view);
    else
        showNextGroup(song);
}

// The view shown before the list opened, shown again when it closes.
int view_before_list = kViewPattern;
void openList() {
    if (listIsOpen()) return;
    view_before_list = chosenView();
    setDisplayMode(kViewList);
    listOpen(playlistCurrent());
    SDL_EnableKeyRepeat(SDL_DEFAULT_REPEAT_DELAY, SDL_DEFAULT_REPEAT_INTERVAL);
    list_dirty = true;
}

// Back to the view shown before; view 3's still picture is the background
// with the song name, as at a module change.
void closeList() {
    SDL_EnableKeyRepeat(0, 0);
    listClose();
    setDisplayMode(view_before_list);
    if (view_before_list == kViewNone) {
        std::lock_guard<std::mutex> lock(screen_mutex);
        SDL_BlitSurface(background, nullptr, screen, nullptr);
        viewsForgetIdle();
        screen_dirty = true;
    }
}

void handleListKey(SDLKey key, LoadedSong*& module, bool& running) {
    list_dirty = true;
    switch (listKey(key)) {
    case ListAction::kPlay:
        module = switchModule(module, playlistLoad(listCursorEntry(), 1));
        closeList();
        break;
    case ListAction::kClose:
        // At the end of the list there is nothing to go back to.
        if (at_end)
            running = false;
        else
            closeList();
        break;
    case ListAction::kToggleShuffle: choicesToggleShuffle(); break;
    case ListAction::kStepSeparation: choicesStepSeparation(); break;
    case ListAction::kStepRepeat:
        choicesStepRepeat();
        if (!at_end) songStopAtPassEnd(stopsAtPassEnd());
        break;
    case ListAction::kStepSleep:
        sleepStep(SDL_GetTicks());
        break;
    case ListAction::kNone: break;
    }
}

// Blanks the screen and switches the light off; the view chosen is kept.
void switchScreenOff() {
    view_before_off = display_mode;
    {
        AudioLock lock;
        display_mode = kViewOff;
    }
    screen_off = true;
    {
        std::lock_guard<std::mutex> lock(screen_mutex);
        SDL_FillRect(screen, nullptr, 0);
        videoPresent();
        screen_dirty = false;
    }
    backlightOff();
}

// The light back on and the view chosen drawn afresh on the blank screen:
// views 1, 2 and 4 draw whole pictures, view 3's still picture is the
// background with the song name, as at a module change.
void wakeScreen() {
    backlightRestore();
    screen_off = false;
    setDisplayMode(view_before_off);
    list_dirty = true;
    std::lock_guard<std::mutex> lock(screen_mutex);
    if (display_mode == kViewNone) SDL_BlitSurface(background, nullptr, screen, nullptr);
    viewsForgetIdle();
    screen_dirty = true;
}

// With the screen off only a screen_off key together with a wake key counts,
// whichever comes first.
void handleScreenOffKey(SDLKey key) {
    const bool wake_pressed = keyAction(key, KeyPlace::kScreenOff) == KeyAction::kWake;
    const bool off_pressed = keyAction(key, KeyPlace::kPlayer) == KeyAction::kScreenOff;
    if ((wake_pressed && actionKeyHeld(KeyAction::kScreenOff, keys_down)) ||
        (off_pressed && actionKeyHeld(KeyAction::kWake, keys_down)))
        wakeScreen();
}

void handleKey(SDLKey key, LoadedSong*& module, bool& running) {
    if (screen_off) {
        handleScreenOffKey(key);
        return;
    }
    if (listIsOpen()) {
        handleListKey(key, module, running);
        return;
    }
    switch (keyAction(key, KeyPlace::kPlayer)) {
    case KeyAction::kList: openList(); break;
    case KeyAction::kNextModule:
        if (severalToPlay()) module = switchModule(module, playlistStep(1));
        break;
    case KeyAction::kPrevModule:
        if (severalToPlay()) module = switchModule(module, playlistStep(-1));
        break;
    case KeyAction::kNextOrder: songJump(playingOrder() + 1); break;
    case KeyAction::kPrevOrder: songJump(playingOrder() - 1); break;
    case KeyAction::kQuit: running = false; break;
    case KeyAction::kFreeze: setDisplayMode(kViewNone); break;
    case KeyAction::kVolumeUp:
        if (base_volume <= kMaxVolumeByKeys - kVolumeStep) changeVolume(kVolumeStep);
        break;
    case KeyAction::kVolumeDown:
        if (base_volume >= kVolumeStep) changeVolume(-kVolumeStep);
        break;
    // A view's key pressed again does what the channels key does (a handheld
    // may have no key to spare for it).
    case KeyAction::kView2: showView(kViewMeters, module); break;
    case KeyAction::kView1: showView(kViewPattern, module); break;
    case KeyAction::kView4: showView(kViewScopes, module); break;
    case KeyAction::kChannels: showNextGroup(module); break;
    case KeyAction::kPause: setPaused(!paused); break;
    case KeyAction::kScreenOff: switchScreenOff(); break;
    default: break;
    }
}

// Draws view 4 when it is shown and brings a new picture to the display.
// The scopes take the audio lock and then the screen's, one after the other;
// presenting holds the screen's alone, so no lock waits on the other here.
void present() {
    if (screen_off) return;
    viewsDrawScopes();
    viewsDrawIdle();
    if (listIsOpen() && list_dirty) {
        const ListModes modes{playlistShuffled(), audioSeparation(), playlistRepeat(),
                              sleepMinutesLeft(SDL_GetTicks()), at_end};
        const ListPage page = listPage(playlistCurrent(), modes);
        std::lock_guard<std::mutex> lock(screen_mutex);
        drawModuleList(screen, page);
        screen_dirty = true;
        list_dirty = false;
    }
    std::lock_guard<std::mutex> lock(screen_mutex);
    if (screen_dirty.exchange(false)) videoPresent();
}

// Sleeps so that event-loop passes are at least kPassMs (with the screen
// off, kScreenOffPassMs) apart.
void syncframe() {
    const std::uint32_t now = SDL_GetTicks();
    if (now < next_tick) {
        const std::uint32_t fresh = SDL_GetTicks();
        if (fresh < next_tick) SDL_Delay(next_tick - fresh);
    }
    next_tick = SDL_GetTicks() + (screen_off ? kScreenOffPassMs : kPassMs);
}

const char kHelp[] =
    "Usage: zindle <module.mod>\n"
    "       zindle [OPTION]... PATH...\n"
    "Plays a ProTracker module (MOD file, 1 to 32 channels) with its own engine, or\n"
    "any other module libxmp reads (XM, S3M, IT, MED, ...; packed ones too) through\n"
    "libxmp, at 48000 Hz, without end, and shows it in a 320x240 picture, scaled\n"
    "to fit the screen (see --scale). Each PATH is a module or a folder (read\n"
    "with its subfolders, sorted by name); with several modules each plays once,\n"
    "then the next, and after the last the first again (see --repeat). A module\n"
    "of several songs is an entry a song (NAME, NAME #2, ...): in a list each\n"
    "plays once; alone, the first plays and Right/Left step through them. A list\n"
    "starts again at the module that was playing when it was last played.\n"
    "\n"
    "Keys (each action's name in brackets):\n"
    "  Left Ctrl    view 1: the pattern being played (again: as C) [view1]\n"
    "  Left Shift   view 2: a bar meter per sample or instrument (again: as C)\n"
    "               [view2]\n"
    "  Left Alt     view 4: an oscilloscope per channel (again: as C) [view4]\n"
    "  Space        view 3: freeze the picture on the screen [freeze]\n"
    "  C            views 1 and 4: the next eight channels (more than eight);\n"
    "               view 2: the next 40 instruments (more than 40) [channels]\n"
    "  Backspace    next order position [next_order]\n"
    "  Tab          previous order position (from the first, the last)\n"
    "               [prev_order]\n"
    "  Right / Left next / previous module (with several) [next_module,\n"
    "               prev_module]\n"
    "  P            pause / resume: the sound stops where it is, the screen says\n"
    "               Paused; everything else still works [pause]\n"
    "  Up / Down    master volume up / down by 5 [volume_up, volume_down]\n"
    "  Home         screen off: black, the light off where the board lets us,\n"
    "               every key locked; the music goes on [screen_off]. Home held\n"
    "               with Return wakes it [wake]\n"
    "  Return       the module list, a folder at a time [list]: Up/Down (round\n"
    "               from either end) [up, down], Tab/Backspace or Page Up/Page\n"
    "               Down a page [page_up, page_down], Right opens a folder\n"
    "               [enter_folder], Left goes up [leave_folder], Return or Left\n"
    "               Ctrl plays (a folder: its first module) [play], Escape\n"
    "               closes [close], Left Shift shuffle [shuffle], Left Alt\n"
    "               separation [separation], Space repeat (list, one, none)\n"
    "               [repeat], S sleep timer (off, 15, 30, 45, 60, 90 minutes)\n"
    "               [sleep]\n"
    "  Escape       quit (closing the window quits too) [quit]\n"
    "\n"
    "A settings line \"key.ACTION = NAME[, NAME]...\" gives an action other keys\n"
    "in place of its own, named as SDL names them, in any case (\"left ctrl\",\n"
    "\"page down\", \"e\", \"right ctrl\", \"[/]\"). A key given to an action\n"
    "leaves the other action of the same place (the player, or the list) that\n"
    "had it: the later line wins.\n"
    "\n"
    "Options:\n"
    "  --shuffle        play the list in a random order, each module once a round\n"
    "  --no-shuffle     play the list in its order (the default)\n"
    "  --seed N         the random orders from N: the same N, the same orders\n"
    "  --separation P   stereo separation in percent, 0 to 100: 100 pans as the\n"
    "                   module does (the default), 0 is mono; 50 suits headphones\n"
    "  --amiga MODEL    a500 or a1200: MODs sound as the Amiga played them, each\n"
    "                   voice band-limited as Paula steps it, then the model's\n"
    "                   filters and the LED filter the module's E0x switches; off\n"
    "                   (the default): the plain mixer. Formats libxmp plays keep\n"
    "                   its own mixer\n"
    "  --from-start     start the list at its first module\n"
    "  --repeat MODE    list: after the last module the first (the default);\n"
    "                   one: the module playing without end; none: the list\n"
    "                   once, then silence and the list saying End of the list\n"
    "  --sleep MINUTES  end after MINUTES (1 to 1440): the music fades to silence\n"
    "                   over 10 s and the player quits\n"
    "  --status MODE    the status line at the bottom (the time, Paused, n/N and\n"
    "                   the list's modes): auto (with several modules, paused or\n"
    "                   with a sleep timer; the default), on or off\n"
    "  --scale N        the picture N times its size (1 to 8), each pixel a square;\n"
    "                   auto (the default): the largest that fits the screen, or\n"
    "                   three quarters of it in a window (1 on a text display)\n"
    "  --fullscreen     the whole screen, the picture centred on black (the default\n"
    "                   on a framebuffer or console, as on a handheld)\n"
    "  --window         a window of the picture's size (the default under X)\n"
    "  --no-fullscreen  the same as --window\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "Settings (lines \"shuffle = yes\", \"separation = 50\", \"amiga = a500\",\n"
    "\"repeat = one\", \"status = on\", \"scale = auto\", \"fullscreen = no\") are read from\n"
    "$XDG_CONFIG_HOME/zindle/zindle.conf (~/.config/zindle/zindle.conf); the\n"
    "command line overrides them. Where each list was left is kept in\n"
    "$XDG_STATE_HOME/zindle/state (~/.local/state/zindle/state).\n"
    "\n"
    "Exit status: 0 after a normal quit, 1 when it can't start (the module can't be\n"
    "loaded, no window or audio device), 2 after a bad option, 255 without a module.\n"
    "A module file named like an option plays as ./--help.\n";

// What the command line asks for besides the paths.
struct Options {
    Settings settings;
    int sleep_minutes = 0;  // 0: no sleep timer
    bool from_start = false;
    bool seed_given = false;
    std::uint64_t seed = 0;
};

enum LongOnly {
    kOptHelp = 256,
    kOptVersion,
    kOptShuffle,
    kOptNoShuffle,
    kOptSeed,
    kOptSeparation,
    kOptAmiga,
    kOptFromStart,
    kOptRepeat,
    kOptStatus,
    kOptSleep,
    kOptScale,
    kOptFullscreen,
    kOptWindow,
};

const option kLongOptions[] = {
    {"help", no_argument, nullptr, kOptHelp},
    {"version", no_argument, nullptr, kOptVersion},
    {"shuffle", no_argument, nullptr, kOptShuffle},
    {"no-shuffle", no_argument, nullptr, kOptNoShuffle},
    {"seed", required_argument, nullptr, kOptSeed},
    {"separation", required_argument, nullptr, kOptSeparation},
    {"amiga", required_argument, nullptr, kOptAmiga},
    {"from-start", no_argument, nullptr, kOptFromStart},
    {"repeat", required_argument, nullptr, kOptRepeat},
    {"status", required_argument, nullptr, kOptStatus},
    {"sleep", required_argument, nullptr, kOptSleep},
    {"scale", required_argument, nullptr, kOptScale},
    {"fullscreen", no_argument, nullptr, kOptFullscreen},
    {"no-fullscreen", no_argument, nullptr, kOptWindow},
    {"window", no_argument, nullptr, kOptWindow},
    {nullptr, 0, nullptr, 0},
};

int usageError(const std::string& why) {
    std::fprintf(stderr, "zindle: %s\nTry 'zindle --help'.\n", why.c_str());
    return 2;
}

// Digits alone, up to high.
bool parseNumber(const char* text, std::uint64_t high, std::uint64_t& value) {
    if (!*text || std::strspn(text, "0123456789") != std::strlen(text)) return false;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, nullptr, 10);
    if (errno || parsed > high) return false;
    value = parsed;
    return true;
}

// Fills options from the command line; optind is then the first path.
// Returns -1 to go on, or the exit status: 0 after --help (its text on
// standard output) or --version, both before any window or device opens,
// and 2 after a bad option.
int parseOptions(int argc, char** argv, Options& options) {
    opterr = 0;
    int opt;
    int percent = 0;
    while ((opt = getopt_long(argc, argv, ":", kLongOptions, nullptr)) != -1) {
        switch (opt) {
        case kOptHelp: std::fputs(kHelp, stdout); return 0;
        case kOptVersion: std::printf("zindle %s\n", ZINDLE_VERSION); return 0;
        case kOptShuffle: options.settings.shuffle = true; break;
        case kOptNoShuffle: options.settings.shuffle = false; break;
        case kOptFromStart: options.from_start = true; break;
        case kOptSeed:
            if (!parseNumber(optarg, UINT64_MAX, options.seed)) return usageError("--seed needs a whole number, 0 or more");
            options.seed_given = true;
            break;
        case kOptSeparation:
            if (!parseSeparation(optarg, SeparationText::kDigits, percent))
                return usageError("--separation needs a percentage from 0 to 100");
            options.settings.separation = percent;
            break;
        case kOptAmiga: {
            AmigaModel model{};
            if (!parseAmigaModel(optarg, model)) return usageError("--amiga takes a500, a1200 or off");
            options.settings.amiga = model;
            break;
        }
        case kOptRepeat: {
            RepeatMode mode{};
            if (!parseRepeat(optarg, mode)) return usageError("--repeat takes list, one or none");
            options.settings.repeat = mode;
            break;
        }
        case kOptStatus: {
            StatusMode mode{};
            if (!parseStatus(optarg, mode)) return usageError("--status takes auto, on or off");
            options.settings.status = mode;
            break;
        }
        case kOptSleep: {
            std::uint64_t minutes = 0;
            if (!parseNumber(optarg, kMaxSleepMinutes, minutes) || minutes == 0)
                return usageError("--sleep needs minutes, 1 to " + std::to_string(kMaxSleepMinutes));
            options.sleep_minutes = static_cast<int>(minutes);
            break;
        }
        case kOptScale: {
            int scale = 0;
            if (!parseScale(optarg, scale))
                return usageError("--scale takes auto or 1 to " + std::to_string(kMaxScale));
            options.settings.scale = scale;
            break;
        }
        case kOptFullscreen: options.settings.fullscreen = true; break;
        case kOptWindow: options.settings.fullscreen = false; break;
        case ':': return usageError(std::string(argv[optind - 1]) + " needs a value");
        default: return usageError(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    return -1;
}

// A seed for the random orders that differs from one run to the next.
std::uint64_t freshSeed() {
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000007u ^ static_cast<std::uint64_t>(now.tv_nsec) ^
           static_cast<std::uint64_t>(getpid()) << 32;
}

}  // namespace

namespace {

// Says why nothing in the list made of the count paths could be played.
void reportNothingToPlay(int count, char** paths, const LoadRefusal& why) {
    struct stat info {};
    if (playlistSize() == 0) {
        // Only folders give no entry: each one given was empty.
        std::fputs("Couldn't load the module!\n", stderr);
        for (int i = 0; i < count; ++i) std::fprintf(stderr, "%s: an empty folder, no module in it\n", paths[i]);
        return;
    }
    // One file: say why it wasn't loaded; a list names each refused file as it goes.
    if (count == 1 && !(stat(paths[0], &info) == 0 && S_ISDIR(info.st_mode)))
        zindleReportLoadFailure(stderr, paths[0], why);
    else
        std::fputs("Couldn't load the module!\n", stderr);
}

// The settings that apply, the list's order, and its first module loaded:
// where the state left the list (unless from_start), or the first of its
// play order. Null when nothing in the list loads, after saying why.
LoadedSong* loadFirst(int count, char** paths, const Options& options) {
    playlistBuild(count, paths);
    resumeOpen(count, paths);
    const Settings chosen = settingsChoose(options.settings, resumeChoices(), settingsReadFile());
    audioSetSeparation(chosen.separation.value_or(kFullSeparation));
    // Before the device starts: the step tables are built without the audio lock.
    paulaSetModel(chosen.amiga.value_or(AmigaModel::kOff));
    playlistSetRepeat(chosen.repeat.value_or(RepeatMode::kList));
    status_mode = chosen.status.value_or(StatusMode::kAuto);
    video_scale = chosen.scale.value_or(kAutoScale);
    video_fullscreen = chosen.fullscreen;
    key_lines = chosen.keys;
    playlistSetSeed(options.seed_given ? options.seed : freshSeed());
    const std::size_t left_at = options.from_start ? playlistSize() : resumeEntry();
    if (chosen.shuffle.value_or(false)) playlistSetShuffle(true, left_at);
    LoadRefusal why;
    LoadedSong* module = playlistLoad(left_at < playlistSize() ? left_at : playlistFirst(), 1, &why);
    if (!module) reportNothingToPlay(count, paths, why);
    return module;
}

// SIGTERM, SIGINT and SIGHUP end the player as Escape does, through the
// one way out that gives the screen's light back. SDL turns them into a
// quit event, but a driver that draws in the terminal (libcaca on ncurses)
// puts handlers of its own over SDL's that leave at once with status 1,
// before the terminal is given back and the held messages are written again.
volatile std::sig_atomic_t quit_signalled = 0;

void onQuitSignal(int) { quit_signalled = 1; }

void quitOnSignals() {
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// Whether startSdl has been called: from then on shutting down closes SDL.
bool sdl_started = false;

// Brings up SDL's window and audio device. False after saying why.
bool startSdl() {
    sdl_started = true;
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
        return false;
    }
    char driver[32] = "";
    SDL_VideoDriverName(driver, sizeof driver);
    messagesKeepFor(driver);
    SDL_ShowCursor(0);
    SDL_WM_SetCaption("Zindle SDL", nullptr);
    if (!videoOpen(video_scale, video_fullscreen)) return false;
    quitOnSignals();
    display_mode = kViewPattern;
    if (!zindleInit()) {
        std::fprintf(stderr, "Couldn't initialize zindle!\n");
        return false;
    }
    return true;
}

// Closes what startSdl opened; the terminal is SDL's no more.
void stopSdl() {
    zindleClose();
    videoClose();
    SDL_Quit();
    messagesRelease();
}

void freeSurface(SDL_Surface*& surface) {
    if (surface) SDL_FreeSurface(surface);
    surface = nullptr;
}

// The one way out once messages are held: lets go of the module, the list,
// the state, the backgrounds and SDL, whichever of them were brought up, in
// that order, gives standard error back to the terminal and returns status.
int shutDown(LoadedSong* module, int status) {
    backlightRestore();
    probeStop();
    songFree(module);
    playlistClear();
    resumeClose();
    freeSurface(background);
    freeSurface(plain_background);
    if (sdl_started)
        stopSdl();
    else
        messagesRelease();
    sdl_started = false;
    return status;
}

}  // namespace

int zindleMain(int argc, char** argv) {
    Options options;
    if (const int status = parseOptions(argc, argv, options); status >= 0) return status;
    platformUse(kSdlPlatform);
    mod_playing = 0;
    const int count = argc - optind;
    char** paths = argv + optind;
    if (count < 1) {
        std::fprintf(stderr, "Usage: %s <module.mod>\n", argv[0]);
        return -1;
    }
    messagesHoldForTerminal();
    probeFindRenderer(argv[0]);
    // The first module is loaded before any window or device opens: a wrong
    // name or a refused file is reported as such, on any machine.
    LoadedSong* module = loadFirst(count, paths, options);
    if (!module) return shutDown(module, 1);
    songReportDamage(stderr, playlistPath(playlistCurrent()).c_str(), module);
    if (!startSdl()) return shutDown(module, 1);
    settingsGiveKeys(key_lines);
    base_volume = getVolume();
    background = makeBackground();
    if (background && playlistSize() > 1) plain_background = makeBackground();
    if (!background || (playlistSize() > 1 && !plain_background)) {
        std::fprintf(stderr, "Couldn't create the background: %s\n", SDL_GetError());
        return shutDown(module, 1);
    }
    if (options.sleep_minutes > 0) sleepSet(options.sleep_minutes, SDL_GetTicks());
    paintBackground(module);
    startEntry(module);
    resumeSave();

    bool running = true;
    int minutes_shown = sleepMinutesLeft(SDL_GetTicks());
    while (running && !quit_signalled) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) {
                running = false;
                break;
            }
            if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
                const SDLKey key = event.key.keysym.sym;
                if (key > SDLK_UNKNOWN && key < SDLK_LAST) keys_down[key] = event.type == SDL_KEYDOWN;
            }
            if (event.type == SDL_KEYDOWN) handleKey(event.key.keysym.sym, module, running);
        }
        if (probePoll()) {
            takeProbeResults(module);
            list_dirty = true;
        }
        if (!at_end && songStopped()) module = passEnded(module);
        const std::uint32_t now = SDL_GetTicks();
        if (sleepMinutesLeft(now) != minutes_shown) {
            minutes_shown = sleepMinutesLeft(now);
            list_dirty = true;
        }
        if (sleepDue(now) && !sleep_fading) {
            audioStartFade(static_cast<std::uint32_t>(kSleepFadeSeconds * kOutputRate));
            sleep_fading = true;
        }
        // Paused, the fade stands still: there is nothing left to fade.
        if (sleep_fading && (paused || audioFadeDone())) running = false;
        updateStatus();
        present();
        syncframe();
    }
    resumeSave();
    return shutDown(module, 0);
}
