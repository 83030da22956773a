#include "tests/x11_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "display/sample_viewer.h"

namespace xsession {

namespace {

using screentext::Image;
using screentext::readText;

constexpr std::uint16_t kWhite = 0xFFFF;
constexpr std::uint16_t kRowColour = 0xD6BA;
constexpr std::uint16_t kHighlight = 0x43D3;
constexpr int kPlayingY = 131;
const char* const kProgramTitle = "Zindle - The simple ProTracker player";

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::uint32_t be32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3]));
}

// The component under mask, scaled to 8 bits.
std::uint32_t component(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!(mask >> shift & 1)) ++shift;
    int bits = 0;
    while (mask >> (shift + bits) & 1) ++bits;
    const std::uint32_t value = (pixel & mask) >> shift;
    return bits >= 8 ? value >> (bits - 8) : value << (8 - bits);
}

bool fail(std::string* why, const std::string& message) {
    if (why) *why = message;
    return false;
}

const std::set<std::uint16_t>& wheelColours() {
    static const std::set<std::uint16_t> colours = [] {
        std::set<std::uint16_t> s;
        for (int c : coltab) s.insert(static_cast<std::uint16_t>(c));
        return s;
    }();
    return colours;
}

bool isDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// Whether text has the shape, where each '9' of the shape stands for a digit.
bool fitsShape(const std::string& text, const std::string& shape) {
    if (text.size() != shape.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == '9' ? !digit : text[i] != shape[i]) return false;
    }
    return true;
}

const std::string kPositionShape = "#999/999 - 999bpm (99 ticks)";
// Where the status line stands, when it shows.
constexpr int kStatusY = 232;

// The two title lines of views 2 and 4, and black between them and the picture.
bool hasBlackTitles(const Image& img, const std::string& title, std::string* why) {
    if (img.width != 320 || img.height != 240) return fail(why, "not 320x240");
    const std::string name = titleName(img);
    if (name != "Now Playing: " + title)
        return fail(why, "title reads '" + name + "'");
    if (!fitsShape(titlePosition(img), kPositionShape))
        return fail(why, "position line reads '" + titlePosition(img) + "'");
    return true;
}

harness::Env playerEnv(const Xvfb& x, const std::string& work_dir) {
    // In a sanitizer build, libX11's own leaks at exit must not turn a clean
    // quit into a failure.
    const std::string suppressions = work_dir + "/lsan.supp";
    std::ofstream(suppressions) << "leak:libX11.so\n";
    harness::Env env = harness::userFolders(work_dir);
    env.insert(env.end(), {{"DISPLAY", x.display()},
                           {"SDL_VIDEODRIVER", "x11"},
                           {"SDL_AUDIODRIVER", "disk"},
                           {"SDL_DISKAUDIOFILE", work_dir + "/audio.raw"},
                           {"SDL_DISKAUDIODELAY", "20"},  // about one 1024-frame buffer's time: real-time playback
                           {"LSAN_OPTIONS", "suppressions=" + suppressions}});
    return env;
}

}  // namespace

std::string missingTools() {
    std::string missing;
    for (const char* tool : {"Xvfb", "xdotool", "xwd"})
        if (harness::findProgram(tool).empty()) missing += std::string(missing.empty() ? "" : " ") + tool;
    return missing;
}

Xvfb::Xvfb(const std::string& log_path, const std::string& size) {
    const std::string program = harness::findProgram("Xvfb");
    int fds[2];
    if (program.empty() || pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        const int log_fd = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(log_fd, 1);
        dup2(log_fd, 2);
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = size + "x24";
        execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
              "-nolisten", "unix", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts connections.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char ch;
        if (read(fds[0], &ch, 1) != 1) break;
        if (ch == '\n') {
            display_ = ":" + number;
            break;
        }
        number += ch;
    }
    close(fds[0]);
}

Xvfb::~Xvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        sleepMs(50);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

void WindowTest::SetUp() {
    const std::string missing = missingTools();
    if (!missing.empty()) GTEST_SKIP() << "not installed: " << missing;
    x_ = std::make_unique<Xvfb>(dir.file("xvfb.log"));
    ASSERT_TRUE(x_->ok()) << "Xvfb didn't start";
}

void WindowTest::useScreen(const std::string& size) {
    x_.reset();
    x_ = std::make_unique<Xvfb>(dir.file("xvfb.log"), size);
    ASSERT_TRUE(x_->ok()) << "Xvfb didn't start at " << size;
}

std::unique_ptr<Player> WindowTest::play(const std::string& module_path, const std::vector<std::string>& options) {
    auto player = std::make_unique<Player>(*x_, module_path, dir.path(), options);
    if (player->waitForWindow(15000)) return player;
    ADD_FAILURE() << "no window";
    return nullptr;
}

std::string WindowTest::keep(const screentext::Image& img, const std::string& name) const {
    writePpm(img, dir.file(name + ".ppm"));
    return "";
}

namespace {
std::string quoted(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += "'" + w + "' ";
    return out;
}
}  // namespace

Player::Player(const Xvfb& x, const std::string& module_path, const std::string& work_dir,
               const std::vector<std::string>& options)
    : display_(x.display()),
      work_dir_(work_dir),
      child_({"/bin/sh", "-c", "cd '" + work_dir + "' && exec '" ZINDLE_BIN "' " + quoted(options) + "'" + module_path + "'"},
             playerEnv(x, work_dir), work_dir + "/zindle.out", work_dir + "/zindle.err") {}

bool Player::waitForWindow(int timeout_ms) {
    const std::string xdotool = harness::findProgram("xdotool");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline && running()) {
        const harness::Result found =
            harness::run({xdotool, "search", "--name", "^Zindle SDL$"}, {{"DISPLAY", display_}}, 10);
        std::stringstream ids(found.out);
        std::string id;
        if (found.status == 0 && (ids >> id)) {
            const harness::Result focus =
                harness::run({xdotool, "windowfocus", "--sync", id}, {{"DISPLAY", display_}}, 5);
            const harness::Result place =
                harness::run({xdotool, "getwindowgeometry", "--shell", id}, {{"DISPLAY", display_}}, 5);
            std::stringstream lines(place.out);
            std::string line;
            while (std::getline(lines, line)) {
                const std::size_t eq = line.find('=');
                if (eq == std::string::npos) continue;
                const std::pair<const char*, int*> fields[] = {{"X", &left_}, {"Y", &top_}, {"WIDTH", &width_}, {"HEIGHT", &height_}};
                for (const auto& [name, field] : fields)
                    if (line.compare(0, eq, name) == 0) *field = std::atoi(line.c_str() + eq + 1);
            }
            if (focus.status == 0 && place.status == 0 && width_ > 0 && height_ > 0) {
                window_ = id;
                return true;
            }
        }
        sleepMs(100);
    }
    return false;
}

bool Player::key(const std::string& keysym) {
    return harness::run({harness::findProgram("xdotool"), "key", keysym}, {{"DISPLAY", display_}}, 10).status == 0;
}

std::unique_ptr<harness::Child> Player::keysInBackground(const std::string& keysyms, int delay_ms) {
    std::vector<std::string> argv = {harness::findProgram("xdotool"), "key", "--delay", std::to_string(delay_ms)};
    std::stringstream names(keysyms);
    std::string name;
    while (names >> name) argv.push_back(name);
    return std::make_unique<harness::Child>(argv, harness::Env{{"DISPLAY", display_}}, work_dir_ + "/keys.out",
                                            work_dir_ + "/keys.err");
}

bool Player::screenshot(Image& out) {
    if (window_.empty()) return false;
    const harness::Result r =
        harness::run({harness::findProgram("xwd"), "-silent", "-display", display_, "-root"}, {}, 10);
    Image whole;
    if (r.status != 0 || !parseXwd(r.out, whole) || left_ < 0 || top_ < 0 || left_ + width_ > whole.width ||
        top_ + height_ > whole.height)
        return false;
    out.width = width_;
    out.height = height_;
    out.pixels.resize(static_cast<std::size_t>(width_ * height_));
    for (int y = 0; y < height_; ++y)
        std::copy_n(whole.pixels.begin() + (top_ + y) * whole.width + left_, width_, out.pixels.begin() + y * width_);
    return true;
}

bool waitForPicture(Player& player, const std::function<bool(const Image&)>& wanted, int timeout_ms,
                    Image& last) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    do {
        if (player.screenshot(last) && wanted(last)) return true;
        sleepMs(100);
    } while (std::chrono::steady_clock::now() < deadline && player.running());
    return false;
}

bool parseXwd(const std::string& bytes, Image& out) {
    if (bytes.size() < 100) return false;
    const std::uint32_t header_size = be32(bytes, 0);
    const std::uint32_t version = be32(bytes, 4);
    const std::uint32_t format = be32(bytes, 8);
    const auto width = static_cast<int>(be32(bytes, 16));
    const auto height = static_cast<int>(be32(bytes, 20));
    const std::uint32_t byte_order = be32(bytes, 28);
    const std::uint32_t bits_per_pixel = be32(bytes, 44);
    const std::uint32_t bytes_per_line = be32(bytes, 48);
    const std::uint32_t masks[3] = {be32(bytes, 56), be32(bytes, 60), be32(bytes, 64)};
    const std::uint32_t colours = be32(bytes, 76);
    constexpr std::uint32_t kZPixmap = 2;
    if (version != 7 || format != kZPixmap || (bits_per_pixel != 32 && bits_per_pixel != 24)) return false;
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return false;
    const std::size_t data = header_size + std::size_t{colours} * 12;
    if (bytes.size() < data + std::size_t{bytes_per_line} * static_cast<std::size_t>(height)) return false;

    const std::uint32_t pixel_bytes = bits_per_pixel / 8;
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<std::size_t>(width * height), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = data + std::size_t{bytes_per_line} * static_cast<std::size_t>(y) +
                                   std::size_t{pixel_bytes} * static_cast<std::size_t>(x);
            std::uint32_t pixel = 0;
            for (std::uint32_t i = 0; i < pixel_bytes; ++i) {
                const std::uint32_t b = static_cast<unsigned char>(bytes[at + i]);
                pixel |= byte_order == 0 ? b << (8 * i) : b << (8 * (pixel_bytes - 1 - i));
            }
            const std::uint32_t r = component(pixel, masks[0]);
            const std::uint32_t g = component(pixel, masks[1]);
            const std::uint32_t b = component(pixel, masks[2]);
            out.pixels[static_cast<std::size_t>(y * width + x)] =
                static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        }
    }
    return true;
}

void writePpm(const Image& img, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << img.width << " " << img.height << "\n255\n";
    for (std::uint16_t p : img.pixels) {
        const char rgb[3] = {static_cast<char>((p >> 11) << 3), static_cast<char>(((p >> 5) & 63) << 2),
                             static_cast<char>((p & 31) << 3)};
        out.write(rgb, 3);
    }
}

modwriter::Song windowSong(const std::string& title) {
    modwriter::Song song;
    song.title = title;
    for (int n = 0; n < 3; ++n) {
        modwriter::SampleDesc& s = song.samples[static_cast<std::size_t>(n)];
        s.name = "wave " + std::to_string(n + 1);
        for (int k = 0; k < 256; ++k) {
            // A saw, a square and a triangle, all within -48..47.
            const int saw = k * 96 / 256 - 48;
            const int value = n == 0 ? saw : n == 1 ? (k < 128 ? 40 : -40) : (k < 128 ? k * 3 / 4 - 48 : 143 - k * 3 / 4);
            s.data.push_back(static_cast<std::int8_t>(value));
        }
        s.loop_length_words = 128;
    }
    song.song_length = 3;
    for (int o = 0; o < 3; ++o) {
        song.orders[static_cast<std::size_t>(o)] = o;
        song.row(o, 0, "C-2 01 F1F | E-2 02 F21 | G-2 03 ... | C-3 01 ...");
        for (int r = 1; r < 64; ++r) song.row(o, r, "C-2 01 ... | E-2 02 ... | G-2 03 ... | C-3 01 ...");
    }
    return song;
}

std::string patternHeader(const Image& img) { return readText(img, 4, 19, 39, kWhite); }
std::string titleName(const Image& img) {
    std::string name = readText(img, 4, 0, 38, kWhite);
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}
std::string titlePosition(const Image& img) { return readText(img, 4, 10, 28, kWhite); }

bool unscale(const Image& img, int scale, int x, int y, Image& out, std::string* why) {
    if (x < 0 || y < 0 || x + 320 * scale > img.width || y + 240 * scale > img.height)
        return fail(why, "the picture doesn't fit in " + std::to_string(img.width) + "x" + std::to_string(img.height));
    out.width = 320;
    out.height = 240;
    out.pixels.assign(320 * 240, 0);
    for (int py = 0; py < img.height; ++py)
        for (int px = 0; px < img.width; ++px) {
            const int sx = (px - x) / scale, sy = (py - y) / scale;
            const bool inside = px >= x && py >= y && sx < 320 && sy < 240;
            const std::uint16_t p = img.at(px, py);
            if (!inside && p != 0) return fail(why, "ink on the border at " + std::to_string(px) + "," + std::to_string(py));
            if (!inside) continue;
            const std::uint16_t corner = img.at(x + sx * scale, y + sy * scale);
            if (p != corner) return fail(why, "a square not of one colour at " + std::to_string(px) + "," + std::to_string(py));
            out.pixels[static_cast<std::size_t>(sy * 320 + sx)] = p;
        }
    return true;
}

bool isPatternView(const Image& img, const std::string& title, std::string* why) {
    static const std::set<std::uint16_t> allowed = {0, kWhite, kRowColour, 0x171F, 0xFF0F, kHighlight, 0xBDF7};
    if (img.width != 320 || img.height != 240) return fail(why, "not 320x240");
    if (readText(img, 4, 1, 37, kWhite) != kProgramTitle) return fail(why, "no program title");
    const std::string song_line = "Song name: " + title;
    if (readText(img, 4, 10, static_cast<int>(song_line.size()), kWhite) != song_line)
        return fail(why, "no song name line");
    if (!fitsShape(patternHeader(img), kPositionShape + " - Vol: 999"))
        return fail(why, "header reads '" + patternHeader(img) + "'");
    for (std::uint16_t p : img.pixels)
        if (!allowed.count(p)) return fail(why, "a pixel of a colour view 1 doesn't use");
    for (int y = 27; y < 35; ++y)
        for (int x = 0; x < 320; ++x)
            if (img.at(x, y) != 0) return fail(why, "ink between header and pattern");

    const std::string playing = readText(img, 0, kPlayingY, 2, kRowColour);
    if (!isDigits(playing)) return fail(why, "no row number on the highlighted line");
    int paper = 0;
    for (int y = kPlayingY; y < kPlayingY + 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint16_t p = img.at(x, y);
            if (p != kRowColour && p != kHighlight) return fail(why, "row number not on the highlight");
            paper += p == kHighlight;
        }
    if (paper == 0) return fail(why, "no highlight");
    const int row = std::stoi(playing);
    // The last of the 25 lines gives way to the status line when that shows.
    for (int line = 0; line < 24; ++line) {
        const int r = row + line - 12;
        const std::string number = readText(img, 0, 35 + 8 * line, 2, kRowColour);
        char expected[3] = "  ";
        if (r >= 0 && r < 64) std::snprintf(expected, sizeof expected, "%02d", r);
        if (number != expected) return fail(why, "line " + std::to_string(line) + " shows row '" + number + "'");
    }
    return true;
}

std::string statusLine(const Image& img) { return screentext::readText(img, 0, kStatusY, 40, 0xFFFF); }

bool hasStatusLine(const Image& img) {
    for (int y = kStatusY; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (img.at(x, y) == kWhite) return true;
    return false;
}

bool isMeterView(const Image& img, const std::string& title, std::string* why) {
    if (!hasBlackTitles(img, title, why)) return false;
    const int bottom = hasStatusLine(img) ? kStatusY : 240;
    for (int y = 18; y < bottom; ++y)
        for (int x = 0; x < 320; ++x)
            if ((y < 24 || x >= 248) && img.at(x, y) != 0) return fail(why, "ink beside the meters");
    for (int column = 0; column < 31; ++column) {
        bool bar = false;
        std::uint16_t colour = 0;
        for (int y = 24; y < bottom; y += 8) {
            const std::string cell = readText(img, 8 * column, y, 1, [](std::uint16_t p) { return p != 0; });
            if (cell != "#" && cell != " ") return fail(why, "meter column " + std::to_string(column) + " is torn");
            if (bar && cell != "#") return fail(why, "meter column " + std::to_string(column) + " has a gap");
            if (cell != "#") continue;
            bar = true;
            for (int r = 0; r < 8; ++r)
                for (int k = 0; k < 8; ++k) {
                    const std::uint16_t p = img.at(8 * column + k, y + r);
                    if (p == 0) continue;
                    if (colour == 0) colour = p;
                    if (p != colour || !wheelColours().count(p))
                        return fail(why, "meter column " + std::to_string(column) + " changes colour");
                }
        }
    }
    return true;
}

bool hasMeterBar(const Image& img) {
    const int y = hasStatusLine(img) ? kStatusY - 8 : kStatusY;
    for (int column = 0; column < 31; ++column)
        if (readText(img, 8 * column, y, 1, [](std::uint16_t p) { return p != 0; }) == "#") return true;
    return false;
}

bool isScopeView(const Image& img, const std::string& title, std::string* why) {
    if (!hasBlackTitles(img, title, why)) return false;
    // Above the status line the scopes stand closer together.
    const bool status = hasStatusLine(img);
    const int spacing = status ? 53 : 55;
    const int bottom = status ? kStatusY : 240;
    for (int x = 0; x < 320; ++x) {
        const bool trace_column = x >= 32 && x < 288;
        int in_band[4] = {};
        for (int y = 18; y < bottom; ++y) {
            const std::uint16_t p = img.at(x, y);
            if (p == 0) continue;
            if (!trace_column) return fail(why, "ink beside the traces");
            if (!wheelColours().count(p)) return fail(why, "a trace pixel of a colour not on the wheel");
            int band = -1;
            for (int i = 0; i < 4; ++i)
                if (y >= 37 + spacing * i - 13 && y <= 37 + spacing * i + 12) band = i;
            if (band < 0) return fail(why, "ink between the traces");
            ++in_band[band];
        }
        if (trace_column)
            for (int i = 0; i < 4; ++i)
                if (in_band[i] != 1)
                    return fail(why, "trace " + std::to_string(i) + " has " + std::to_string(in_band[i]) +
                                         " pixels at column " + std::to_string(x));
    }
    return true;
}

}  // namespace xsession
