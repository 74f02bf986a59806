#include "aim/phase_correlation.h"

#include "aim/calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace aim {
namespace {

// A scene with detail at every scale: blurred noise and a few blocks.
GrayPicture scene(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> level(0, 255);
    GrayPicture p{width, height, std::vector<uint8_t>(static_cast<std::size_t>(width) * height)};
    for (auto& v : p.pixels) v = static_cast<uint8_t>(level(random));
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 1; y + 1 < height; ++y) {
            for (int x = 1; x + 1 < width; ++x) {
                auto at = [&](int i, int j) { return p.pixels[static_cast<std::size_t>(j) * width + i]; };
                p.pixels[static_cast<std::size_t>(y) * width + x] =
                    static_cast<uint8_t>((at(x - 1, y) + at(x + 1, y) + at(x, y - 1) + at(x, y + 1)) / 4);
            }
        }
    }
    return p;
}

// The part of `big` at (left, top) of the given size.
GrayPicture window(const GrayPicture& big, int left, int top, int width, int height) {
    GrayPicture p{width, height, {}};
    for (int y = 0; y < height; ++y) {
        const auto* row = big.pixels.data() + static_cast<std::size_t>(top + y) * big.width + left;
        p.pixels.insert(p.pixels.end(), row, row + width);
    }
    return p;
}

TEST(PhaseCorrelation, FindsHowFarTheViewMoved) {
    const GrayPicture big = scene(400, 300, 7);
    PhaseCorrelator c(128, 96);
    const GrayPicture before = window(big, 100, 100, 128, 96);
    const struct { int left, top; } views[] = {{100, 100}, {110, 100}, {80, 93}, {140, 130}, {70, 120}};
    for (const auto& v : views) {
        // The view moved right and down: the content moved left and up.
        const Shift s = c.shift(before, window(big, v.left, v.top, 128, 96));
        EXPECT_NEAR(s.dx, -(v.left - 100), 0.25) << v.left << "," << v.top;
        EXPECT_NEAR(s.dy, -(v.top - 100), 0.25) << v.left << "," << v.top;
        EXPECT_GT(s.peak, 0.15) << v.left << "," << v.top;
    }
}

TEST(PhaseCorrelation, UnrelatedPicturesAgreeOnNothing) {
    PhaseCorrelator c(128, 96);
    const Shift s = c.shift(scene(128, 96, 1), scene(128, 96, 2));
    EXPECT_LT(s.peak, kMinPeak) << "below what a measurement needs";
    EXPECT_EQ(c.shift(scene(128, 96, 1), scene(64, 96, 1)).peak, 0.0) << "another size";
}

TEST(PhaseCorrelation, FindsHowManyTimesThePictureWasMagnified) {
    const GrayPicture before = scene(160, 120, 3);
    PhaseCorrelator c(160, 120);
    for (double ratio : {1.0, 1.5, 2.2, 0.7}) {
        double peak = 0;
        const double found = c.magnification(before, magnified(before, ratio), 3.0, &peak);
        EXPECT_NEAR(found / ratio, 1.0, 0.03) << ratio;
        EXPECT_GT(peak, 0.2) << ratio;
    }
}

} // namespace
} // namespace aim
