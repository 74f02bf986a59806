#include "platform/surface.h"

#include <gtest/gtest.h>

namespace {

using platform::RecordingSurface;
using platform::SurfaceRegistry;

TEST(SurfaceRegistryTest, ZeroAndUnknownHandlesFindNothing) {
    EXPECT_EQ(SurfaceRegistry::find(0), nullptr);
    EXPECT_EQ(SurfaceRegistry::find(0xDEADBEEF), nullptr);
}

TEST(SurfaceRegistryTest, HandlesAreDistinctAndRemovable) {
    auto a = std::make_shared<RecordingSurface>();
    auto b = std::make_shared<RecordingSurface>();
    const uint32_t ha = SurfaceRegistry::add(a);
    const uint32_t hb = SurfaceRegistry::add(b);
    EXPECT_NE(ha, 0u);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(SurfaceRegistry::find(ha).get(), a.get());
    EXPECT_EQ(SurfaceRegistry::find(hb).get(), b.get());
    SurfaceRegistry::remove(ha);
    EXPECT_EQ(SurfaceRegistry::find(ha), nullptr);
    EXPECT_EQ(SurfaceRegistry::find(hb).get(), b.get());
    SurfaceRegistry::remove(hb);
}

TEST(SurfaceRegistryTest, RemovedSurfaceStaysAliveForItsHolder) {
    std::weak_ptr<RecordingSurface> watch;
    uint32_t handle = 0;
    {
        auto s = std::make_shared<RecordingSurface>();
        watch = s;
        handle = SurfaceRegistry::add(s);
    }
    std::shared_ptr<platform::Surface> held = SurfaceRegistry::find(handle);
    SurfaceRegistry::remove(handle);
    EXPECT_FALSE(watch.expired());
    held.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(SurfaceRegistryTest, NullSurfaceIsNotRegistered) { EXPECT_EQ(SurfaceRegistry::add(nullptr), 0u); }

TEST(BitmapStrideTest, RowsArePaddedToFourBytes) {
    EXPECT_EQ(platform::bitmapStride(3, 24), 12u); // 9 bytes -> 12
    EXPECT_EQ(platform::bitmapStride(4, 24), 12u);
    EXPECT_EQ(platform::bitmapStride(5, 16), 12u); // 10 bytes -> 12
    EXPECT_EQ(platform::bitmapStride(720, 32), 2880u);
    EXPECT_EQ(platform::bitmapStride(0, 24), 0u);
}

TEST(RecordingSurfaceTest, KeepsLatestPictureAndEveryText) {
    RecordingSurface s({100, 50});
    const uint8_t first[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t second[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    platform::PictureView view{2, 1, 32, 8, first};
    s.stretchDraw(view, {0, 0, 100, 50});
    view.pixels = second;
    s.stretchDraw(view, {1, 2, 3, 4});
    s.drawText(u"cam", {5, 6, 42, 14}, {0, 0, 255}, {128, 128, 128});
    s.present();

    const auto snap = s.snapshot();
    EXPECT_EQ(snap.drawCount, 2);
    EXPECT_EQ(snap.presentCount, 1);
    EXPECT_EQ(snap.pixels, std::vector<uint8_t>(second, second + 8));
    EXPECT_EQ(snap.dest.left, 1);
    EXPECT_EQ(snap.dest.height, 4);
    ASSERT_EQ(snap.texts.size(), 1u);
    EXPECT_EQ(snap.texts[0].text, u"cam");
    EXPECT_EQ(snap.texts[0].textColor, (platform::SurfaceColor{0, 0, 255}));
    EXPECT_EQ(s.clientSize().width, 100);
}

} // namespace
