// A frame's time comes back with the picture it makes, also from the
// frame-threaded decoder of large pictures, which hands pictures out late.
#include "decoder/video_decoder.h"

#include "test_encoder.h"

#include <gtest/gtest.h>

#include <vector>

namespace decoder {
namespace {

constexpr int kH264 = 27; // AV_CODEC_ID_H264

constexpr int64_t kFirstTime = 1'000'000;
constexpr int64_t kInterval = 40;
constexpr int kSquare = 16;

// Frame i shows a black square at x = i * 16 on the top row of quadrants.
test::RgbPicture frameNumber(int width, int height, int i) {
    test::RgbPicture picture = test::quadrants(width, height);
    picture.fillRect(i * kSquare, 0, kSquare, kSquare, {0, 0, 0});
    return picture;
}

bool showsSquareOf(const uint8_t* picture, int width, int i) {
    const uint8_t* pixel =
        picture + kPictureHeaderSize + (static_cast<std::size_t>(kSquare / 2) * width + i * kSquare + kSquare / 2) * 4;
    return pixel[0] < 64 && pixel[1] < 64 && pixel[2] < 64;
}

// Up to 2560 x 1600 the call that decodes a frame hands out its picture: a
// decoder that held pictures back a call would show every camera one
// picture interval late. Larger ones may come later, frame-threaded.
TEST(PictureTimeTest, EachPictureCarriesTheTimeOfTheFrameItShows) {
    struct Case {
        int width;
        int height;
        bool sameCall;
    };
    for (const auto& [width, height, sameCall] :
         {Case{320, 240, true}, Case{1920, 1080, true}, Case{2560, 1600, true}, Case{2880, 1632, false}}) {
        SCOPED_TRACE(width);
        test::TestEncoder encoder(width, height, 25, 25, false, kH264);
        ASSERT_TRUE(encoder.ok());
        auto decoder = VideoDecoder::create(kDecoderCodecH264);
        ASSERT_NE(decoder, nullptr);
        int pictures = 0;
        for (int i = 0; i < 8; ++i) {
            const test::EncodedFrame frame = encoder.encode(frameNumber(width, height, i));
            const uint8_t* picture =
                decoder->decode(0, 0, frame.data.data(), frame.data.size(), kFirstTime + i * kInterval);
            if (picture == nullptr) {
                EXPECT_FALSE(sameCall) << "frame " << i;
                continue;
            }
            ++pictures;
            const int64_t shown = (decoder->pictureTime() - kFirstTime) / kInterval;
            ASSERT_TRUE(shown >= 0 && shown <= i) << decoder->pictureTime();
            if (sameCall) {
                EXPECT_EQ(shown, i);
            }
            EXPECT_TRUE(showsSquareOf(picture, width, static_cast<int>(shown))) << "frame " << shown;
        }
        EXPECT_GE(pictures, 6);
    }
}

TEST(PictureTimeTest, RestartForgetsPicturesNotYetHandedOut) {
    test::TestEncoder encoder(320, 240, 25, 1, false, kH264); // every picture a key picture
    ASSERT_TRUE(encoder.ok());
    auto decoder = VideoDecoder::create(kDecoderCodecH264);
    ASSERT_NE(decoder, nullptr);
    const test::EncodedFrame first = encoder.encode(test::quadrants(320, 240));
    ASSERT_NE(decoder->decode(0, 0, first.data.data(), first.data.size(), 1), nullptr);
    decoder->restart();
    EXPECT_EQ(decoder->pictureTime(), VideoDecoder::kNoTime);
    const test::EncodedFrame second = encoder.encode(test::quadrants(320, 240));
    ASSERT_NE(decoder->decode(0, 0, second.data.data(), second.data.size(), 2), nullptr);
    EXPECT_EQ(decoder->pictureTime(), 2);
}

} // namespace
} // namespace decoder
