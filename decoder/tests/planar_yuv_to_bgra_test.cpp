// The fast path for camera pictures gives what swscale gives: the same
// colours (matrix, range, byte order), chroma planes read at their own
// strides, and a shrunk picture that is the same picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "../src/planar_yuv_to_bgra.h"
#include "platform/libav_owners.h"

namespace {

using Frame = platform::av::FramePtr;

// Diagonal gradients on every plane, so a swapped plane, a wrong stride or a
// mirrored row all change the picture.
Frame gradientFrame(int width, int height, AVPixelFormat format) {
    Frame frame(av_frame_alloc());
    frame->width = width;
    frame->height = height;
    frame->format = format;
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 64), 0); // strides wider than the rows
    const int chromaHeight = format == AV_PIX_FMT_YUV420P ? (height + 1) / 2 : height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(16 + (x + y) % 220);
    for (int y = 0; y < chromaHeight; ++y) {
        for (int x = 0; x < (width + 1) / 2; ++x) {
            frame->data[1][y * frame->linesize[1] + x] = static_cast<uint8_t>(64 + (3 * x) % 128);
            frame->data[2][y * frame->linesize[2] + x] = static_cast<uint8_t>(192 - (2 * y) % 128);
        }
    }
    return frame;
}

std::vector<uint8_t> swscaleBgra(const AVFrame& frame, bool fullRange, int width, int height) {
    const platform::av::ScalerPtr s(
        sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), width, height,
                       AV_PIX_FMT_BGRA, SWS_AREA | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(s.get(), coefficients, fullRange ? 1 : 0, coefficients, 0, 0, 1 << 16, 1 << 16);
    std::vector<uint8_t> out(static_cast<std::size_t>(width) * height * 4 + 256);
    uint8_t* dst[4] = {out.data()};
    const int dstStride[4] = {width * 4};
    sws_scale(s.get(), frame.data, frame.linesize, 0, frame.height, dst, dstStride);
    return out;
}

TEST(PlanarYuvToBgraTest, MatchesSwscaleForEachLayoutRangeAndSize) {
    const struct {
        AVPixelFormat format;
        bool fullRange;
        int width, height, toWidth, toHeight;
    } cases[] = {
        {AV_PIX_FMT_YUV420P, false, 64, 48, 64, 48},     {AV_PIX_FMT_YUV420P, true, 64, 48, 64, 48},
        {AV_PIX_FMT_YUV422P, false, 64, 48, 64, 48},     {AV_PIX_FMT_YUV422P, true, 64, 48, 64, 48},
        {AV_PIX_FMT_YUV420P, false, 640, 360, 477, 268}, {AV_PIX_FMT_YUV422P, true, 640, 360, 320, 180},
        {AV_PIX_FMT_YUV420P, false, 33, 17, 99, 51}, // odd sizes, grown
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " -> " << c.toWidth << "x" << c.toHeight
                                        << (c.format == AV_PIX_FMT_YUV420P ? " 4:2:0" : " 4:2:2")
                                        << (c.fullRange ? " full" : " studio"));
        const Frame frame = gradientFrame(c.width, c.height, c.format);
        std::vector<uint8_t> scratch;
        std::vector<uint8_t> ours(static_cast<std::size_t>(c.toWidth) * c.toHeight * 4);
        ASSERT_TRUE(decoder::planarYuvToBgra(*frame, c.format, c.fullRange, c.toWidth, c.toHeight, ours.data(),
                                             c.toWidth * 4, scratch));
        const std::vector<uint8_t> reference = swscaleBgra(*frame, c.fullRange, c.toWidth, c.toHeight);
        // Resampling filters differ by a step or two per pixel; a wrong
        // matrix, range or plane differs by tens on average.
        long total = 0;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            if (i % 4 == 3) {
                ASSERT_EQ(ours[i], 255) << "opaque";
                continue;
            }
            total += std::abs(ours[i] - reference[i]);
        }
        EXPECT_LT(static_cast<double>(total) / (ours.size() * 3 / 4), c.width == c.toWidth ? 1.5 : 4.0);
    }
}

TEST(PlanarYuvToBgraTest, OtherFormatsAreLeftToSwscale) {
    const Frame frame = gradientFrame(16, 16, AV_PIX_FMT_YUV420P);
    std::vector<uint8_t> scratch, out(16 * 16 * 4);
    EXPECT_FALSE(decoder::planarYuvToBgra(*frame, AV_PIX_FMT_NV12, false, 16, 16, out.data(), 64, scratch));
    EXPECT_FALSE(decoder::planarYuvToBgra(*frame, AV_PIX_FMT_YUV444P, false, 16, 16, out.data(), 64, scratch));
    EXPECT_FALSE(decoder::planarYuvToBgra(*frame, AV_PIX_FMT_YUV420P, false, 16, 16, out.data(), 32, scratch));
}

} // namespace
