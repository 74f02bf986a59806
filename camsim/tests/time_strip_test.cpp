// The time strip: what is drawn is read back exactly, and a strip that is
// damaged or missing reads as nothing rather than a wrong time.
#include "camsim/time_strip.h"

#include <gtest/gtest.h>

#include <vector>

namespace camsim {
namespace {

TEST(TimeStripTest, ReadsTheDrawnTimeAtEverySize) {
    for (const auto& [w, h] : {std::pair{128, 96}, std::pair{320, 240}, std::pair{1920, 1080}}) {
        SCOPED_TRACE(w);
        YuvImage image(w, h);
        fillRect(image.picture(), 0, 0, w, h, {90, 140, 200});
        for (const int64_t t : {int64_t{0}, int64_t{1796845200250}, (int64_t{1} << 48) - 1}) {
            drawTimeStrip(image.picture(), t);
            EXPECT_EQ(readTimeStrip(image.plane(0), image.stride(0), w, h), std::optional<int64_t>(t));
        }
    }
}

// A picture shown larger or smaller than it was drawn (a player's window).
TEST(TimeStripTest, ReadsTheTimeOfAScaledPicture) {
    YuvImage image(1920, 1080);
    fillRect(image.picture(), 0, 0, 1920, 1080, {90, 140, 200});
    drawTimeStrip(image.picture(), 1796845200250);
    for (const auto& [w, h] : {std::pair{1707, 960}, std::pair{1280, 720}, std::pair{2560, 1440}}) {
        SCOPED_TRACE(w);
        std::vector<uint8_t> shown(static_cast<std::size_t>(w) * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                shown[static_cast<std::size_t>(y) * w + x] =
                    image.plane(0)[(y * 1080 / h) * image.stride(0) + x * 1920 / w];
        }
        EXPECT_EQ(readScaledTimeStrip(shown.data(), w, w, h, 1920, 1080), std::optional<int64_t>(1796845200250));
    }
}

TEST(TimeStripTest, DamagedOrMissingStripReadsAsNothing) {
    YuvImage image(320, 240);
    fillRect(image.picture(), 0, 0, 320, 240, {0, 0, 0});
    EXPECT_EQ(readTimeStrip(image.plane(0), image.stride(0), 320, 240), std::nullopt);
    drawTimeStrip(image.picture(), 1796845200250);
    // One bit of the time turned over (cell 40, in the middle of the strip).
    const int cell = 320 / 64, top = 240 - timeStripHeight(240);
    uint8_t* row = const_cast<uint8_t*>(image.plane(0)) + top * image.stride(0);
    const bool white = row[40 * cell + cell / 2] > 128;
    fillRect(image.picture(), 40 * cell, top, cell, timeStripHeight(240), white ? Rgb{0, 0, 0} : Rgb{255, 255, 255});
    EXPECT_EQ(readTimeStrip(image.plane(0), image.stride(0), 320, 240), std::nullopt);
    EXPECT_EQ(readTimeStrip(nullptr, 320, 320, 240), std::nullopt);
}

} // namespace
} // namespace camsim
