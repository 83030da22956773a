// The real programs under valgrind's memcheck: no invalid read or write, no
// decision on uninitialised memory and nothing definitely lost, for the
// player playing under SDL's dummy video and disk audio drivers until it is
// sent SIGTERM, and for the renderer. What the libraries keep reachable at
// exit doesn't count. Skipped in the sanitizer builds and in cross builds run
// under an emulator, which valgrind can't run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine_harness.h"
#include "tests/process.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZINDLE_UNDER_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZINDLE_UNDER_SANITIZER 1
#endif

namespace {

constexpr int kFoundErrors = 99;  // memcheck's exit status when it found an error

std::vector<std::string> memcheck(const std::string& valgrind, const std::string& log) {
    return {valgrind,
            "--leak-check=full",
            "--errors-for-leak-kinds=definite",
            "--error-exitcode=" + std::to_string(kFoundErrors),
            "--vgdb=no",  // no gdb pipes in the shared temp folder
            "--log-file=" + log};
}

// Memcheck's verdict from its log: no error, and no definite loss.
void expectClean(const std::string& log_text, const std::string& what) {
    EXPECT_NE(log_text.find("ERROR SUMMARY: 0 errors"), std::string::npos) << what << "\n" << log_text;
    const bool nothing_lost = log_text.find("definitely lost: 0 bytes") != std::string::npos ||
                              log_text.find("no leaks are possible") != std::string::npos;
    EXPECT_TRUE(nothing_lost) << what << "\n" << log_text;
}

class Valgrind : public testing::Test {
  protected:
    void SetUp() override {
#ifdef ZINDLE_UNDER_SANITIZER
        GTEST_SKIP() << "a sanitizer build: valgrind can't run it";
#endif
        if (std::string(ZINDLE_EMULATOR) != "")
            GTEST_SKIP() << "the programs are built for another processor and run under " ZINDLE_EMULATOR
                            ": valgrind can't run them";
        valgrind_ = harness::findProgram("valgrind");
        if (valgrind_.empty()) GTEST_SKIP() << "valgrind is not installed";
    }
    std::string valgrind_;
};

}  // namespace

TEST_F(Valgrind, PlayerPlaysAndQuitsOnTerm) {
    harness::TempDir dir;
    const std::string audio = dir.file("audio.raw");
    std::vector<std::string> argv = memcheck(valgrind_, dir.file("memcheck.log"));
    argv.insert(argv.end(), {ZINDLE_BIN, ZINDLE_DEMO_MOD});
    harness::Env env = harness::headlessEnv(audio);
    env.push_back({"TMPDIR", dir.path()});  // valgrind's own scratch files go there
    harness::Child child(argv, env, dir.file("out"), dir.file("err"));
    // Two seconds of sound: the song has been ticking and drawing its view.
    ASSERT_TRUE(harness::waitForSize(audio, 2 * 48000 * 4, 120)) << harness::readText(dir.file("err"));
    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(120), 0) << harness::readText(dir.file("err"));
    expectClean(harness::readText(dir.file("memcheck.log")), "zindle");
}

TEST_F(Valgrind, RendererOnTheDemoAndOnACutFile) {
    harness::TempDir dir;
    const std::vector<std::uint8_t> demo = harness::readBytes(ZINDLE_DEMO_MOD);
    ASSERT_GT(demo.size(), 3000u);
    harness::writeBytes(dir.file("cut.mod"), std::vector<std::uint8_t>(demo.begin(), demo.begin() + 3000));
    for (const std::string& module : {std::string(ZINDLE_DEMO_MOD), dir.file("cut.mod")}) {
        std::vector<std::string> argv = memcheck(valgrind_, dir.file("memcheck.log"));
        argv.insert(argv.end(), {ZINDLE_RENDER_BIN, "--trace", "--seconds", "3", "--output", dir.file("o.wav"), module});
        const harness::Result r = harness::run(argv, {{"TMPDIR", dir.path()}});  // valgrind's scratch files
        EXPECT_EQ(r.status, 0) << module << r.err;
        expectClean(harness::readText(dir.file("memcheck.log")), module);
    }
}

// A folder of modules a tenth of a second long, an XM and an S3M of a
// quarter of a second, and a file that is not one: the player loads,
// switches and frees modules of both engines many times over.
TEST_F(Valgrind, PlayerGoesThroughAFolder) {
    harness::TempDir dir;
    const std::string songs = dir.file("songs");
    mkdir(songs.c_str(), 0755);
    ASSERT_TRUE(harness::shortSong("a", 125, 1, 3).write(songs + "/a.mod"));
    ASSERT_TRUE(harness::shortSong("b", 150, 1, 3).write(songs + "/b.mod"));
    harness::writeBytes(songs + "/c.mod", {1, 2, 3});
    // And two short ones for libxmp: four rows each.
    for (harness::TrackerFormat format : {harness::TrackerFormat::kXm, harness::TrackerFormat::kS3m}) {
        trackerwriter::Song song = harness::trackerSong(format);
        song.orders = {0};
        song.row(0, 3, format == harness::TrackerFormat::kXm ? "--- .. .. D00" : "--- .. .. C00",
                 format != harness::TrackerFormat::kXm);
        harness::writeBytes(songs + "/d" + harness::trackerExtension(format), harness::trackerBytes(format, song));
    }
    const std::string audio = dir.file("audio.raw");
    std::vector<std::string> argv = memcheck(valgrind_, dir.file("memcheck.log"));
    argv.insert(argv.end(), {ZINDLE_BIN, songs});
    harness::Child child(argv, harness::headlessEnv(audio), dir.file("out"), dir.file("err"));
    ASSERT_TRUE(harness::waitForSize(audio, 2 * 48000 * 4, 120)) << harness::readText(dir.file("err"));
    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(120), 0) << harness::readText(dir.file("err"));
    expectClean(harness::readText(dir.file("memcheck.log")), "zindle on a folder");
}
