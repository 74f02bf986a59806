// tavolin-watch --talk's sound file: any 16-bit PCM WAV becomes mono at
// 8,000 samples/s, its tone kept; anything else is refused with a reason.
#include <gtest/gtest.h>

#include <fstream>

#include "camsim/talk_receiver.h"
#include "talk_file.h"
#include "wav_file.h"

namespace ostrel::test {
namespace {

TEST(WatchTalkFileTest, WavFilesBecomeMonoAtEightKilohertz) {
    struct Row {
        int rate;
        int channels;
        double seconds;
    };
    for (const Row r : {Row{8000, 1, 0.5}, Row{44100, 2, 0.25}, Row{16000, 1, 0.3}}) {
        WavFile wav(r.rate, r.channels, r.seconds);
        std::vector<int16_t> samples;
        std::string error;
        ASSERT_TRUE(watch::readTalkFile(wav.path(), samples, error)) << error;
        const double expected = 8000 * r.seconds;
        EXPECT_NEAR(static_cast<double>(samples.size()), expected, 8) << r.rate << "/" << r.channels;
        const camsim::ToneMeasure m = camsim::measureTone(samples.data() + 200, samples.size() - 400);
        EXPECT_NEAR(m.frequencyHz, 1000, 10) << r.rate << "/" << r.channels;
        EXPECT_NEAR(m.rms, 8000 / std::numbers::sqrt2, 400) << r.rate << "/" << r.channels;
    }
}

TEST(WatchTalkFileTest, WhatIsNoWavIsRefusedWithAReason) {
    const std::string text = std::filesystem::temp_directory_path() / "not-a-wav.txt";
    std::ofstream(text) << "RIFF? no, just words\n";
    WavFile silent(8000, 1, 0);
    for (const std::string& path : {text, std::string("/nonexistent/tone.wav"), silent.path()}) {
        std::vector<int16_t> samples;
        std::string error;
        EXPECT_FALSE(watch::readTalkFile(path, samples, error)) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    std::filesystem::remove(text);
}

} // namespace
} // namespace ostrel::test
