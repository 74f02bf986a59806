// The digital zoom's arithmetic as a table: factor, the part shown, zooming
// around a point, moving the part, and the picture's edges holding it.
#include "live/digital_zoom.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tavolin::ui::test {
namespace {

struct ZoomCase {
    const char* name;
    std::function<void(DigitalZoom&)> act;
    QRectF part; // expected, in shares of the picture
};

class DigitalZoomTest : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(DigitalZoomTest, ShowsThePartItShould) {
    DigitalZoom zoom;
    GetParam().act(zoom);
    const QRectF part = zoom.part();
    const QRectF want = GetParam().part;
    EXPECT_NEAR(part.x(), want.x(), 1e-9);
    EXPECT_NEAR(part.y(), want.y(), 1e-9);
    EXPECT_NEAR(part.width(), want.width(), 1e-9);
    EXPECT_NEAR(part.height(), want.height(), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Moves, DigitalZoomTest,
                         ::testing::Values(ZoomCase{"Whole", [](DigitalZoom&) {}, {0, 0, 1, 1}},
                                           // Twice around the middle: the middle half.
                                           ZoomCase{"TwiceAtTheMiddle",
                                                    [](DigitalZoom& z) {
                                                        z.zoomBy(2, {0.5, 0.5});
                                                    },
                                                    {0.25, 0.25, 0.5, 0.5}},
                                           // Around the top left corner the corner stays put.
                                           ZoomCase{"TwiceAtTheCorner",
                                                    [](DigitalZoom& z) {
                                                        z.zoomBy(2, {0, 0});
                                                    },
                                                    {0, 0, 0.5, 0.5}},
                                           // The point at a quarter stays at a quarter of the view.
                                           ZoomCase{"FourTimesAtAQuarter",
                                                    [](DigitalZoom& z) {
                                                        z.zoomBy(4, {0.25, 0.25});
                                                    },
                                                    {0.1875, 0.1875, 0.25, 0.25}},
                                           // Never beyond 8 times, never below 1.
                                           ZoomCase{"HeldAtEight",
                                                    [](DigitalZoom& z) {
                                                        z.zoomSteps(30, {0.5, 0.5});
                                                    },
                                                    {0.4375, 0.4375, 0.125, 0.125}},
                                           ZoomCase{"HeldAtOne",
                                                    [](DigitalZoom& z) {
                                                        z.zoomSteps(-3, {0.2, 0.9});
                                                    },
                                                    {0, 0, 1, 1}},
                                           // Zooming out again near an edge keeps the part inside the picture.
                                           ZoomCase{"OutNearTheEdge",
                                                    [](DigitalZoom& z) {
                                                        z.zoomBy(4, {1, 1});
                                                        z.zoomBy(0.5, {0, 0});
                                                    },
                                                    {0.5, 0.5, 0.5, 0.5}},
                                           // Dragging right by a quarter of the view shows what lies left of it.
                                           ZoomCase{"PanFollowsThePointer",
                                                    [](DigitalZoom& z) {
                                                        z.zoomBy(2, {0.5, 0.5});
                                                        z.pan({0.25, -0.25});
                                                    },
                                                    {0.125, 0.375, 0.5, 0.5}},
                                           ZoomCase{"PanStopsAtTheEdges",
                                                    [](DigitalZoom& z) {
                                                        z.zoomBy(2, {0.5, 0.5});
                                                        z.pan({-5, 5});
                                                    },
                                                    {0.5, 0, 0.5, 0.5}},
                                           ZoomCase{"PanUnzoomedMovesNothing",
                                                    [](DigitalZoom& z) {
                                                        z.pan({0.3, 0.3});
                                                    },
                                                    {0, 0, 1, 1}},
                                           ZoomCase{"Reset",
                                                    [](DigitalZoom& z) {
                                                        z.zoomSteps(5, {0.9, 0.1});
                                                        z.reset();
                                                    },
                                                    {0, 0, 1, 1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PictureShareTest, PointsFallOnThePictureHeldToItsEdges) {
    const QRect target(100, 50, 200, 100);
    EXPECT_EQ(pictureShare({200, 100}, target), QPointF(0.5, 0.5));
    EXPECT_EQ(pictureShare({0, 400}, target), QPointF(0, 1));
    EXPECT_EQ(pictureShare({5, 5}, QRect()), QPointF(0.5, 0.5));
}

} // namespace
} // namespace tavolin::ui::test
