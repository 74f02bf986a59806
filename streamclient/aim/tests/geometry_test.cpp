#include "aim/geometry.h"

#include <gtest/gtest.h>

#include <optional>

namespace aim {
namespace {

constexpr double kNear = 1e-9;

struct ShareCase {
    const char* what;
    Point view;
    Rect shown;
    Rect part;
    std::optional<Point> share;
};

TEST(PictureShare, ViewPointsBecomePicturePoints) {
    // A 640x480 view showing a 16:9 picture kept in its aspect: 640x360 with
    // bars of 60 above and below.
    const Rect bars{0, 60, 640, 360};
    const Rect zoomed{0.5, 0.25, 0.25, 0.25}; // 4x, the part from (0.5, 0.25)
    const ShareCase cases[] = {
        {"centre", {320, 240}, bars, kWholePicture, Point{0.5, 0.5}},
        {"top left corner of the picture", {0, 60}, bars, kWholePicture, Point{0, 0}},
        {"bottom right corner", {640, 420}, bars, kWholePicture, Point{1, 1}},
        {"on the upper bar", {320, 30}, bars, kWholePicture, std::nullopt},
        {"on the lower bar", {320, 450}, bars, kWholePicture, std::nullopt},
        {"zoomed: centre of the view is the centre of the part", {320, 240}, bars, zoomed, Point{0.625, 0.375}},
        {"zoomed: top left of the view", {0, 60}, bars, zoomed, Point{0.5, 0.25}},
        {"no picture area", {1, 1}, Rect{}, kWholePicture, std::nullopt},
    };
    for (const ShareCase& c : cases) {
        const std::optional<Point> got = pictureShareAt(c.view, c.shown, c.part);
        ASSERT_EQ(got.has_value(), c.share.has_value()) << c.what;
        if (!got) continue;
        EXPECT_NEAR(got->x, c.share->x, kNear) << c.what;
        EXPECT_NEAR(got->y, c.share->y, kNear) << c.what;
    }
}

TEST(PictureShare, FieldOfViewHasItsOriginInTheMiddleAndYUp) {
    const struct {
        Point share;
        Point fov;
    } cases[] = {
        {{0.5, 0.5}, {0, 0}}, {{0, 0}, {-1, 1}}, {{1, 0}, {1, 1}},
        {{0, 1}, {-1, -1}},   {{1, 1}, {1, -1}}, {{0.75, 0.25}, {0.5, 0.5}},
    };
    for (const auto& c : cases) {
        const Point fov = fovOf(c.share);
        EXPECT_NEAR(fov.x, c.fov.x, kNear);
        EXPECT_NEAR(fov.y, c.fov.y, kNear);
        const Point back = shareOfFov(fov);
        EXPECT_NEAR(back.x, c.share.x, kNear);
        EXPECT_NEAR(back.y, c.share.y, kNear);
    }
}

TEST(PictureShare, DraggedBoxIsCutToThePictureAndTakesTheZoomedPart) {
    const Rect bars{100, 0, 400, 300}; // bars left and right of a 4:3 picture in a 600x300 view
    // Corners in either order, one on a bar.
    std::optional<Rect> box = pictureBoxBetween({300, 150}, {50, 0}, bars);
    ASSERT_TRUE(box);
    EXPECT_NEAR(box->x, 0.0, kNear);
    EXPECT_NEAR(box->y, 0.0, kNear);
    EXPECT_NEAR(box->width, 0.5, kNear);
    EXPECT_NEAR(box->height, 0.5, kNear);
    // The same drag over a 2x zoom of the picture's lower right quarter.
    box = pictureBoxBetween({300, 150}, {50, 0}, bars, {0.5, 0.5, 0.5, 0.5});
    ASSERT_TRUE(box);
    EXPECT_NEAR(box->x, 0.5, kNear);
    EXPECT_NEAR(box->width, 0.25, kNear);
    EXPECT_FALSE(pictureBoxBetween({0, 0}, {90, 300}, bars)) << "wholly on a bar";
    EXPECT_FALSE(pictureBoxBetween({200, 10}, {200, 200}, bars)) << "no width";
}

TEST(PictureShare, BoxFillsThePictureByItsLargerSide) {
    EXPECT_DOUBLE_EQ(fillMagnification({0.1, 0.1, 0.25, 0.5}), 2.0);
    EXPECT_DOUBLE_EQ(fillMagnification({0.0, 0.0, 0.2, 0.1}), 5.0);
    EXPECT_DOUBLE_EQ(fillMagnification(kWholePicture), 1.0);
    EXPECT_DOUBLE_EQ(fillMagnification({0, 0, 0, 0}), 1.0);
}

} // namespace
} // namespace aim
