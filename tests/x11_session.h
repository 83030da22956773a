// Running the real player in a window on a private X server (Xvfb): key
// presses through xdotool, screenshots through xwd read back as RGB565, and
// checks that a screenshot is a whole, well-formed picture of one view.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/engine_harness.h"
#include "tests/process.h"
#include "tests/screen_text.h"
#include "tools/modwriter.h"

namespace xsession {

// The programs the window tests need that aren't installed ("" when all are).
std::string missingTools();

// An X server of its own on a free display, its screen size ("640x480") at
// 24 bits, its messages going to the file at log_path.
class Xvfb {
  public:
    explicit Xvfb(const std::string& log_path, const std::string& size = "640x480");
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// zindle playing a module in a window on the server, sound going to
// audioFile() in work_dir (its working directory, where no background
// picture lies).
class Player {
  public:
    // options go before module_path on the command line.
    Player(const Xvfb& x, const std::string& module_path, const std::string& work_dir,
           const std::vector<std::string>& options = {});
    // Waits for the window and gives it the keyboard focus.
    bool waitForWindow(int timeout_ms);
    // Presses and releases a key, by X keysym name ("Alt_L", "space", ...).
    bool key(const std::string& keysym);
    // Presses the keys one after another, delay_ms apart, in the background.
    std::unique_ptr<harness::Child> keysInBackground(const std::string& keysyms, int delay_ms);
    // What the display shows where the window stands, at the window's size
    // (in full screen SDL draws on a window of its own over the named one).
    bool screenshot(screentext::Image& out);
    bool running() { return child_.running(); }
    void signal(int sig) { child_.signal(sig); }
    pid_t pid() const { return child_.pid(); }
    // The disk driver's file: what the player has played so far.
    std::string audioFile() const { return work_dir_ + "/audio.raw"; }
    // The exit status, or -1 when it doesn't end within timeout_s.
    int waitForExit(int timeout_s) { return child_.wait(timeout_s); }

  private:
    std::string display_;
    std::string work_dir_;
    std::string window_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;  // the window's place on the screen
    harness::Child child_;
};

// The window tests' fixture: skipped when a tool is missing, else a
// temporary folder (the players' working folder, so one state for all of a
// test's players) and an X server of its own.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    // zindle playing module_path on the server, its window focused; null
    // (and a failure) when no window comes.
    std::unique_ptr<Player> play(const std::string& module_path, const std::vector<std::string>& options = {});
    // A new X server with a screen of size ("1280x960") for the players after.
    void useScreen(const std::string& size);
    // Writes the picture to name.ppm in dir, for looking at a failure; "".
    std::string keep(const screentext::Image& img, const std::string& name) const;

    harness::TempDir dir;

  private:
    std::unique_ptr<Xvfb> x_;
};

// Takes screenshots until one satisfies wanted (or the time is up); last is
// the last screenshot taken.
bool waitForPicture(Player& player, const std::function<bool(const screentext::Image&)>& wanted,
                    int timeout_ms, screentext::Image& last);

// Decodes an XWD dump of a TrueColor window into RGB565.
bool parseXwd(const std::string& bytes, screentext::Image& out);
// Writes a picture as a binary PPM, for looking at a failure.
void writePpm(const screentext::Image& img, const std::string& path);

// A song that keeps all four voices busy with notes on every row, slow
// enough (speed 31 at 33 BPM: 2.3 s a row) that it stays at its first
// order position for minutes. Traces stay within 13 pixels of their baselines.
modwriter::Song windowSong(const std::string& title);

// The texts of the views.
std::string patternHeader(const screentext::Image& img);  // view 1, at (4, 19)
std::string titleName(const screentext::Image& img);      // views 2 and 4, at (4, 0)
std::string titlePosition(const screentext::Image& img);  // views 2 and 4, at (4, 10)

// The 320x240 picture that stands at (x, y) in img at scale, each of its
// pixels a square of one colour; everything around it black. False with why
// when img isn't that.
bool unscale(const screentext::Image& img, int scale, int x, int y, screentext::Image& out,
             std::string* why = nullptr);

// Whether a screenshot is a complete picture of view 1, 2 or 4 of a song of
// that title on a black background; why says what is wrong when it isn't.
bool isPatternView(const screentext::Image& img, const std::string& title, std::string* why = nullptr);
bool isMeterView(const screentext::Image& img, const std::string& title, std::string* why = nullptr);
bool isScopeView(const screentext::Image& img, const std::string& title, std::string* why = nullptr);
// At least one meter bar is up.
bool hasMeterBar(const screentext::Image& img);
// Whether the status line shows at the bottom (white text there).
bool hasStatusLine(const screentext::Image& img);
// The status line's 40 characters.
std::string statusLine(const screentext::Image& img);

}  // namespace xsession
