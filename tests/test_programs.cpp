// The real programs: zindle under SDL's dummy video and disk audio drivers,
// and zindle-render, with their messages, exit statuses and output files.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "app/key_map.h"
#include "app/module_probe.h"
#include "app/resume_state.h"
#include "tests/engine_harness.h"
#include "tests/process.h"
#include "tools/module_sets.h"

using harness::TempDir;

namespace {

// The shared fixture song of `orders` orders at 125 bpm, speed 6.
modwriter::Song busy(int orders) { return harness::shortSong("test", 125, 6, 0, orders); }

const std::string kZindle = ZINDLE_BIN;
const std::string kRender = ZINDLE_RENDER_BIN;
constexpr std::uint64_t kRowFrames = 6 * 960;  // one row at speed 6, 125 BPM

std::string writeSong(const TempDir& dir, const modwriter::Song& song, const std::string& name = "song.mod") {
    const std::string path = dir.file(name);
    EXPECT_TRUE(song.write(path));
    return path;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// What the file of busy(n) cut 800 bytes short lacks: all of sample 2 and the end of sample 1.
const std::string kCutShort = "sample data cut short: 800 bytes missing (sample 1: 200, sample 2: 600)";

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What runs a program without root's right to read and write every file: the
// program itself for an ordinary user, through setpriv as nobody for root.
// Sets why_not and returns nothing when that isn't possible here.
std::vector<std::string> unprivileged(std::string& why_not) {
    if (geteuid() != 0) return {};
    const std::string setpriv = "/usr/bin/setpriv";
    if (access(setpriv.c_str(), X_OK) != 0) {
        why_not = "root without setpriv: every file is readable and writable";
        return {};
    }
    return {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
}

std::vector<std::string> joined(std::vector<std::string> prefix, const std::vector<std::string>& args) {
    prefix.insert(prefix.end(), args.begin(), args.end());
    return prefix;
}

}  // namespace

// --- zindle

TEST(Player, WithoutArgumentPrintsUsage) {
    const harness::Result r = harness::run({kZindle});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Usage: " + kZindle + " <module.mod>\n");
}

// --help and --version print and end before any window or device opens:
// here a window couldn't open and the sound would go to a file.
TEST(Player, HelpAndVersionOpenNothing) {
    TempDir dir;
    harness::Env env = harness::headlessEnv(dir.file("audio.raw"));
    env.push_back({"SDL_VIDEODRIVER", "x11"});
    env.push_back({"DISPLAY", ":none"});
    const harness::Result help = harness::run({kZindle, "--help"}, env);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: zindle <module.mod>\n", 0), 0u) << help.out;
    for (const char* word : {"Left Ctrl", "Backspace", "Right / Left", "Up / Down", "Escape", "Exit status: 0", "255",
                             "--shuffle", "--no-shuffle", "--seed N", "--separation P", "--from-start", "zindle.conf"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    const harness::Result version = harness::run({kZindle, "--version"}, env);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "zindle " ZINDLE_VERSION "\n");
    EXPECT_EQ(version.err, "");
    EXPECT_NE(access(dir.file("audio.raw").c_str(), F_OK), 0) << "the audio device was opened";

    // A file of that name is still a module when named as a path.
    harness::writeBytes(dir.file("--help"), {1, 2, 3});
    const harness::Result file =
        harness::run({"/bin/sh", "-c", "cd '" + dir.path() + "' && exec '" + kZindle + "' ./--help"},
                     harness::headlessEnv(dir.file("audio.raw")));
    EXPECT_EQ(file.status, 1);
    EXPECT_TRUE(endsWith(file.err, "\n./--help: too short to be a MOD file (3 bytes)\n")) << file.err;
}

// The manual pages name every option --help names and no other, and the
// player's page every key and action its --help names (the actions as the
// settings file takes them), so that the three places the keys and options
// are told in (the README follows the pages) can't drift.
TEST(Player, ManualPagesNameTheOptionsAndKeysOfTheHelp) {
    using Names = std::set<std::string>;
    // The long options of the help's option lines ("  -s, --seconds S  ...").
    const auto helpOptions = [](const std::string& help) {
        Names names;
        const std::regex line(R"(\n {2,8}(?:-[a-zA-Z], )?(--[a-z][a-z-]*))");
        for (std::sregex_iterator m(help.begin(), help.end(), line), end; m != end; ++m) names.insert((*m)[1]);
        return names;
    };
    // The lines of a page's section, from ".SH NAME" to the next ".SH" or ".SS".
    const auto section = [](const std::string& page, const std::string& name) {
        const std::size_t from = page.find("\n.SH " + name + "\n");
        if (from == std::string::npos) return std::string();
        return page.substr(from, page.find("\n.S", from + 1) - from);
    };
    // The long options tagged in a page's OPTIONS (the line after each .TP).
    const auto pageOptions = [&](const std::string& page) {
        Names names;
        const std::string options = section(page, "OPTIONS");
        const std::regex tag(R"(\n\.TP\n\.B[IR]? ([^\n]*))");
        const std::regex option(R"(\\-\\-([a-z]|\\-)+)");
        for (std::sregex_iterator t(options.begin(), options.end(), tag), end; t != end; ++t) {
            const std::string text = (*t)[1];
            for (std::sregex_iterator o(text.begin(), text.end(), option); o != end; ++o)
                names.insert(std::regex_replace(o->str(), std::regex(R"(\\-)"), "-"));
        }
        return names;
    };
    for (const auto& [program, page] : {std::pair{kZindle, "zindle.1"}, std::pair{kRender, "zindle-render.1"}}) {
        const harness::Result help = harness::run({program, "--help"}, harness::headlessEnv("/dev/null"));
        const std::string manual = harness::readText(std::string(ZINDLE_SOURCE_DIR) + "/man/" + page);
        ASSERT_FALSE(helpOptions(help.out).empty()) << program;
        EXPECT_EQ(pageOptions(manual), helpOptions(help.out)) << page;
    }
    // The keys: the first column of the help's "Keys:" lines ("Right / Left"
    // is two), against the tags of the page's KEYS section.
    const std::string help = harness::run({kZindle, "--help"}, harness::headlessEnv("/dev/null")).out;
    Names help_keys;
    const std::size_t keys_at = help.find("\nKeys");
    const std::string keys = help.substr(keys_at, help.find("\n\n", keys_at) - keys_at);
    const std::regex key_line(R"(\n  ([A-Z][a-z]*(?: [A-Z][a-z]*)?)(?: / ([A-Z][a-z]*))? )");
    for (std::sregex_iterator m(keys.begin(), keys.end(), key_line), end; m != end; ++m) {
        help_keys.insert((*m)[1]);
        if ((*m)[2].matched) help_keys.insert((*m)[2]);
    }
    Names page_keys;
    const std::string page_section = section(harness::readText(std::string(ZINDLE_SOURCE_DIR) + "/man/zindle.1"), "KEYS");
    const std::regex tag(R"(\n\.TP\n\.B ([^\n]*))");
    for (std::sregex_iterator t(page_section.begin(), page_section.end(), tag), end; t != end; ++t) page_keys.insert((*t)[1]);
    EXPECT_EQ(help_keys.size(), 14u);
    EXPECT_EQ(page_keys, help_keys);
    // The actions' names: in brackets in the help's key lines, ".RB [ name ]"
    // in the page.
    Names help_actions, page_actions;
    const std::regex bracketed(R"(\[([a-z0-9_,\s]+)\])"), name(R"([a-z0-9_]+)");
    for (std::sregex_iterator b(keys.begin(), keys.end(), bracketed), end; b != end; ++b) {
        const std::string names = (*b)[1];
        for (std::sregex_iterator n(names.begin(), names.end(), name); n != end; ++n) help_actions.insert(n->str());
    }
    const std::string page = harness::readText(std::string(ZINDLE_SOURCE_DIR) + "/man/zindle.1");
    const std::regex page_action(R"(\n\.RB \[ ([a-z0-9_]+) \])");
    for (std::sregex_iterator a(page.begin(), page.end(), page_action), end; a != end; ++a) page_actions.insert((*a)[1]);
    EXPECT_EQ(help_actions.size(), 26u);
    EXPECT_EQ(page_actions, help_actions);
    for (const std::string& action : help_actions) EXPECT_NE(keyActionNamed(action), KeyAction::kNone) << action;
}

// A bad option: one line saying why, a hint, status 2, and nothing opened.
TEST(Player, RefusesBadOptionsAndOpensNothing) {
    TempDir dir;
    const std::string module = writeSong(dir, busy(1));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--separation", "101"}, "--separation needs a percentage from 0 to 100"},
        {{"--separation=-1"}, "--separation needs a percentage from 0 to 100"},
        {{"--seed", "x1"}, "--seed needs a whole number, 0 or more"},
        {{"--seed"}, "--seed needs a value"},
        {{"--bogus"}, "unknown option --bogus"},
        {{"--scale", "9"}, "--scale takes auto or 1 to 8"},
        {{"--scale=x"}, "--scale takes auto or 1 to 8"},
    };
    for (const auto& [options, why] : cases) {
        std::vector<std::string> argv = {kZindle, module};
        argv.insert(argv.end(), options.begin(), options.end());
        const harness::Result r = harness::run(argv, harness::headlessEnv(dir.file("audio.raw")));
        EXPECT_EQ(r.status, 2) << options[0];
        EXPECT_EQ(r.err, "zindle: " + why + "\nTry 'zindle --help'.\n");
    }
    EXPECT_NE(access(dir.file("audio.raw").c_str(), F_OK), 0) << "the audio device was opened";
}

// Both programs refuse what they can't play with the same two lines: the
// fixed first one, then the file and why, in the loader's words (every reason
// is in tests/test_loader.cpp): one the file's opening gives, one libxmp's.
TEST(Player, RefusesWhatIsNotAModuleAndSaysWhy) {
    TempDir dir;
    modwriter::Song nine = harness::basicSong();
    nine.tag = "09CH";
    writeSong(dir, nine, "nine.mod");
    // A pipe with no writer and a socket, which would hold a plain open for
    // good, and a device: refused at once, named alone or found in a folder
    // beside a module (each run has a timeout: nothing may wait on them).
    const TempDir elsewhere;
    const std::string odd = elsewhere.path();
    writeSong(elsewhere, harness::basicSong(), "good.mod");
    for (const std::string& folder : {dir.path(), odd}) {
        ASSERT_EQ(mkfifo((folder + "/pipe.mod").c_str(), 0644), 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s/socket.mod", folder.c_str());
        const int bound = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(bind(bound, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << address.sun_path;
        close(bound);
    }
    constexpr int kAtOnce = 20;  // seconds: a run that waits on a file is killed long before
    for (const char* mode : {"--info", "--json", "--probe-line"}) {
        const harness::Result r = harness::run({kRender, mode, odd}, {}, kAtOnce);
        EXPECT_EQ(r.status, 0) << mode << r.err;
        EXPECT_NE(r.out.find(std::string(mode) == "--probe-line" ? "M.K.\t4\t" : "good.mod"), std::string::npos) << r.out;
    }
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("missing.mod"), "no such file"},
        {dir.path(), "a folder, not a file"},
        {dir.file("nine.mod"),
         "a module libxmp knows (Amiga Protracker/Compatible), but it can't load this one: the file is damaged or cut short"},
        {dir.file("pipe.mod"), "not a regular file (a pipe)"},
        {dir.file("socket.mod"), "not a regular file (a socket)"},
        {"/dev/zero", "not a regular file (a device)"},
    };
    for (const auto& [path, why] : cases) {
        const std::string expected = "Couldn't load the module!\n" + path + ": " + why + "\n";
        const harness::Result r = harness::run({kZindle, path}, harness::headlessEnv(dir.file("audio.raw")), kAtOnce);
        EXPECT_EQ(r.status, 1) << path;
        // The module is read before SDL starts (its disk driver would announce
        // itself): the message is all there is. A folder is a list to both
        // programs, the player naming each refused file as it goes.
        if (path == dir.path()) {
            EXPECT_TRUE(endsWith(r.err, "\nCouldn't load the module!\n")) << r.err;
            continue;
        }
        EXPECT_EQ(r.err, expected) << path;
        const harness::Result render = harness::run({kRender, "--output", dir.file("out.wav"), path}, {}, kAtOnce);
        EXPECT_EQ(render.status, 1) << path;
        EXPECT_EQ(render.err, expected);
        for (const char* mode : {"--info", "--json", "--probe-line"}) {
            const harness::Result told = harness::run({kRender, mode, path}, {}, kAtOnce);
            EXPECT_EQ(told.status, 1) << mode << " " << path;
            EXPECT_EQ(told.err, "zindle-render: couldn't load the module " + path + ": " + why + "\n") << mode;
        }
    }
    // The player plays the folder's module, passing the pipe and the socket by.
    const TempDir sound;
    EXPECT_EQ(harness::playHeadless({kZindle, "--from-start", odd}, sound.path(), 4096, kAtOnce), 0);
}

// A module without read permission is refused like a missing one, by both
// programs (run as nobody when the tests run as root).
TEST(Player, RefusesAModuleItMayNotRead) {
    std::string why_not;
    const std::vector<std::string> as_user = unprivileged(why_not);
    if (!why_not.empty()) GTEST_SKIP() << why_not;
    TempDir dir;
    chmod(dir.path().c_str(), 0755);  // let nobody into the folder
    const std::string module = writeSong(dir, busy(1));
    const std::string sound = dir.file("sound");
    mkdir(sound.c_str(), 0777);
    chmod(sound.c_str(), 0777);  // whatever the umask: the disk driver writes here
    // While the file is readable it loads: the refusal below is the permission's doing.
    const harness::Result readable =
        harness::run(joined(as_user, {kRender, "--seconds", "0.1", "--output", sound + "/readable.wav", module}));
    if (readable.status == 126 || readable.status == 127)
        GTEST_SKIP() << "nobody may not run the programs in this folder: " << readable.err;
    ASSERT_EQ(readable.status, 0) << readable.err;

    ASSERT_EQ(chmod(module.c_str(), 0), 0);
    const harness::Result player =
        harness::run(joined(as_user, {kZindle, module}), harness::headlessEnv(sound + "/audio.raw"));
    const std::string expected = "Couldn't load the module!\n" + module + ": permission denied\n";
    EXPECT_EQ(player.status, 1);
    EXPECT_EQ(player.err, expected);
    const harness::Result render = harness::run(joined(as_user, {kRender, "--output", sound + "/refused.wav", module}));
    EXPECT_EQ(render.status, 1);
    EXPECT_EQ(render.err, expected);
}

// Without a display SDL may draw in the terminal itself (libcaca) and clear
// it at exit: what went to standard error is on the terminal afterwards,
// whether Escape or SIGTERM ended the player (the terminal library's own
// SIGTERM handler would leave at once, status 1, the message lost). A
// console terminal (TERM=linux, as on a handheld) has no second screen that
// would bring the old text back by itself.
TEST(Player, MessagesOutliveDrawingInTheTerminal) {
    const std::string tmux = harness::findProgram("tmux");
    if (tmux.empty()) GTEST_SKIP() << "not installed: tmux";
    for (const bool by_signal : {false, true}) {
        SCOPED_TRACE(by_signal ? "SIGTERM" : "Escape");
        TempDir dir;
        const std::string songs = dir.file("songs");
        mkdir(songs.c_str(), 0755);
        harness::writeBytes(songs + "/0-bad.mod", {1, 2, 3});
        writeSong(dir, busy(1), "songs/1.mod");
        const std::string audio = dir.file("audio.raw");
        const std::string socket = dir.file("tmux.sock");
        const std::string command = "unset DISPLAY; TERM=linux SDL_VIDEODRIVER=caca SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" +
                                    audio + "' SDL_DISKAUDIODELAY=10 '" + kZindle + "' '" + songs +
                                    "'; echo \"exit $?\"; sleep 60";
        ASSERT_EQ(harness::run({tmux, "-S", socket, "new-session", "-d", "-x", "200", "-y", "40", command}).status, 0);
        const auto pane = [&] { return harness::run({tmux, "-S", socket, "capture-pane", "-p"}).out; };
        EXPECT_TRUE(harness::waitForSize(audio, 48000, 30)) << pane();
        if (by_signal) {
            // The player is the only child of the pane's shell.
            const std::string shell = harness::run({tmux, "-S", socket, "display-message", "-p", "#{pane_pid}"}).out;
            harness::run({harness::findProgram("pkill"), "-TERM", "-P", shell.substr(0, shell.find('\n'))});
        } else {
            harness::run({tmux, "-S", socket, "send-keys", "Escape"});
        }
        std::string screen;
        for (int i = 0; i < 300 && screen.find("exit ") == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            screen = pane();
        }
        harness::run({tmux, "-S", socket, "kill-server"});
        EXPECT_NE(screen.find("exit 0"), std::string::npos) << screen;
        EXPECT_NE(screen.find("Couldn't load " + songs + "/0-bad.mod: too short to be a MOD file (3 bytes), skipped"),
                  std::string::npos)
            << screen;
    }
}

TEST(Player, ReportsAnAudioDeviceThatWontOpen) {
    TempDir dir;
    const harness::Result r =
        harness::run({kZindle, writeSong(dir, busy(1))}, harness::headlessEnv(dir.file("no/such/folder/a.raw")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to open audio: "), std::string::npos) << r.err;
    EXPECT_TRUE(endsWith(r.err, "\nCouldn't initialize zindle!\n")) << r.err;
}

TEST(Player, QuitsCleanlyOnTermAndInt) {
    for (int sig : {SIGTERM, SIGINT}) {
        TempDir dir;
        EXPECT_EQ(harness::playHeadless({kZindle, writeSong(dir, busy(1))}, dir.path(), 8 * 4096, 60, sig), 0) << sig;
    }
}

// The disk driver's file: whole buffers of silence from before the song
// started, the very output of zindle-render, then the silence of shutdown.
// The module's file is cut short: both programs say so, and play silence
// for what is missing.
TEST(Player, PlaysExactlyWhatTheRendererRenders) {
    TempDir dir;
    const std::string module = dir.file("song.mod");
    harness::writeCutShort(module, busy(2), 800);
    const std::string audio = dir.file("audio.raw");
    ASSERT_EQ(harness::playHeadless({kZindle, module}, dir.path(), 48000 * 4 * 2), 0);
    EXPECT_NE(harness::readText(dir.file("err")).find(module + ": " + kCutShort + ", played as silence\n"), std::string::npos)
        << harness::readText(dir.file("err"));
    std::vector<std::uint8_t> played = harness::readBytes(audio);
    ASSERT_GE(played.size(), 48000u * 4 * 2);
    ASSERT_EQ(played.size() % 4096, 0u);

    std::size_t lead = 0;
    while (lead < played.size() && played[lead] == 0) ++lead;
    lead -= lead % 4096;  // the song starts on a buffer boundary
    const std::size_t body = played.size() - lead;
    const std::string rendered = dir.file("render.raw");
    const harness::Result r = harness::run({kRender, "--raw", "--seconds", std::to_string(body / 192000 + 1),
                                            "--output", rendered, module});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "zindle-render: " + module + ": " + kCutShort + ", rendered as silence\n");
    const std::vector<std::uint8_t> expected = harness::readBytes(rendered);
    ASSERT_GE(expected.size(), body);

    std::size_t same = 0;
    while (same < body && played[lead + same] == expected[same]) ++same;
    EXPECT_GE(same, 48000u * 4) << "the first second differs";
    EXPECT_EQ(same % 4096, 0u) << "the song ended inside a buffer";
    for (std::size_t i = lead + same; i < played.size(); ++i)
        ASSERT_EQ(played[i], 0) << "sound after the song was stopped, at byte " << i;
    EXPECT_NE(expected[same], 0) << "renderer and player agree up to the shutdown";
}

// The song's own time, as the status line tells it: at 10 s and 30 s into
// the song, songElapsedFrames points at the tick a one-pass render plays at
// the same point (its --trace: the same order position and row), on our
// engine and on libxmp's; given the positions' times zindle-render
// --probe-line tells, two jumps forward set it to the frame at which one
// pass first plays each new position, within a tick.
TEST(Engine, ElapsedTimeCountsFramesAndJumpsToThePositionsTime) {
    TempDir dir;
    const std::string mod = writeSong(dir, busy(5));  // 38.4 s
    const std::string xm = dir.file("trackers.xm");     // 38.4 s
    for (const ModuleFile& file : trackerModules())
        if (file.name == "trackers.xm") harness::writeBytes(xm, file.bytes);
    for (const std::string& module : {mod, xm}) {
        SCOPED_TRACE(module);
        // "FORMAT\tCHANNELS\tMS\tSTART/PASS/F0,F1,...": the first song's times.
        const harness::Result r = harness::run({kRender, "--probe-line", module});
        ASSERT_EQ(r.status, 0) << r.err;
        std::stringstream fields(r.out);
        std::string field;
        for (int i = 0; i < 4; ++i) std::getline(fields, field, '\t');
        unsigned long long pass = 0;
        int start = -1, used = 0;
        ASSERT_EQ(std::sscanf(field.c_str(), "%d/%llu/%n", &start, &pass, &used), 2) << r.out;
        std::vector<std::int64_t> times;
        std::stringstream list(field.substr(static_cast<std::size_t>(used)));
        while (std::getline(list, field, ',')) times.push_back(field == "-" ? -1 : std::stoll(field));
        ASSERT_EQ(times.size(), 5u) << r.out;
        // Each tick of the render: its first frame, order position and row.
        struct Tick {
            std::uint64_t frame;
            int order, row;
        };
        std::vector<Tick> ticks;
        std::stringstream trace(harness::run({kRender, "--trace", "--raw", "-o", "/dev/null", module}).out);
        for (Tick t{}; trace >> t.frame >> t.order >> t.row && std::getline(trace, field);) ticks.push_back(t);
        ASSERT_FALSE(ticks.empty());
        const auto renderAt = [&](std::uint64_t frame) {
            const auto after = std::upper_bound(ticks.begin(), ticks.end(), frame,
                                                [](std::uint64_t f, const Tick& t) { return f < t.frame; });
            return *(after - 1);
        };

        harness::resetGlobals();
        LoadedSong* song = songLoad(module.c_str());
        ASSERT_NE(song, nullptr);
        songPlay(song, 0);
        songSetTimes(song, pass, times.data(), static_cast<int>(times.size()));
        std::uint8_t buffer[4 * 1024];
        const auto mixUntil = [&](std::uint64_t frames) {
            while (songElapsedFrames() < frames) mixaudio(nullptr, buffer, sizeof buffer);
        };
        const auto near = [](std::uint64_t a, std::uint64_t b) {
            return (a > b ? a - b : b - a) <= static_cast<std::uint64_t>(songTickFrames());
        };
        for (const int seconds : {10, 30}) {
            mixUntil(static_cast<std::uint64_t>(seconds) * kOutputRate);
            NowPlaying now;
            songDescribe(&now);
            const Tick render = renderAt(songElapsedFrames());
            EXPECT_EQ(now.order, render.order) << seconds << " s";
            EXPECT_EQ(now.row, render.row) << seconds << " s";
        }
        for (int jumps = 1; jumps <= 2; ++jumps) {
            const int to = (songOrder() + 1) % 5;
            songJump(songOrder() + 1);
            EXPECT_EQ(songOrder(), to);
            EXPECT_PRED2(near, songElapsedFrames(), static_cast<std::uint64_t>(times[static_cast<std::size_t>(to)]))
                << "after the jump to position " << to;
        }
        songFree(song);
        harness::resetGlobals();
    }
}

// The stereo separation from the command line, else the buttons' last
// choice (a state written as the list's Left Alt writes it), else the
// settings file; at 0 the sound is mono, both sides the same.
TEST(Player, SeparationFromTheCommandLineTheButtonsOrTheSettingsFile) {
    struct Case {
        const char* file;             // zindle.conf
        int button;                   // the separation chosen with the button; -1: none
        std::vector<std::string> options;
        bool mono;
    };
    const Case cases[] = {
        {"# headphones\nseparation = 0\n", -1, {}, true},
        {"separation = 0\n", -1, {"--separation", "100"}, false},
        {"separation = 100\n", 0, {}, true},
        {"volume = 3\nseparation = 50\n", 0, {"--separation=0"}, true},
        {"", -1, {}, false},
    };
    for (const Case& k : cases) {
        TempDir dir;
        const std::string module = writeSong(dir, busy(1));
        mkdir(dir.file("xdg-config").c_str(), 0755);
        mkdir(dir.file("xdg-config/zindle").c_str(), 0755);
        harness::writeBytes(dir.file("xdg-config/zindle/zindle.conf"), std::vector<std::uint8_t>(k.file, k.file + std::strlen(k.file)));
        if (k.button >= 0) {
            const harness::ScopedEnv env(harness::userFolders(dir.path()));
            resumeOpen(0, nullptr);
            resumeSetChoices(Settings{std::nullopt, k.button});
            resumeSave();
            resumeClose();
        }
        std::vector<std::string> argv = {kZindle};
        argv.insert(argv.end(), k.options.begin(), k.options.end());
        argv.push_back(module);
        ASSERT_EQ(harness::playHeadless(argv, dir.path(), 48000 * 4), 0) << harness::readText(dir.file("err"));
        const std::vector<std::uint8_t> played = harness::readBytes(dir.file("audio.raw"));
        std::size_t sound = 0, different = 0;
        for (std::size_t i = 0; i + 4 <= played.size(); i += 4) {
            if (le32(played, i) != 0) ++sound;
            if (le16(played, i) != le16(played, i + 2)) ++different;
        }
        EXPECT_GT(sound, 24000u) << k.file;
        EXPECT_EQ(different == 0, k.mono) << k.file << " " << different << " frames differ";
        const std::string err = harness::readText(dir.file("err"));
        EXPECT_EQ(err.find("zindle: ") != std::string::npos, k.file[0] == 'v') << err;
    }
}

// --- make play

// `make play MOD=...` builds the player and the demo alone, and hands the
// module to the player as one argument whatever its name holds. Checked
// with `make -n` against a stand-in player that prints its arguments.
TEST(MakePlay, QuotesTheModuleAndBuildsOnlyThePlayer) {
    TempDir dir;
    const std::string module = dir.file("my mods/it's a \"song\".mod");
    const std::string stand_in = "#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; done\n";
    harness::writeBytes(dir.file("zindle"), std::vector<std::uint8_t>(stand_in.begin(), stand_in.end()));
    chmod(dir.file("zindle").c_str(), 0755);
    const harness::Result plan =
        harness::run({"/usr/bin/make", "-n", "-C", ZINDLE_SOURCE_DIR, "play", "BUILD=" + dir.path(), "JOBS=2", "MOD=" + module},
                     {{"MAKEFLAGS", ""}, {"MAKELEVEL", ""}});  // not the flags of a make running the tests
    ASSERT_EQ(plan.status, 0) << plan.err;
    std::istringstream lines(plan.out);
    std::string line, build, play;
    while (std::getline(lines, line)) {
        if (line.rfind("cmake --build", 0) == 0) build = line;
        if (line.rfind(dir.file("zindle "), 0) == 0) play = line;
    }
    EXPECT_NE(build.find("--target zindle demo_module"), std::string::npos) << plan.out;
    ASSERT_FALSE(play.empty()) << plan.out;
    const harness::Result played = harness::run({"/bin/sh", "-c", play});
    EXPECT_EQ(played.out, module + "\n");
}

// --- zindle-render

TEST(Render, WritesAValidWavFile) {
    TempDir dir;
    const std::string module = writeSong(dir, busy(1));
    const harness::Result r = harness::run({kRender, "--seconds", "0.5", "--output", dir.file("a.wav"), module});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::uint8_t> wav = harness::readBytes(dir.file("a.wav"));
    ASSERT_EQ(wav.size(), 44u + 24000 * 4);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(wav, 16), 16u);
    EXPECT_EQ(le16(wav, 20), 1);       // PCM
    EXPECT_EQ(le16(wav, 22), 2);       // stereo
    EXPECT_EQ(le32(wav, 24), 48000u);
    EXPECT_EQ(le32(wav, 28), 192000u);
    EXPECT_EQ(le16(wav, 32), 4);
    EXPECT_EQ(le16(wav, 34), 16);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(le32(wav, 40), 24000u * 4);

    const harness::Result raw = harness::run({kRender, "--raw", "--seconds", "0.5", "--output", dir.file("a.raw"), module});
    ASSERT_EQ(raw.status, 0);
    EXPECT_EQ(harness::readBytes(dir.file("a.raw")), std::vector<std::uint8_t>(wav.begin() + 44, wav.end()));
}

TEST(Render, SecondsAreExactFrames) {
    TempDir dir;
    const std::string module = writeSong(dir, busy(1));
    const std::pair<const char*, std::size_t> cases[] = {{"0", 0}, {"1", 48000}, {"0.3", 14400},
                                                         {"1.00001", 48000}, {"0.0000209", 1}, {"2.5", 120000}};
    for (const auto& [seconds, frames] : cases) {
        const harness::Result r = harness::run({kRender, "--raw", "--seconds", seconds, "--output", "-", module});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.size(), frames * 4) << seconds;
    }
    // The option forms getopt_long knows.
    for (const std::vector<std::string>& form : std::vector<std::vector<std::string>>{
             {"--seconds=0.5"}, {"--seconds", "0.5"}, {"-s", "0.5"}, {"-s0.5"}, {"--sec=0.5"}}) {
        std::vector<std::string> argv = {kRender, "-f", "raw", "-o", "-", module};
        argv.insert(argv.begin() + 1, form.begin(), form.end());
        const harness::Result r = harness::run(argv);
        EXPECT_EQ(r.status, 0) << form[0] << r.err;
        EXPECT_EQ(r.out.size(), 24000u * 4) << form[0];
    }
}

TEST(Render, TraceGivesOneLinePerTick) {
    TempDir dir;
    modwriter::Song song = busy(1);
    song.row(0, 1, "--- -- ... | --- -- ... | --- -- ... | --- -- F7D");
    const std::string module = writeSong(dir, song);
    const harness::Result r =
        harness::run({kRender, "--trace", "--seconds", "0.2", "--output", dir.file("t.wav"), module});
    ASSERT_EQ(r.status, 0);
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) all.push_back(line);
    ASSERT_EQ(all.size(), 10u);  // ticks at 0, 960, ..., 8640 of 9600 frames
    EXPECT_EQ(all[0], "0 0 0 0 6 125 0:0:2828:64 1024:0:3571:50 0:0:4247:64 1024:0:5657:50");
    EXPECT_EQ(all[1].rfind("960 0 0 1 6 125 0:165:2828:64 1024:", 0), 0u) << all[1];
    EXPECT_EQ(all[6].rfind("5760 0 1 0 6 125 ", 0), 0u) << all[6];
    EXPECT_EQ(all[7].rfind("6720 0 1 1 6 125 ", 0), 0u) << all[7];

    // With the audio on standard output the trace goes to standard error.
    const harness::Result piped = harness::run({kRender, "--raw", "--trace", "--seconds", "0.2", "--output", "-", module});
    EXPECT_EQ(piped.out.size(), 9600u * 4);
    EXPECT_EQ(piped.err.substr(0, all[0].size()), all[0]);
}

// One pass, as rendered to a file or a pipe (the same frames, though the
// pipe's length is found first by running ticks that change the module)
// and as --info tells it, and --loops 2: the second pass starts where the
// first came back to.
TEST(Render, OnePassEndsWhereTheSongComesBack) {
    struct Case {
        const char* name;
        modwriter::Song song;
        std::uint64_t rows;
        std::uint64_t rows_two_passes;
    };
    std::vector<Case> cases;
    cases.push_back({"ends", busy(2), 128, 256});
    {
        modwriter::Song song = busy(3);
        song.at(2, 63, 1) = modwriter::Cell{0, 0, 0xB, 1};  // back to order 1
        cases.push_back({"jumps back", song, 192, 192 + 128});
    }
    {
        modwriter::Song song = busy(1);
        song.at(0, 4, 2) = modwriter::Cell{0, 0, 0xE, 0x60};
        song.at(0, 8, 2) = modwriter::Cell{0, 0, 0xE, 0x62};
        song.at(0, 20, 2) = modwriter::Cell{0, 0, 0xE, 0xE2};
        cases.push_back({"loops and delays", song, 64 + 10 + 2, 2 * (64 + 10 + 2)});
    }
    {
        modwriter::Song song = busy(2);
        song.restart = 1;
        cases.push_back({"restarts", song, 128, 128 + 64});
    }
    {
        modwriter::Song song = busy(1);
        song.at(0, 32, 0).effect = 0xE;  // with the note: sample 2's finetune becomes -8
        song.at(0, 32, 0).param = 0x58;
        song.at(0, 32, 1).effect = 0xE;  // sample 1's loop inverted, byte by byte
        song.at(0, 32, 1).param = 0xFF;
        cases.push_back({"rewrites its samples", song, 64, 128});
    }
    for (const Case& k : cases) {
        TempDir dir;
        const std::string module = writeSong(dir, k.song);
        const harness::Result r = harness::run({kRender, "--raw", "--output", dir.file("o.raw"), module});
        ASSERT_EQ(r.status, 0) << k.name << r.err;
        const std::vector<std::uint8_t> one = harness::readBytes(dir.file("o.raw"));
        EXPECT_EQ(one.size(), k.rows * kRowFrames * 4) << k.name;
        const harness::Result wav = harness::run({kRender, "--output", "-", module});
        EXPECT_EQ(wav.out.size(), 44 + k.rows * kRowFrames * 4) << k.name;
        EXPECT_TRUE(wav.out.size() > 44 && wav.out.compare(44, std::string::npos, std::string(one.begin(), one.end())) == 0)
            << k.name << ": the pipe's frames differ from the file's";
        const harness::Result info = harness::run({kRender, "--json", module});
        EXPECT_NE(info.out.find("\"duration_frames\":" + std::to_string(k.rows * kRowFrames) + ","), std::string::npos)
            << k.name << info.out;

        const harness::Result two = harness::run({kRender, "--raw", "--loops", "2", "--output", "-", module});
        ASSERT_EQ(two.out.size(), k.rows_two_passes * kRowFrames * 4) << k.name;
        EXPECT_EQ(two.out.compare(0, one.size(), std::string(one.begin(), one.end())), 0) << k.name << ": the first pass differs";
        const harness::Result two_wav = harness::run({kRender, "--loops", "2", "--output", "-", module});
        EXPECT_EQ(two_wav.out.size(), 44 + two.out.size()) << k.name;
    }
}

// A start past the song's end fails that module, alone or in a batch.
TEST(Render, StartsAtTheGivenOrder) {
    TempDir dir;
    const std::string module = writeSong(dir, busy(3));
    const harness::Result r = harness::run({kRender, "--trace", "--start", "2", "--seconds", "0.01", "--output", dir.file("o.wav"), module});
    EXPECT_EQ(r.out.rfind("0 2 0 0 6 125 ", 0), 0u) << r.out;
    const std::string two = writeSong(dir, busy(2), "two.mod");
    const harness::Result past = harness::run({kRender, "--start", "2", "--seconds", "0.01", "--output-dir", dir.path(), module, two});
    EXPECT_EQ(past.status, 1);
    EXPECT_NE(past.err.find("zindle-render: " + two + ": --start 2 is past the end of the song (2 positions)\n"), std::string::npos)
        << past.err;
    EXPECT_NE(past.err.find("zindle-render: 1 rendered, 0 skipped, 1 failed in "), std::string::npos) << past.err;
    EXPECT_NE(access(dir.file("two.wav").c_str(), F_OK), 0);
}

// The module's name without its extension, and for a module found in a
// folder its path below that folder, whose folders' dots are no extension.
TEST(Render, DefaultOutputIsTheModuleNameInTheCurrentFolder) {
    TempDir dir;
    writeSong(dir, busy(1), "tune.mod");
    for (const char* folder : {"songs", "songs/Jogeir v1.2"}) mkdir(dir.file(folder).c_str(), 0755);
    writeSong(dir, busy(1), "songs/Jogeir v1.2/guitar");
    const std::pair<const char*, const char*> cases[] = {
        {"tune.mod", "tune.wav"}, {"songs", "Jogeir v1.2/guitar.wav"}, {"songs/Jogeir v1.2/guitar", "guitar.wav"}};
    for (const auto& [module, output] : cases) {
        const harness::Result r =
            harness::run({"/bin/sh", "-c", "cd \"$1\" && exec \"$0\" --seconds 0.1 \"$2\"", kRender, dir.path(), module});
        EXPECT_EQ(r.status, 0) << module << r.err;
        EXPECT_EQ(harness::readBytes(dir.file(output)).size(), 44u + 4800 * 4) << module;
    }
}

// The cap of 30 minutes is a pass's: --loops 2 of a pass of 20:41 is twice
// that, as the header of a WAV written to a pipe says before its frames.
TEST(Render, EachPassHasACapOfItsOwn) {
    TempDir dir;
    // 8 orders of 64 rows at the slowest, speed 32 and 33 bpm: ticks of 3636 frames.
    const std::string module = writeSong(dir, harness::shortSong("long", 33, 32, 0, 8));
    constexpr std::uint64_t kPassFrames = 8ull * 64 * 32 * 3636;
    const harness::Result info = harness::run({kRender, "--json", module});
    EXPECT_NE(info.out.find("\"duration_frames\":" + std::to_string(kPassFrames) + ","), std::string::npos) << info.out;
    const harness::Result two =
        harness::run({"/bin/sh", "-c", "\"$0\" \"$@\" | head -c 44", kRender, "--loops", "2", "--output", "-", module});
    ASSERT_EQ(two.out.size(), 44u) << two.err;
    const std::vector<std::uint8_t> header(two.out.begin(), two.out.end());
    EXPECT_EQ(two.out.substr(36, 4), "data");
    EXPECT_EQ(le32(header, 40), 2 * kPassFrames * kBytesPerFrame);
}

// Each wrong option or value: status 2, its one line and where to read more,
// nothing rendered.
// --separation 100 is the sound without the option; 0 is mono; 50 lies
// between: on our engine and on libxmp's (its stereo mix follows).
TEST(Render, SeparationNarrowsTheStereo) {
    TempDir dir;
    harness::writeBytes(dir.file("song.s3m"), harness::trackerSong(harness::TrackerFormat::kS3m).s3m());
    for (const std::string& module : {writeSong(dir, busy(1)), dir.file("song.s3m")}) {
        SCOPED_TRACE(module);
        const auto render = [&](const std::vector<std::string>& extra) {
            std::vector<std::string> argv = {kRender, "--raw", "-s", "0.5", "-o", "-"};
            argv.insert(argv.end(), extra.begin(), extra.end());
            argv.push_back(module);
            return harness::run(argv).out;
        };
        const std::string plain = render({});
        ASSERT_EQ(plain.size(), 24000u * 4);
        EXPECT_EQ(render({"--separation", "100"}), plain);
        const auto sides = [](const std::string& raw, bool& mono, bool& stereo) {
            mono = true;
            stereo = false;
            for (std::size_t i = 0; i + 4 <= raw.size(); i += 4) {
                const bool same = raw.compare(i, 2, raw, i + 2, 2) == 0;
                mono = mono && same;
                stereo = stereo || !same;
            }
        };
        bool mono = false, stereo = false;
        sides(plain, mono, stereo);
        EXPECT_TRUE(stereo);
        sides(render({"--separation", "0"}), mono, stereo);
        EXPECT_TRUE(mono);
        const std::string half = render({"--separation", "50"});
        sides(half, mono, stereo);
        EXPECT_TRUE(stereo);
        EXPECT_NE(half, plain);
    }
}

TEST(Render, OptionsAndFailures) {
    TempDir dir;
    const std::string module = writeSong(dir, busy(1));
    mkdir(dir.file("a").c_str(), 0755);
    mkdir(dir.file("b").c_str(), 0755);
    const std::string a = writeSong(dir, busy(1), "a/x.mod"), b = writeSong(dir, busy(1), "b/x.mod");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus", module}, "unknown option --bogus"},
        {{"-x", module}, "unknown option -x"},
        {{"--seconds", "x", module}, "--seconds needs a number of seconds"},
        {{"--seconds"}, "--seconds needs a value"},
        {{"--start", "-1", module}, "--start needs an order position (0 to 255)"},
        {{"--start", "256", module}, "--start needs an order position (0 to 255)"},
        {{"--separation", "101", module}, "--separation needs a percentage (0 to 100)"},
        {{}, "no module given"},
        {{"--output", "o.wav", module, module}, "--output takes one module; --output-dir takes many"},
        {{"--output", "o.wav", dir.path()}, "--output takes one module; --output-dir takes many"},
        {{"--trace", module, module}, "--trace takes one module"},
        {{"-o", "o.wav", "--output-dir", ".", module}, "--output and --output-dir exclude each other"},
        {{"--seconds", "1", "--loops", "2", module}, "--seconds and --loops exclude each other"},
        {{"--loops", "0", module}, "--loops needs a number of passes (1 to 1000)"},
        {{"--format", "mp3", module}, "--format needs wav, flac or raw"},
        {{"-j", "0", module}, "--jobs needs a number of modules (1 to 256)"},
        {{"--output-dir", dir.file("out"), a, b}, a + " and " + b + " would both write " + dir.file("out/x.wav")},
    };
    for (const auto& [args, why] : cases) {
        std::vector<std::string> argv = {kRender};
        argv.insert(argv.end(), args.begin(), args.end());
        const harness::Result r = harness::run(argv);
        EXPECT_EQ(r.status, 2) << why;
        EXPECT_EQ(r.err, "zindle-render: " + why + "\nTry 'zindle-render --help' for more information.\n");
    }
    EXPECT_NE(access(dir.file("out").c_str(), F_OK), 0) << "a refused batch made its folder";
    const harness::Result help = harness::run({kRender, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: zindle-render", 0), 0u);

    const harness::Result missing = harness::run({kRender, dir.file("none.mod")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Couldn't load the module!\n" + dir.file("none.mod") + ": no such file\n");

    mkdir(dir.file("locked").c_str(), 0500);
    const harness::Result unwritable =
        harness::run({kRender, "--seconds", "1", "--output", dir.file("locked/o.wav"), module});
    if (geteuid() != 0) {
        EXPECT_EQ(unwritable.status, 1);
        EXPECT_NE(unwritable.err.find("o.wav"), std::string::npos);
    }
    const harness::Result no_folder =
        harness::run({kRender, "--seconds", "1", "--output", dir.file("none/o.wav"), module});
    EXPECT_EQ(no_folder.status, 1);
    EXPECT_NE(no_folder.err.find("none/o.wav"), std::string::npos);

    // A pipe or a device is written straight through, never renamed over, and
    // a full device is an error. The test makes its own in its folder: a FIFO,
    // and as root the null and full devices (where the folder allows devices).
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    harness::Child reader({"/bin/cat", fifo}, {}, dir.file("fifo.wav"), dir.file("cat.err"));
    const harness::Result piped = harness::run({kRender, "--output", fifo, module});
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(reader.wait(30), 0);
    EXPECT_EQ(harness::readBytes(dir.file("fifo.wav")).size(), 44 + 64 * kRowFrames * 4);
    struct stat info {};
    ASSERT_EQ(stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    const std::string null = dir.file("null"), full = dir.file("full");
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 || mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        return;  // not root: no device of our own
    if (access(null.c_str(), W_OK) != 0 || harness::run({"/bin/sh", "-c", ": > '" + null + "'"}).status != 0)
        return;  // a folder mounted without devices
    const harness::Result to_full = harness::run({kRender, "--seconds", "1", "--output", full, module});
    EXPECT_EQ(to_full.status, 1);
    EXPECT_NE(to_full.err.find(full), std::string::npos) << to_full.err;
    const harness::Result to_null = harness::run({kRender, "--output", null, module});
    EXPECT_EQ(to_null.status, 0) << to_null.err;
    ASSERT_EQ(stat(null.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST(Render, DemoModuleIsHalfAMinuteToAMinuteOfMusic) {
    TempDir dir;
    const std::vector<std::uint8_t> demo = harness::readBytes(ZINDLE_DEMO_MOD);
    EXPECT_GT(demo.size(), 1084u);
    EXPECT_LT(demo.size(), 100u * 1024);
    const harness::Result r = harness::run({kRender, "--raw", "--output", dir.file("demo.raw"), ZINDLE_DEMO_MOD});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::uint8_t> audio = harness::readBytes(dir.file("demo.raw"));
    EXPECT_GE(audio.size(), 30u * 48000 * 4);
    EXPECT_LE(audio.size(), 60u * 48000 * 4);
    std::size_t loud = 0;
    for (std::size_t i = 0; i + 1 < audio.size(); i += 2)
        if (std::abs(static_cast<std::int16_t>(audio[i] | audio[i + 1] << 8)) > 1000) ++loud;
    EXPECT_GT(loud, audio.size() / 4);  // music most of the time
}

namespace {

// The files in a folder and the folders below it ("a/x.wav"), sorted.
std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            struct stat info {};
            if (stat((folder + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                for (const std::string& below : filesIn(folder + "/" + name)) names.push_back(name + "/" + below);
            else
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// An output the renderer can't write, from the start or half-way: a message
// naming it, status 1, and no file of its own left behind; a file that was
// already there keeps its contents.
TEST(Render, LeavesNothingBehindWhenItCantWrite) {
    TempDir dir;
    const std::string module = writeSong(dir, busy(1));
    const auto files = filesIn;

    // The disk fills up half-way: a file size limit of 50 kB, its signal ignored.
    const std::string out = dir.file("out");
    mkdir(out.c_str(), 0755);
    const harness::Result full = harness::run({"/bin/sh", "-c",
                                               "ulimit -f 100; trap '' XFSZ; exec \"$0\" \"$@\"", kRender,
                                               "--seconds", "2", "--output", out + "/big.wav", module});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find(out + "/big.wav"), std::string::npos) << full.err;
    EXPECT_EQ(files(out), std::vector<std::string>{});

    std::string why_not;
    const std::vector<std::string> as_user = unprivileged(why_not);
    if (!why_not.empty()) GTEST_SKIP() << why_not;
    chmod(dir.path().c_str(), 0755);  // nobody may read the module, but write nowhere here
    harness::writeBytes(out + "/old.wav", {1, 2, 3});
    for (const std::string& target : {out + "/new.wav", out + "/old.wav"}) {
        const harness::Result r = harness::run(joined(as_user, {kRender, "--seconds", "1", "--output", target, module}));
        if (r.status == 126 || r.status == 127) GTEST_SKIP() << "nobody may not run the programs in this folder: " << r.err;
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_NE(r.err.find(target), std::string::npos) << r.err;
        EXPECT_EQ(files(out), std::vector<std::string>{"old.wav"}) << target;
    }
    EXPECT_EQ(harness::readBytes(out + "/old.wav"), (std::vector<std::uint8_t>{1, 2, 3}));
}

// --- zindle-render: batches, formats, --info

// Good modules are rendered, each refused or unreadable one is named with
// why, and the status says that something failed; more jobs than modules is
// fine. A folder's modules keep their folders below --output-dir, made as
// needed, and what in a folder is no module at all is skipped, with why.
// Under umask 022 everyone may read the files and folders made. One line
// sums the batch up.
TEST(Render, BatchRendersTheGoodModulesAndNamesEachFailure) {
    TempDir dir;
    const std::string one = writeSong(dir, busy(1), "one.mod");
    const std::string two = writeSong(dir, busy(2), "two.mod");
    modwriter::Song wrong = busy(1);
    wrong.tag = "M.k.";
    const std::string refused = writeSong(dir, wrong, "refused.mod");
    const std::string missing = dir.file("missing.mod");
    const std::string songs = dir.file("songs");
    for (const char* folder : {"songs", "songs/a", "songs/b", "songs/b/c"}) mkdir(dir.file(folder).c_str(), 0755);
    writeSong(dir, busy(1), "songs/a/x.mod");
    writeSong(dir, busy(1), "songs/b/x.mod");
    writeSong(dir, busy(2), "songs/b/c/deep.mod");
    writeSong(dir, busy(1), "songs/.hidden.mod");
    writeSong(dir, wrong, "songs/wrong.mod");
    modwriter::Song wide = busy(1);
    wide.tag = "33CH";
    writeSong(dir, wide, "songs/33ch.mod");
    harness::writeBytes(songs + "/notes.txt", {'h', 'e', 'l', 'l', 'o', '\n'});
    harness::writeBytes(songs + "/picture.png", std::vector<std::uint8_t>(2000, 0x89));
    const std::string xm = "Extended Module: song";
    harness::writeBytes(songs + "/song.xm", std::vector<std::uint8_t>(xm.begin(), xm.end()));
    const harness::Result single = harness::run({kRender, "--seconds", "0.2", "--output", dir.file("one.wav"), one});
    ASSERT_EQ(single.status, 0) << single.err;

    const auto noTag = [](const std::string& found) {
        return "not a MOD file: no known tag at byte 1080 (found \"" + found + "\") and no 15-sample module";
    };
    using Said = std::vector<std::pair<std::string, std::string>>;  // file and why
    struct Case {
        const char* jobs;
        std::vector<std::string> modules;
        int status;
        std::vector<std::string> outputs;
        Said failures, skipped;
        std::string summary;
    };
    const Case cases[] = {
        {"1", {one, refused, two, missing}, 1, {"one.wav", "two.wav"},
         {{refused, noTag("M.k.")}, {missing, "no such file"}}, {}, "2 rendered, 0 skipped, 2 failed"},
        {"3", {songs, missing}, 1, {"a/x.wav", "b/c/deep.wav", "b/x.wav"},
         {{songs + "/33ch.mod", "a module with 33 channels (tag \"33CH\"), which Zindle doesn't play"},
          {songs + "/song.xm", "an XM module (FastTracker 2), but not one libxmp reads either"},
          {missing, "no such file"}},
         {{songs + "/notes.txt", "too short to be a MOD file (6 bytes)"},
          {songs + "/picture.png", noTag("\\x89\\x89\\x89\\x89")}, {songs + "/wrong.mod", noTag("M.k.")}},
         "3 rendered, 3 skipped, 3 failed"},
        {"16", {one, two}, 0, {"one.wav", "two.wav"}, {}, {}, "2 rendered, 0 skipped, 0 failed"},
    };
    for (const Case& k : cases) {
        const TempDir out;
        const std::string target = out.file("new/folder");
        std::vector<std::string> argv = {"/bin/sh", "-c", "umask 022; exec \"$0\" \"$@\"", kRender,
                                         "-j", k.jobs, "--seconds", "0.2", "--output-dir", target};
        argv.insert(argv.end(), k.modules.begin(), k.modules.end());
        const harness::Result r = harness::run(argv);
        EXPECT_EQ(r.status, k.status) << k.jobs << r.err;
        EXPECT_EQ(filesIn(target), k.outputs) << k.jobs;
        const std::string same = k.outputs[0] == "one.wav" ? "one.wav" : "a/x.wav";
        EXPECT_EQ(harness::readBytes(target + "/" + same), harness::readBytes(dir.file("one.wav"))) << k.jobs;
        for (const std::string& made : {out.file("new"), target, target + "/b/c", target + "/" + k.outputs[1]}) {
            struct stat info {};
            if (stat(made.c_str(), &info) != 0) continue;  // no such folder in this case
            EXPECT_EQ(info.st_mode & 0777, S_ISDIR(info.st_mode) ? 0755u : 0644u) << made;
        }
        for (const auto& [failure, why] : k.failures)
            EXPECT_NE(r.err.find("zindle-render: couldn't load the module " + failure + ": " + why + "\n"), std::string::npos)
                << failure << r.err;
        for (const auto& [file, why] : k.skipped)
            EXPECT_NE(r.err.find("zindle-render: skipped " + file + ": " + why + "\n"), std::string::npos) << file << r.err;
        EXPECT_EQ(r.err.find(".hidden"), std::string::npos) << r.err;
        // Not a terminal: one plain line per module, and the sum last.
        const std::string first = k.outputs[0] == "one.wav" ? one : songs + "/a/x.mod";
        EXPECT_NE(r.err.find("] " + first + " -> " + target + "/" + k.outputs[0] + "\n"), std::string::npos) << r.err;
        const std::string summary = "zindle-render: " + k.summary + " in ";
        EXPECT_EQ(r.err.compare(r.err.rfind('\n', r.err.size() - 2) + 1, summary.size(), summary), 0) << r.err;
    }
}

// A folder given that holds no file is named as the player names it, and
// when nothing at all was told of or rendered the status is 1; modules
// beside it are rendered as ever.
TEST(Render, AnEmptyFolderOrNothingRenderedIsAFailure) {
    TempDir dir;
    const std::string one = writeSong(dir, busy(1), "one.mod");
    const std::string empty = dir.file("empty");
    const std::string junk = dir.file("junk");
    mkdir(empty.c_str(), 0755);
    mkdir(junk.c_str(), 0755);
    harness::writeBytes(junk + "/README.txt", {'h', 'i', '\n'});
    const std::string named = "zindle-render: " + empty + ": an empty folder, no module in it\n";
    struct Case {
        std::vector<std::string> paths;
        int status;
        bool names_empty;
    };
    const Case cases[] = {{{empty}, 1, true}, {{empty, one}, 0, true}, {{junk}, 1, false}, {{one, junk}, 0, false}};
    for (const char* mode : {"--info", "--json", "--seconds=0.1"}) {
        for (const Case& k : cases) {
            const TempDir out;
            std::vector<std::string> argv = {kRender, mode, "--output-dir", out.path()};
            argv.insert(argv.end(), k.paths.begin(), k.paths.end());
            const harness::Result r = harness::run(argv);
            EXPECT_EQ(r.status, k.status) << mode << " " << k.paths[0] << r.err;
            EXPECT_EQ(r.err.find(named) != std::string::npos, k.names_empty) << mode << r.err;
        }
    }
}

// --format, --raw or the output's extension choose the format; FLAC holds
// exactly the raw render's samples and the song's name as its TITLE, in
// UTF-8, also when written to a pipe, which `flac -t` then passes.
TEST(Render, FormatsFollowTheOptionOrTheExtension) {
    TempDir dir;
    modwriter::Song song = busy(1);
    song.title = "Caf\xE9";
    const std::string module = writeSong(dir, song, "tune.mod");
    const harness::Result raw = harness::run({kRender, "--raw", "--seconds", "1", "--output", "-", module});
    ASSERT_EQ(raw.out.size(), 48000u * 4);

    struct Case {
        std::vector<std::string> options;
        const char* file;      // what is written, in dir
        const char* magic;     // its first bytes; "" for raw
        bool pipe = false;     // written to standard output, a pipe into the file
    };
    const Case cases[] = {
        {{"-o", dir.file("a.flac")}, "a.flac", "fLaC"},
        {{"-o", dir.file("b.RAW")}, "b.RAW", ""},
        {{"-o", dir.file("c.out")}, "c.out", "RIFF"},
        {{"-f", "flac", "-o", dir.file("d.wav")}, "d.wav", "fLaC"},
        {{"--raw", "-o", dir.file("e.wav")}, "e.wav", ""},
        {{"--format=wav", "-o", dir.file("f.flac")}, "f.flac", "RIFF"},
        {{"-f", "flac", "--output-dir", dir.path()}, "tune.flac", "fLaC"},
        {{"-f", "raw", "--output-dir", dir.path()}, "tune.raw", ""},
        {{"-f", "flac", "-o", "-"}, "piped.flac", "fLaC", true},
        {{"-o", "-"}, "piped.wav", "RIFF", true},
    };
    for (const Case& k : cases) {
        std::vector<std::string> argv = {kRender, "--seconds", "1"};
        argv.insert(argv.end(), k.options.begin(), k.options.end());
        argv.push_back(module);
        if (k.pipe) argv.insert(argv.begin(), {"/bin/sh", "-c", "\"$0\" \"$@\" | cat > '" + dir.file(k.file) + "'"});
        const harness::Result r = harness::run(argv);
        ASSERT_EQ(r.status, 0) << k.file << r.err;
        const std::vector<std::uint8_t> bytes = harness::readBytes(dir.file(k.file));
        const std::string magic = k.magic;
        if (magic.empty()) {
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), raw.out) << k.file;
            continue;
        }
        ASSERT_GE(bytes.size(), 4u) << k.file;
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), magic) << k.file;
        SF_INFO info{};
        SNDFILE* file = sf_open(dir.file(k.file).c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << k.file << sf_strerror(nullptr);
        EXPECT_EQ(info.samplerate, 48000) << k.file;
        EXPECT_EQ(info.channels, 2) << k.file;
        EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16) << k.file;
        const char* title = sf_get_string(file, SF_STR_TITLE);
        EXPECT_EQ(title ? title : "(none)", std::string(magic == "fLaC" ? "Caf\xC3\xA9" : "(none)")) << k.file;
        std::vector<std::int16_t> samples(48000 * 2 + 16);
        const sf_count_t frames = sf_readf_short(file, samples.data(), 48000 + 8);
        sf_close(file);
        EXPECT_EQ(frames, 48000) << k.file;
        EXPECT_EQ(std::memcmp(samples.data(), raw.out.data(), raw.out.size()), 0) << k.file << ": samples differ";
    }
    const std::string flac = harness::findProgram("flac");
    if (flac.empty()) GTEST_SKIP() << "not installed: flac (scripts/install-deps.sh test)";
    for (const char* name : {"a.flac", "piped.flac"}) {
        const harness::Result test = harness::run({flac, "--test", "--silent", dir.file(name)});
        EXPECT_EQ(test.status, 0) << name << test.err;
    }
}

// --info, --json and --probe-line on modules the loader accepts, odd ones
// included: the values as loaded, names escaped, one JSON object per line,
// file names in UTF-8 (bytes that aren't as \udcXX), sample data the file
// lacks counted; a refused module is named with why, in JSON as an "error",
// as an empty probe line; in a folder what is no module is skipped.
TEST(Render, InfoDescribesEachModule) {
    TempDir dir;
    modwriter::Song song = busy(2);
    song.title = "Tab\there \"q\" \\ \xE9t\xE9";
    song.restart = 1;
    song.samples[0].name = "lead";
    song.samples[0].finetune = 15;
    song.samples[0].volume = 40;
    song.samples[1].name = std::string("bass\x01\x7F\xFF", 7);
    song.samples[4].name = "a message";  // no data: listed for its name
    const std::string good = writeSong(dir, song, "g\xC3\xB6\xC3\xB6" "d.mod");  // UTF-8
    modwriter::Song odd = busy(1);
    odd.title = std::string(20, '\x1B');
    odd.restart = 200;                                   // no restart position
    odd.samples[0] = harness::loopedSample(600, 99);     // volume past 64
    odd.samples[0].loop_start_words = 5000;              // loop past the sample's end
    odd.samples[0].loop_length_words = 9000;
    odd.samples[2] = harness::oneShotSample(32000);
    odd.samples[2].length_words = 65535;                 // longer than the data in the file
    const std::string strange = dir.file("odd\xE9.mod");
    harness::writeCutShort(strange, odd, 131070 - 32000);  // the file ends with sample 3's data
    modwriter::Song wrong = busy(1);
    wrong.tag = "XXXX";
    const std::string refused = writeSong(dir, wrong, "refused.mod");
    const std::string why = "not a MOD file: no known tag at byte 1080 (found \"XXXX\") and no 15-sample module";

    const harness::Result json = harness::run({kRender, "--json", good, refused, strange});
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.err, "zindle-render: couldn't load the module " + refused + ": " + why + "\n");
    std::istringstream lines(json.out);
    std::vector<std::string> objects;
    for (std::string line; std::getline(lines, line);) objects.push_back(line);
    ASSERT_EQ(objects.size(), 3u) << json.out;
    EXPECT_EQ(objects[1], "{\"file\":\"" + refused + "\",\"error\":\"not a MOD file: no known tag at byte 1080 (found "
                          "\\\"XXXX\\\") and no 15-sample module\"}");
    objects.erase(objects.begin() + 1);
    const harness::Result line = harness::run({kRender, "--probe-line", good, refused, strange});
    EXPECT_EQ(line.status, 1);
    EXPECT_EQ(line.err, json.err);
    // One song each, from position 0: 64 rows of 6 ticks of 960 frames to a position.
    EXPECT_EQ(line.out, "M.K.\t4\t15360\t0/737280/0,368640\n\nM.K.\t4\t7680\t0/368640/0\n");
    const std::uint64_t frames = 128 * kRowFrames;
    EXPECT_EQ(objects[0],
              "{\"file\":\"" + good + "\",\"title\":\"Tab\\u0009here \\\"q\\\" \\\\ \\u00e9t\\u00e9\","
              "\"format\":{\"tag\":\"M.K.\",\"channels\":4,\"samples\":31},\"length\":2,\"patterns\":2,\"restart\":1,"
              "\"duration_ms\":15360,\"duration_frames\":" + std::to_string(frames) + ",\"samples\":["
              "{\"number\":1,\"name\":\"lead\",\"length\":1024,\"loop_start\":0,\"loop_length\":1024,\"volume\":40,\"finetune\":-1},"
              "{\"number\":2,\"name\":\"bass\\u0001\\u007f\\u00ff\",\"length\":600,\"loop_start\":0,\"loop_length\":600,\"volume\":50,\"finetune\":0},"
              "{\"number\":5,\"name\":\"a message\",\"length\":0,\"loop_start\":0,\"loop_length\":0,\"volume\":64,\"finetune\":0}],"
              "\"song_list\":[{\"number\":1,\"start\":0,\"duration_ms\":15360,\"duration_frames\":737280,\"position_ms\":[0,7680]}]}");
    // Whatever the file said: ASCII without control characters, the loader's clamped values.
    for (char c : objects[1]) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);
    EXPECT_NE(objects[1].find("\"title\":\"" + std::string("\\u001b") + "\\u001b"), std::string::npos) << objects[1];
    EXPECT_NE(objects[1].find("\"restart\":null"), std::string::npos) << objects[1];
    EXPECT_NE(objects[1].find("\"number\":1,\"name\":\"test\",\"length\":600,\"loop_start\":10000,\"loop_length\":18000,\"volume\":64,"),
              std::string::npos) << objects[1];
    EXPECT_NE(objects[1].find("\"number\":3,\"name\":\"test\",\"length\":131070,"), std::string::npos) << objects[1];
    EXPECT_EQ(objects[1].rfind("{\"file\":\"" + dir.path() + "/odd\\udce9.mod\",", 0), 0u) << objects[1];
    EXPECT_NE(objects[1].find("\"duration_frames\":" + std::to_string(64 * kRowFrames) + ",\"missing_bytes\":99070,\"samples\":["),
              std::string::npos) << objects[1];
    EXPECT_NE(objects[1].find("\"finetune\":0,\"missing_bytes\":99070}],\"song_list\":"), std::string::npos) << objects[1];
    const harness::Result warned = harness::run({kRender, "--info", strange});
    EXPECT_NE(warned.out.find("\nWarning:   sample data cut short: 99070 bytes missing (sample 3: 99070), played as silence\n"),
              std::string::npos) << warned.out;

    // A folder: its modules described, the rest skipped with why.
    const std::string songs = dir.file("songs");
    mkdir(songs.c_str(), 0755);
    writeSong(dir, song, "songs/a.mod");
    harness::writeBytes(songs + "/notes.txt", {'h', 'i'});
    const harness::Result folder = harness::run({kRender, "--json", songs});
    EXPECT_EQ(folder.status, 0);
    EXPECT_EQ(folder.err, "zindle-render: skipped " + songs + "/notes.txt: too short to be a MOD file (2 bytes)\n");
    EXPECT_EQ(folder.out.rfind("{\"file\":\"" + songs + "/a.mod\",\"title\":", 0), 0u) << folder.out;
    EXPECT_EQ(std::count(folder.out.begin(), folder.out.end(), '\n'), 1) << folder.out;

    const harness::Result text = harness::run({kRender, "-i", good});
    EXPECT_EQ(text.status, 0) << text.err;
    for (const std::string& expected :
         {std::string("Title:     Tab.here \"q\" \\ \xC3\xA9t\xC3\xA9\n"), std::string("Format:    M.K., 4 channels, 31 samples\n"),
          std::string("Song:      2 positions, 2 patterns, restart at position 1\n"),
          std::string("One pass:  0:15.360 (737280 frames)\nPositions:   0 0:00.000   1 0:07.680\n"),
          std::string("   1  lead                      1024           0         1024      40        -1\n"),
          std::string("   2  bass..\xC3\xBF                    600           0          600      50        +0\n"),
          std::string("   5  a message                    0           -            -      64        +0\n")})
        EXPECT_NE(text.out.find(expected), std::string::npos) << expected << text.out;
    EXPECT_EQ(text.out.find("   3  "), std::string::npos) << "an empty, unnamed sample is listed";
}

// The module list's reading of a probe line: the three fields and a field
// per song, or nothing to show.
TEST(Player, ReadsWhatTheProbeLineSays) {
    const std::pair<std::string, std::string> cases[] = {  // the child's output, the facts read
        {"M.K.\t4\t15360\n", "M.K. 4 15360"},
        {"Fast Tracker II\t32\t0\n", "Fast Tracker II 32 0"},
        {"M.K.\t4\t15360\t0/737280/0,368640\n", "M.K. 4 15360 0/737280/0,368640"},
        {"XM\t2\t3840\t0/184320/0,-,-\t2/92160/-,-,0\n", "XM 2 3840 0/184320/0,-,- 2/92160/-,-,0"},
        {"XM\t2\t0\t0/0/\n", "XM 2 0 0/0/"},  // no positions
        {"\t4\t14620\n", "?"},  // an untagged MOD
        {"\n", "?"},              // a module that can't be loaded
        {"", "?"},
        {"M.K.\t4\t15360", "?"},  // cut short
        {"M.K.\t4\n", "?"},
        {"M.K.\t4\t1\t2\n", "?"},
        {"M.K.\t4\t1\t0/5\n", "?"},
        {"M.K.\t4\t1\t0/5/1,\n", "?"},
        {"M.K.\t4\t1\t0/5/-1\n", "?"},
        {"M.K.\t4\t1\t0/5/1/2\n", "?"},
        {"M.K.\t4\t1\t0/5/1\t\n", "?"},
        {"M.K.\tfour\t1\n", "?"},
        {"M.K.\t4\t-1\n", "?"},
        {"M.K.\t+4\t1\n", "?"},
        {"M.K.\t4\t 1\n", "?"},
        {"M.K.\t99999999999\t1\n", "?"},
        {"M.K.\t4\t1\nXM\t8\t1\n", "?"},
    };
    for (const auto& [output, read] : cases) {
        const ModuleFacts facts = probeParse(output);
        std::string text = facts.format + " " + std::to_string(facts.channels) + " " + std::to_string(facts.duration_ms);
        for (const ModuleFacts::SongTimes& song : facts.songs) {
            text += " " + std::to_string(song.start) + "/" + std::to_string(song.pass_frames) + "/";
            for (std::size_t i = 0; i < song.position_frames.size(); ++i)
                text += (i ? "," : "") + (song.position_frames[i] < 0 ? "-" : std::to_string(song.position_frames[i]));
        }
        EXPECT_EQ(facts.failed ? "?" : text, read) << output;
    }
}

namespace {

// A pseudo-terminal, for a program's standard error: name() is the device
// to open as the program's end, text() what arrived at the other end.
class Terminal {
  public:
    Terminal() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) name_ = ptsname(master_);
    }
    ~Terminal() {
        if (master_ >= 0) close(master_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    const std::string& name() const { return name_; }
    std::string text() const {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = read(master_, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

  private:
    int master_;
    std::string name_;
};

// The processes whose parent is pid.
std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> children;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* e = readdir(proc)) {
            const std::string stat = harness::readText(std::string("/proc/") + e->d_name + "/stat");
            const std::size_t name_end = stat.rfind(')');  // "pid (name) state ppid ..."
            int parent = 0;
            if (name_end != std::string::npos && std::sscanf(stat.c_str() + name_end + 1, " %*c %d", &parent) == 1 && parent == pid)
                children.push_back(std::atoi(e->d_name));
        }
        closedir(proc);
    }
    return children;
}

}  // namespace

// An interrupted render, alone or in a batch, leaves no file behind: each
// worker takes its partial file with it, and the batch ends with the signal,
// its progress line on the terminal erased. A worker killed outright fails
// its module, and the batch removes the partial file it left.
TEST(Render, InterruptedRendersLeaveNoPartialFile) {
    TempDir dir;
    std::vector<std::string> modules;
    for (const char* name : {"a.mod", "b.mod", "c.mod"}) modules.push_back(writeSong(dir, busy(1), name));
    const auto partialsGrow = [](const std::string& folder, std::size_t count) {
        for (int i = 0; i < 600; ++i) {
            std::size_t grown = 0;
            for (const std::string& name : filesIn(folder)) {
                struct stat info {};
                if (stat((folder + "/" + name).c_str(), &info) == 0 && info.st_size > 1000000) ++grown;
            }
            if (grown >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    };
    struct Case {
        int signal;
        std::size_t modules;
        bool to_workers;  // the signal goes to the batch's workers, not to the batch
    };
    for (const Case& k : {Case{SIGTERM, 3, false}, Case{SIGINT, 3, false}, Case{SIGHUP, 1, false}, Case{SIGKILL, 2, true}}) {
        const TempDir out;
        const Terminal terminal;
        ASSERT_FALSE(terminal.name().empty()) << "no pseudo-terminal";
        // Hours of audio: the render is still going when the signal comes.
        std::vector<std::string> argv = {kRender, "-j", "2", "--seconds", "20000", "--output-dir", out.path()};
        argv.insert(argv.end(), modules.begin(), modules.begin() + static_cast<long>(k.modules));
        harness::Child child(argv, {}, dir.file("out"), terminal.name());
        ASSERT_TRUE(partialsGrow(out.path(), std::min<std::size_t>(k.modules, 2))) << k.signal;
        if (k.to_workers) {
            for (pid_t worker : childrenOf(child.pid())) kill(worker, k.signal);
            EXPECT_EQ(child.wait(30), 1);
            const std::string err = terminal.text();
            EXPECT_NE(err.find(modules[1] + ": stopped by signal 9"), std::string::npos) << err;
            EXPECT_NE(err.find("zindle-render: 0 rendered, 0 skipped, 2 failed in "), std::string::npos) << err;
        } else {
            child.signal(k.signal);
            EXPECT_EQ(child.wait(30), 128 + k.signal);
            if (k.modules > 1) {
                EXPECT_TRUE(endsWith(terminal.text(), " done, " + modules[1] + "\r\033[K")) << k.signal;
            }
        }
        EXPECT_EQ(filesIn(out.path()), std::vector<std::string>{}) << k.signal;
    }
}
