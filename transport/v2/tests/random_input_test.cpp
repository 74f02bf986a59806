// Malformed and random input: camera answers and wire bytes never crash,
// overrun or desynchronise the plug-in (run under the sanitizers).
#include "v2_fixture.h"

#include "camera_config.h"
#include "instance.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using fenwa20test::configFor;

// Texts made of the pieces that steer the parsers, in random order.
std::string randomAnswer(std::mt19937& rng) {
    static const char* kPieces[] = {"VIDEO_BITRATE=",
                                    "VIDEO_RESOLUTION=",
                                    "VIDEO_FPS_NUM=",
                                    "VIDEO_HUE=",
                                    "MOTION_ENABLED=",
                                    "MOTION_STATUS=",
                                    "'",
                                    ",",
                                    "\n",
                                    "0x",
                                    "0X",
                                    "-",
                                    "4",
                                    "2147483648",
                                    "99999999999",
                                    "N640x480",
                                    "P7",
                                    "1.5M",
                                    "",
                                    " "};
    std::string out;
    const int pieces = std::uniform_int_distribution<int>(0, 200)(rng);
    for (int i = 0; i < pieces; ++i) {
        if (rng() % 5 == 0) {
            out.push_back(static_cast<char>(rng() & 0xFF));
        } else {
            out += kPieces[rng() % std::size(kPieces)];
        }
    }
    return out;
}

std::size_t occurrences(std::string_view text, std::string_view key) {
    std::size_t n = 0;
    for (std::size_t p = text.find(key); p != std::string_view::npos; p = text.find(key, p + key.size())) ++n;
    return n;
}

TEST(RandomAnswers, ParsersStayInsideTheirRecords) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 3000; ++round) {
        const std::string answer = randomAnswer(rng);
        VideoConfig video{};
        fenwa20::parseVideoAnswer(answer, video);
        EXPECT_TRUE(video.videoStandard == 0 || video.videoStandard == 1);
        EXPECT_GE(video.bitRateCode, 0);
        EXPECT_LE(video.bitRateCode, 12);

        const MotionInfo info = fenwa20::parseMotionAnswer(answer);
        const std::string_view seen = std::string_view(answer).substr(0, 1023);
        ASSERT_EQ(static_cast<std::size_t>(info.regionCount), occurrences(seen, "MOTION_STATUS=")) << answer;
    }
}

TEST(RandomAnswers, AdjacentStatusLinesAreAllCounted) {
    EXPECT_EQ(fenwa20::parseMotionAnswer("MOTION_STATUS=MOTION_STATUS=MOTION_STATUS=").regionCount, 3);
}

class RandomWire : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(camera.start()); }

    // Random bytes that hold no magic (control) and no start code at any
    // 12-byte step (video), so where the real data starts is known.
    std::vector<uint8_t> noise(std::size_t length) {
        std::vector<uint8_t> out(length);
        for (auto& b : out) b = static_cast<uint8_t>(rng() & 0xFF);
        for (std::size_t i = 0; i + 4 <= length; ++i) {
            if (std::memcmp(&out[i], "Vexo", 4) == 0) out[i] = 'W';
            if (i % 12 == 0 && std::memcmp(&out[i], transport::kFrameStartCode, 4) == 0) out[i] = 0x55;
        }
        return out;
    }

    std::mt19937 rng{7};
    camsim::V2Camera camera{fenwa20test::quietCamera()};
    fenwa20::Instance instance;
};

TEST_F(RandomWire, ControlNoiseIsSkippedAndTheNextMessageArrives) {
    fenwa20test::CallbackLog log;
    instance.setControlDataCallback(&log, &fenwa20test::CallbackLog::callback);
    instance.setMediaConfig(configFor(camera, 3));
    ASSERT_EQ(instance.connect(), 1);
    ASSERT_EQ(instance.startStreaming(), 1);
    ASSERT_TRUE(camera.waitControlLogin(5000));
    ASSERT_TRUE(camera.sendControlRaw(noise(50000)));
    ASSERT_TRUE(camera.sendControl(0x10044, {0x01, 0x02, 0x03}));
    ASSERT_TRUE(log.waitFor(1));
    const auto blocks = log.blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], (std::vector<uint8_t>{0x44, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03}));
}

TEST_F(RandomWire, VideoNoiseFailsStepByStepThenTheRecordIsRead) {
    instance.setMediaConfig(configFor(camera, 1));
    ASSERT_EQ(instance.connect(), 1);
    ASSERT_EQ(instance.startStreaming(), 1);
    ASSERT_TRUE(camera.waitVideoLogin(5000));
    ASSERT_TRUE(camera.sendVideoRaw(noise(1200)));
    const auto frame = fenwa20test::picture(700, true);
    ASSERT_TRUE(camera.sendFrame(frame));
    auto buffer = std::make_unique<uint8_t[]>(transport::kFrameBufferSize);
    int32_t kind = 0;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(instance.getNextFrame(&kind, buffer.get(), transport::kFrameBufferSize), -1) << i;
    }
    EXPECT_EQ(instance.getNextFrame(&kind, buffer.get(), transport::kFrameBufferSize),
              static_cast<int32_t>(camera.frameRecord(frame, 1, 0).size()));
}

} // namespace
