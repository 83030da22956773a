// The mixer callback: voices, loops, ends, clipping, sample changes and the
// way it splits a device buffer at the ticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "tests/engine_harness.h"

namespace {

class Mixer : public harness::EngineTest {
  protected:
    struct Sides {
        std::vector<int> left, right;
    };

    // The samples of each side of s16le stereo frames.
    static Sides split(const std::vector<std::uint8_t>& frames) {
        Sides out;
        for (std::size_t i = 0; i + 4 <= frames.size(); i += 4) {
            out.left.push_back(static_cast<std::int16_t>(frames[i] | (frames[i + 1] << 8)));
            out.right.push_back(static_cast<std::int16_t>(frames[i + 2] | (frames[i + 3] << 8)));
        }
        return out;
    }

    // Renders frames through mixaudio and returns the samples of each side.
    static Sides sides(int frames) {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(frames) * 4);
        mixaudio(nullptr, buffer.data(), frames * 4);
        return split(buffer);
    }
    static std::vector<int> left(int frames) { return sides(frames).left; }

    // A voice whose left output equals its sample byte.
    static void unityVoice(int voice, std::int8_t* data, std::uint32_t length, std::uint32_t loop_start,
                           std::uint32_t loop_length) {
        audioSetSource(voice, data, length, loop_start, loop_length);
        audioSetVolume(voice, 1);
        audioSetRate(voice, 16384);
        v[voice].left = 128;
        v[voice].right = 0;
    }
};

std::vector<std::int8_t> ramp(int length) {
    std::vector<std::int8_t> data(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) data[static_cast<std::size_t>(i)] = static_cast<std::int8_t>(i % 251 - 125);
    return data;
}

}  // namespace

TEST_F(Mixer, CutAllVoicesSetsDefaultGains) {
    v[2].rate = 5;
    v[2].volume = 9;
    audioCutAllVoices();
    const int expected[4][2] = {{191, 64}, {63, 192}, {63, 192}, {191, 64}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].left, expected[i][0]);
        EXPECT_EQ(v[i].right, expected[i][1]);
        EXPECT_EQ(v[i].data, nullptr);
        EXPECT_EQ(v[i].rate, 0u);
        EXPECT_EQ(v[i].volume, 0);
        EXPECT_EQ(v[i].position, 0u);
    }
}

TEST_F(Mixer, SilenceWithoutVoices) {
    std::vector<std::uint8_t> buffer(4096, 0xAB);
    mixaudio(nullptr, buffer.data(), 4096);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(Mixer, OneShotPlaysEveryByteThenEnds) {
    std::vector<std::int8_t> data = ramp(1000);
    unityVoice(0, data.data(), 1000, 0, 0);
    const std::vector<int> out = left(1024);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], data[static_cast<std::size_t>(i)]) << i;
    for (int i = 1000; i < 1024; ++i) EXPECT_EQ(out[static_cast<std::size_t>(i)], 0);
    EXPECT_EQ(v[0].data, nullptr);
}

TEST_F(Mixer, LoopRepeatsTheLoopWithoutEnd) {
    std::vector<std::int8_t> data = ramp(1000);
    unityVoice(0, data.data(), 1000, 600, 400);
    const std::vector<int> out = left(1000 + 400 * 5);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], data[static_cast<std::size_t>(i)]);
    for (int i = 1000; i < 3000; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)], data[static_cast<std::size_t>(600 + (i - 1000) % 400)]) << i;
    EXPECT_NE(v[0].data, nullptr);
}

TEST_F(Mixer, ScalesByVolumeAndGainsAndClips) {
    struct Case {
        std::int8_t byte;
        std::uint8_t volume;
        std::int32_t gain;
        int expected;
    };
    const Case cases[] = {
        {-128, 64, 255, -16320},  // one full-scale voice
        {64, 128, 512, 32767},    // 32768 * 128 clips
        {-128, 3, 10923, -32768}, // -32769 * 128 clips
        {-1, 1, 1, -1},
        {-128, 1, 1, -1},
        {127, 1, 1, 0},
    };
    for (const Case& k : cases) {
        harness::resetGlobals();
        // Looping, for a whole chunk on both sides: the output path of full
        // chunks as well as the one of the frames left over.
        std::int8_t data[2] = {k.byte, k.byte};
        audioSetSource(0, data, 2, 0, 2);
        audioSetVolume(0, k.volume);
        audioSetRate(0, 16384);
        v[0].left = k.gain;
        v[0].right = k.gain;
        const Sides out = sides(kChunkFrames);
        EXPECT_EQ(out.left, std::vector<int>(kChunkFrames, k.expected))
            << int(k.byte) << " " << int(k.volume) << " " << k.gain;
        EXPECT_EQ(out.right, out.left);
    }
}

TEST_F(Mixer, FourVoicesAddOnBothSides) {
    std::int8_t data[4] = {100, 100, 100, 100};
    for (int i = 0; i < 4; ++i) {
        audioSetSource(i, data, 4, 0, 4);
        audioSetVolume(i, 64);
        audioSetRate(i, 16384);
    }
    const Sides out = sides(kChunkFrames);
    EXPECT_EQ(out.left, std::vector<int>(kChunkFrames, (100 * 64 * 508) >> 7));
    EXPECT_EQ(out.right, std::vector<int>(kChunkFrames, (100 * 64 * 512) >> 7));
}

// Each voice's gains as the separation mixes them, read from the output: a
// byte of 2 at volume 64 leaves the mixer as its gain (2 x 64 x g / 128).
// Voices 0 and 1 keep the pans a module starts with, voice 2 is panned hard
// left; out of range the separation is clamped.
TEST_F(Mixer, SeparationMixesEachSideWithTheOther) {
    struct Case {
        int percent;
        int gains[3][2];  // left, right of voices 0, 1, 2
    };
    const Case cases[] = {
        {100, {{191, 64}, {63, 192}, {255, 0}}},
        {75, {{175, 79}, {79, 175}, {223, 31}}},
        {50, {{159, 95}, {95, 159}, {191, 63}}},
        {0, {{127, 127}, {127, 127}, {127, 127}}},
        {130, {{191, 64}, {63, 192}, {255, 0}}},
        {-20, {{127, 127}, {127, 127}, {127, 127}}},
    };
    std::int8_t data[4] = {2, 2, 2, 2};
    for (const Case& k : cases) {
        for (int voice = 0; voice < 3; ++voice) {
            harness::resetGlobals();
            audioSetSeparation(k.percent);
            audioSetSource(voice, data, 4, 0, 4);
            audioSetVolume(voice, 64);
            audioSetRate(voice, 16384);
            if (voice == 2) {  // panned hard left
                v[voice].left = 255;
                v[voice].right = 0;
            }
            const Sides out = sides(kChunkFrames);
            EXPECT_EQ(out.left, std::vector<int>(kChunkFrames, k.gains[voice][0])) << k.percent << "% voice " << voice;
            EXPECT_EQ(out.right, std::vector<int>(kChunkFrames, k.gains[voice][1])) << k.percent << "% voice " << voice;
            EXPECT_EQ(v[voice].left + v[voice].right, 255) << "the voice's own gains stay";
        }
        EXPECT_EQ(audioSeparation(), std::clamp(k.percent, 0, 100));
    }
    harness::resetGlobals();
    EXPECT_EQ(audioSeparation(), kFullSeparation) << "program start";
}

// The SSE2 output and the portable one, which a target without SSE2 runs,
// write the same bytes as the mix for every frame count, on sums that clip
// and round down on both sides. (mixaudio takes one of them for whole
// chunks: -DZINDLE_PORTABLE_MIX=ON makes it the portable one on x86 too.)
TEST_F(Mixer, OutputPathsAgree) {
    // Loud square waves with a ripple, at four near pitches: they add up
    // past both limits as well as between them.
    std::vector<std::int8_t> data(5000);
    for (std::size_t j = 0; j < data.size(); ++j)
        data[j] = static_cast<std::int8_t>((j / 37 % 2 != 0 ? 100 : -120) + static_cast<int>(j % 23));
    for (int i = 0; i < 4; ++i) {
        audioSetSource(i, data.data(), 5000, 0, 5000);
        audioSetVolume(i, 64);
        audioSetRate(i, static_cast<std::uint32_t>(16384 + 1000 * i));
        v[i].left = 255 - 60 * i;
        v[i].right = 100 + 50 * i;
    }
    std::vector<std::uint8_t> mixed(4 * kChunkFrames);
    mixaudio(nullptr, mixed.data(), static_cast<int>(mixed.size()));
    for (int frames : {1, 2, 3, 4, 5, 7, 8, 1021, kChunkFrames}) {
        const auto size = static_cast<std::size_t>(frames) * 4;
        std::vector<std::uint8_t> portable(size, 0xAB);
        mixOutputPortable(portable.data(), frames);
        EXPECT_TRUE(std::equal(portable.begin(), portable.end(), mixed.begin())) << frames << " frames";
#if defined(__SSE2__)
        std::vector<std::uint8_t> sse2(size, 0xAB);
        mixOutputSse2(sse2.data(), frames);
        EXPECT_EQ(sse2, portable) << frames << " frames";
#endif
    }

    // The mix does reach both limits on both sides.
    const Sides out = split(mixed);
    for (const std::vector<int>* side : {&out.left, &out.right}) {
        EXPECT_NE(std::count(side->begin(), side->end(), 32767), 0);
        EXPECT_NE(std::count(side->begin(), side->end(), -32768), 0);
    }
}

TEST_F(Mixer, SetOffsetInsideTheSampleOnly) {
    std::vector<std::int8_t> data = ramp(4000);
    audioSetSource(0, data.data(), 4000, 0, 0);
    audioSetOffset(0, 5000);
    EXPECT_EQ(v[0].position, 0u);
    audioSetOffset(0, 3000);
    EXPECT_EQ(v[0].position >> 14, 3000u);
    audioSetOffset(0, 4000);
    EXPECT_EQ(v[0].position >> 14, 3000u);
}

TEST_F(Mixer, ChangeSourceKeepsOrMovesThePosition) {
    std::vector<std::int8_t> data = ramp(8000);
    struct Case {
        std::uint32_t length, loop_start, loop_length;
        std::uint32_t expected_index, expected_loop_end, expected_loop_length;
    };
    const Case cases[] = {
        {3000, 0, 0, 0, 0, 0},            // no loop, past the end: restart
        {8000, 0, 0, 5000, 0, 0},         // no loop, inside: keep
        {8000, 1000, 2000, 3000, 3000, 2000},  // past the loop end: to the loop end
        {8000, 1000, 6000, 5000, 7000, 6000},  // inside the loop: keep
        {8000, 0, 3, 5000, 0, 0},         // a loop shorter than 4 bytes counts as none, as in the loader
        {8000, 0, 4, 4, 4, 4},            // the shortest loop
    };
    for (const Case& k : cases) {
        harness::resetGlobals();
        audioSetSource(1, data.data(), 8000, 0, 0);
        audioSetRate(1, 777);
        audioSetVolume(1, 33);
        v[1].position = 5000u << 14;
        v[1].data = nullptr;  // an ended voice sounds again
        audioChangeSrc(1, data.data() + 10, k.length, k.loop_start, k.loop_length);
        EXPECT_EQ(v[1].position >> 14, k.expected_index) << k.length << "/" << k.loop_length;
        EXPECT_EQ(v[1].loop_end, k.expected_loop_end);
        EXPECT_EQ(v[1].loop_length, k.expected_loop_length);
        EXPECT_EQ(v[1].length, k.length);
        EXPECT_EQ(v[1].data, data.data() + 10);
        EXPECT_EQ(v[1].rate, 777u);
        EXPECT_EQ(v[1].volume, 33);
    }
}

TEST_F(Mixer, NeverReadsAVoiceOutsideItsSample) {
    // A voice on an empty sample ends before reading anything.
    std::int8_t guard[4] = {99, 99, 99, 99};
    unityVoice(0, guard, 0, 0, 0);
    EXPECT_EQ(left(4), std::vector<int>(4, 0));
    EXPECT_EQ(v[0].data, nullptr);

    // A sample change that puts a voice at a loop end equal to the sample's
    // end: the loop test runs before the first read, which lands in the loop.
    harness::resetGlobals();
    std::vector<std::int8_t> data(3001, 0);
    data[1000] = 50;
    data[3000] = 100;  // just past the new sample
    unityVoice(0, data.data(), 3001, 0, 0);
    v[0].position = 5000u << 14;
    audioChangeSrc(0, data.data(), 3000, 1000, 2000);
    EXPECT_EQ(left(1)[0], 50);

    // A loop that ends past the sample's end (a file may say so) plays to the
    // sample's end and stops there.
    harness::resetGlobals();
    std::vector<std::int8_t> looped(200, 10);
    std::fill(looped.begin() + 100, looped.end(), 99);  // past the 100-byte sample
    unityVoice(0, looped.data(), 100, 50, 100);
    const std::vector<int> out = left(300);
    EXPECT_EQ(std::count(out.begin(), out.end(), 99), 0);
    EXPECT_EQ(std::count(out.begin(), out.begin() + 100, 10), 100);
    EXPECT_EQ(v[0].data, nullptr);
}

TEST_F(Mixer, LongRequestsAreMixedInPieces) {
    std::vector<std::int8_t> data = ramp(5000);
    unityVoice(2, data.data(), 5000, 0, 5000);
    std::vector<std::uint8_t> whole(4 * 3000);
    mixaudio(nullptr, whole.data(), static_cast<int>(whole.size()));
    harness::resetGlobals();
    unityVoice(2, data.data(), 5000, 0, 5000);
    std::vector<std::uint8_t> pieces(4 * 3000);
    for (int at = 0; at < 3000; at += 1000) mixaudio(nullptr, pieces.data() + 4 * at, 4000);
    EXPECT_EQ(whole, pieces);
}

TEST_F(Mixer, TickFallsInsideTheBufferAtItsExactFrame) {
    modwriter::Song song = harness::basicSong();
    song.row(0, 0, "C-2 01 ... | --- -- ... | --- -- ... | --- -- ...");
    harness::Engine engine(song);
    // 300 frames remain before the first tick.
    mod_samplecounter = 300;
    std::vector<std::uint8_t> buffer(4096, 0xAB);
    mixaudio(nullptr, buffer.data(), 4096);
    for (int i = 0; i < 300 * 4; ++i) ASSERT_EQ(buffer[static_cast<std::size_t>(i)], 0) << i;
    const int first = static_cast<std::int16_t>(buffer[1200] | buffer[1201] << 8);
    EXPECT_EQ(first, (engine.module()->sample_data[0] * 64 * 191) >> 7);
    EXPECT_EQ(mod_samplecounter, 960 - 724);
}
