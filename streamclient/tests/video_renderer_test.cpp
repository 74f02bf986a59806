// CVideoRenderer: what it draws into a registered window and when it refuses.
#include "video_renderer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ostrel::CVideoRenderer;
using ostrel::PictureDescriptor;

class VideoRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        surface = std::make_shared<platform::RecordingSurface>();
        window = platform::SurfaceRegistry::add(surface);
        pixels.assign(4 * 3 * 4, 0x11); // 4 x 3 at 32 bits
        picture.width = 4;
        picture.height = 3;
        picture.bitCount = 32;
        picture.pixels = pixels.data();
        picture.pixelBytes = pixels.size();
        picture.updateHeader();
    }
    void TearDown() override { platform::SurfaceRegistry::remove(window); }

    std::shared_ptr<platform::RecordingSurface> surface;
    uint32_t window = 0;
    std::vector<uint8_t> pixels;
    PictureDescriptor picture;
};

TEST_F(VideoRendererTest, HeaderDescribesATopDownBitmap) {
    EXPECT_EQ(picture.header.headerSize, 40u);
    EXPECT_EQ(picture.header.width, 4);
    EXPECT_EQ(picture.header.height, -3);
    EXPECT_EQ(picture.header.planes, 1);
    EXPECT_EQ(picture.header.bitCount, 32);
    EXPECT_EQ(picture.header.compression, 0u);
}

TEST_F(VideoRendererTest, DefaultDestinationIsFullPalSize) {
    CVideoRenderer renderer(window);
    renderer.draw(picture, false);
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.dest.width, 720);
    EXPECT_EQ(snap.dest.height, 576);
    EXPECT_EQ(snap.presentCount, 1); // released at once
}

TEST_F(VideoRendererTest, HeldContextIsReturnedAndNotYetPresented) {
    CVideoRenderer renderer(window);
    renderer.setDestination(1, 2, 30, 40);
    auto held = renderer.draw(picture, true);
    ASSERT_NE(held, nullptr);
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.drawCount, 1);
    EXPECT_EQ(snap.presentCount, 0);
    EXPECT_EQ(snap.dest.left, 1);
    EXPECT_EQ(snap.dest.top, 2);
    EXPECT_EQ(snap.stride, 16u);
}

TEST_F(VideoRendererTest, NothingDrawableDrawsNothing) {
    CVideoRenderer renderer(window);
    PictureDescriptor p = picture;
    p.pixels = nullptr;
    EXPECT_EQ(renderer.draw(p, true), nullptr);
    p = picture;
    p.width = 0;
    EXPECT_EQ(renderer.draw(p, true), nullptr);
    p = picture;
    p.compression = 1;
    EXPECT_EQ(renderer.draw(p, true), nullptr);
    EXPECT_EQ(surface->drawCount(), 0);
}

TEST_F(VideoRendererTest, RowsBeyondTheCopiedBytesAreNotRead) {
    CVideoRenderer renderer(window);
    PictureDescriptor p = picture;
    p.pixelBytes = pixels.size() - 1; // the decoder said less than 4 x 3 x 4
    EXPECT_EQ(renderer.draw(p, false), nullptr);
    p = picture;
    p.height = 4; // more rows than the stream's picture has
    EXPECT_EQ(renderer.draw(p, false), nullptr);
    EXPECT_EQ(surface->drawCount(), 0);
}

TEST_F(VideoRendererTest, ZeroOrUnknownWindowDrawsNothing) {
    CVideoRenderer none(0);
    EXPECT_EQ(none.draw(picture, true), nullptr);
    CVideoRenderer unknown(window + 0x100000);
    EXPECT_EQ(unknown.draw(picture, true), nullptr);
    EXPECT_EQ(surface->drawCount(), 0);
}

} // namespace
