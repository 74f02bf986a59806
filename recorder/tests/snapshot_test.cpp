// Snapshot files: the picture as a JPEG at its own size, named after the
// camera and the picture's time, never replacing a file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include "media_probe.h"
#include "recorder/capture_names.h"
#include "recorder/snapshot.h"
#include "recording_session.h"

namespace recorder {
namespace {

using namespace std::chrono;

// A picture of the stream client's layout, all one colour.
struct Picture {
    std::vector<uint8_t> bytes;
    platform::PictureView view;
    Picture(int width, int height, int bitCount, uint8_t r, uint8_t g, uint8_t b) {
        const std::size_t stride = platform::bitmapStride(width, bitCount);
        bytes.resize(stride * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint8_t* p = bytes.data() + y * stride + x * (bitCount / 8);
                if (bitCount == 16) {
                    const uint16_t v = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
                    p[0] = static_cast<uint8_t>(v);
                    p[1] = static_cast<uint8_t>(v >> 8);
                } else {
                    p[0] = b;
                    p[1] = g;
                    p[2] = r;
                }
            }
        }
        view = {width, height, bitCount, stride, bytes.data()};
    }
};

// A JPEG decoded by libavcodec: its size and its first pixel in RGB.
struct Decoded {
    int width = 0;
    int height = 0;
    uint8_t rgb[3] = {};
};

Decoded decodeJpeg(const std::vector<uint8_t>& jpeg) {
    Decoded out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    packet->data = const_cast<uint8_t*>(jpeg.data());
    packet->size = static_cast<int>(jpeg.size());
    if (avcodec_open2(context, codec, nullptr) == 0 && avcodec_send_packet(context, packet) == 0 &&
        avcodec_receive_frame(context, frame) == 0) {
        out.width = frame->width;
        out.height = frame->height;
        SwsContext* toRgb =
            sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                           frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
        std::vector<uint8_t> rgb(static_cast<std::size_t>(frame->width) * frame->height * 3);
        uint8_t* rows[1] = {rgb.data()};
        const int strides[1] = {frame->width * 3};
        sws_scale(toRgb, frame->data, frame->linesize, 0, frame->height, rows, strides);
        sws_freeContext(toRgb);
        std::copy(rgb.begin(), rgb.begin() + 3, out.rgb);
    }
    packet->data = nullptr;
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return out;
}

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        av_log_set_level(AV_LOG_ERROR); // the decoder's full-range output is old-style, and says so
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    test::ScratchFolder folder;
    // 2024-03-05 07:08:09.045 UTC
    const system_clock::time_point when = system_clock::time_point(seconds(1709622489) + milliseconds(45));
};

TEST_F(SnapshotTest, CodesThePictureAtItsSizeInEveryPixelFormat) {
    for (const int bits : {16, 24, 32}) {
        const Picture red(322, 182, bits, 250, 0, 0);
        std::string error;
        const auto jpeg = encodeJpeg(red.view, error);
        ASSERT_TRUE(jpeg.has_value()) << error;
        const Decoded d = decodeJpeg(*jpeg);
        EXPECT_EQ(d.width, 322);
        EXPECT_EQ(d.height, 182);
        EXPECT_NEAR(d.rgb[0], 250, 12) << bits << " bits";
        EXPECT_NEAR(d.rgb[2], 0, 12) << bits << " bits";
    }
}

TEST_F(SnapshotTest, SavedFileIsAJpegOfThePicture) {
    const Picture green(64, 48, 24, 0, 200, 0);
    std::string error;
    const auto path = saveSnapshot(encodeJpeg(green.view, error).value(), folder.path().string(), "Gate", when, error);
    ASSERT_TRUE(path.has_value()) << error;
    const test::Probe p = test::probe(*path);
    ASSERT_TRUE(p.read) << p.errors;
    EXPECT_EQ(p.streams[0].codec, "mjpeg");
    EXPECT_EQ(p.streams[0].width, 64);
}

TEST_F(SnapshotTest, NamesFromCameraAndTimeWithoutReplacingAFile) {
    const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    std::string error;
    const auto first = saveSnapshot(jpeg, folder.path().string(), "Yard/North\tGate", when, error);
    const auto second = saveSnapshot(jpeg, folder.path().string(), "Yard/North\tGate", when, error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_EQ(*first, folder.file("YardNorthGate_2024-03-05_07-08-09.045.jpg"));
    EXPECT_EQ(*second, folder.file("YardNorthGate_2024-03-05_07-08-09.045-2.jpg"));
}

TEST_F(SnapshotTest, CleanNamesAndTimes) {
    EXPECT_EQ(cleanCameraName("Front door"), "Front door");
    EXPECT_EQ(cleanCameraName("a/b\x7f\n"), "ab");
    EXPECT_EQ(cleanCameraName("//\x01"), "camera");
    EXPECT_EQ(cleanCameraName("K\xc3\xbc"
                              "che"),
              "K\xc3\xbc"
              "che");
    EXPECT_EQ(captureTimeText(system_clock::time_point(seconds(0))), "1970-01-01_00-00-00.000");
    EXPECT_EQ(captureTimeText(when + milliseconds(954)), "2024-03-05_07-08-09.999");
}

TEST_F(SnapshotTest, NoPictureIsNoFile) {
    platform::PictureView empty;
    std::string error;
    EXPECT_FALSE(encodeJpeg(empty, error).has_value());
    EXPECT_EQ(error, "no picture to save");
    const Picture odd(10, 10, 8, 0, 0, 0);
    EXPECT_FALSE(encodeJpeg(odd.view, error).has_value());
}

} // namespace
} // namespace recorder
