// tavolin-watch --talk's sound file: any 16-bit PCM WAV becomes mono at
// 8,000 samples/s, its tone kept, read only as far as it is taken, from a
// file or a named pipe; anything else is refused with a reason.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "camsim/talk_receiver.h"
#include "talk_file.h"
#include "wav_file.h"

namespace ostrel::test {
namespace {

using std::chrono::milliseconds;

std::vector<int16_t> readAll(watch::TalkFileReader& reader) {
    std::vector<int16_t> samples;
    int16_t buffer[1000];
    while (!reader.ended()) {
        const std::size_t n = reader.read(buffer, std::size(buffer), milliseconds(100));
        samples.insert(samples.end(), buffer, buffer + n);
    }
    return samples;
}

TEST(WatchTalkFileTest, WavFilesBecomeMonoAtEightKilohertz) {
    struct Row {
        int rate;
        int channels;
        double seconds;
    };
    for (const Row r : {Row{8000, 1, 0.5}, Row{44100, 2, 0.25}, Row{16000, 1, 0.3}}) {
        WavFile wav(r.rate, r.channels, r.seconds);
        watch::TalkFileReader reader;
        std::string error;
        ASSERT_TRUE(reader.open(wav.path(), error)) << error;
        const std::vector<int16_t> samples = readAll(reader);
        EXPECT_EQ(reader.error(), "");
        const double expected = 8000 * r.seconds;
        EXPECT_NEAR(static_cast<double>(samples.size()), expected, 8) << r.rate << "/" << r.channels;
        ASSERT_TRUE(reader.seconds().has_value());
        EXPECT_NEAR(*reader.seconds(), r.seconds, 0.01);
        const camsim::ToneMeasure m = camsim::measureTone(samples.data() + 200, samples.size() - 400);
        EXPECT_NEAR(m.frequencyHz, 1000, 10) << r.rate << "/" << r.channels;
        EXPECT_NEAR(m.rms, 8000 / std::numbers::sqrt2, 400) << r.rate << "/" << r.channels;
    }
}

TEST(WatchTalkFileTest, WhatIsNoWavIsRefusedWithWhatItIs) {
    const std::string text = std::filesystem::temp_directory_path() / "not-a-wav.txt";
    std::ofstream(text) << "RIFF? no, just words\n";
    const std::string folder = std::filesystem::temp_directory_path();
    WavFile silent(8000, 1, 0);
    struct Row {
        std::string path;
        std::string says;
    };
    for (const Row& r :
         {Row{text, " is no WAV file"}, Row{"/nonexistent/tone.wav", "cannot open"},
          Row{silent.path(), " holds no sound"}, Row{"/dev/null", " is a device"}, Row{folder, " is a folder"}}) {
        watch::TalkFileReader reader;
        std::string error;
        EXPECT_FALSE(reader.open(r.path, error, milliseconds(50))) << r.path;
        EXPECT_NE(error.find(r.path), std::string::npos) << error;
        EXPECT_NE(error.find(r.says), std::string::npos) << error;
    }
    std::filesystem::remove(text);
}

TEST(WatchTalkFileTest, ALongFileIsReadOnlyAsFarAsItsSoundIsTaken) {
    WavFile wav(44100, 2, 20); // 3.5 MB
    watch::TalkFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.open(wav.path(), error)) << error;
    int16_t buffer[2048];
    std::size_t got = 0;
    while (got < std::size(buffer)) got += reader.read(buffer + got, std::size(buffer) - got, milliseconds(100));
    // 256 ms of sound come from about 45 KB of the file.
    EXPECT_LT(reader.bytesRead(), 256u << 10);
    EXPECT_GT(reader.bytesRead(), 40u << 10);
}

class NamedPipe {
public:
    NamedPipe() : path_(std::filesystem::temp_directory_path() / ("talk-pipe-" + std::to_string(getpid()) + ".wav")) {
        ::mkfifo(path_.c_str(), 0600);
    }
    ~NamedPipe() { std::filesystem::remove(path_); }
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;
    std::string path() const { return path_; }

private:
    std::string path_;
};

TEST(WatchTalkFileTest, ANamedPipeIsReadAsItIsWrittenAndNotWaitedOnForGood) {
    NamedPipe pipe;
    watch::TalkFileReader unwritten;
    std::string error;
    EXPECT_FALSE(unwritten.open(pipe.path(), error, milliseconds(50)));
    EXPECT_NE(error.find("nothing was written to " + pipe.path()), std::string::npos) << error;

    WavFile wav(16000, 1, 0.5);
    std::ifstream in(wav.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::thread writer([&] {
        // Opening for writing waits for the reader.
        const int fd = ::open(pipe.path().c_str(), O_WRONLY | O_CLOEXEC);
        for (std::size_t at = 0; fd >= 0 && at < bytes.size(); at += 1000) {
            if (::write(fd, bytes.data() + at, std::min<std::size_t>(1000, bytes.size() - at)) < 0) break;
        }
        if (fd >= 0) ::close(fd);
    });
    watch::TalkFileReader reader;
    const bool opened = reader.open(pipe.path(), error);
    const std::vector<int16_t> samples = opened ? readAll(reader) : std::vector<int16_t>{};
    writer.join();
    ASSERT_TRUE(opened) << error;
    EXPECT_NEAR(static_cast<double>(samples.size()), 4000, 8);
    EXPECT_FALSE(reader.seconds().has_value());
}

} // namespace
} // namespace ostrel::test
