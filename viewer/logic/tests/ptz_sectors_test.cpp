#include "live/ptz_sectors.h"

#include <gtest/gtest.h>

namespace tavolin::ui {
namespace {

const QSize kScreen(320, 240);

TEST(PtzSectorsTest, ColumnsAndRowsOfATurnedHandheldScreen) {
    // Columns 0-105, 106-211, 212-319; rows 0-79, 80-159, 160-239.
    EXPECT_EQ(ptzSectorAt(kScreen, {0, 0}), PtzSector::UpLeft);
    EXPECT_EQ(ptzSectorAt(kScreen, {105, 79}), PtzSector::UpLeft);
    EXPECT_EQ(ptzSectorAt(kScreen, {105, 80}), PtzSector::Left);
    EXPECT_EQ(ptzSectorAt(kScreen, {105, 159}), PtzSector::Left);
    EXPECT_EQ(ptzSectorAt(kScreen, {0, 160}), PtzSector::DownLeft);
    EXPECT_EQ(ptzSectorAt(kScreen, {106, 79}), PtzSector::Up);
    EXPECT_EQ(ptzSectorAt(kScreen, {211, 0}), PtzSector::Up);
    EXPECT_EQ(ptzSectorAt(kScreen, {106, 239}), PtzSector::Down);
    EXPECT_EQ(ptzSectorAt(kScreen, {212, 0}), PtzSector::UpRight);
    EXPECT_EQ(ptzSectorAt(kScreen, {319, 80}), PtzSector::Right);
    EXPECT_EQ(ptzSectorAt(kScreen, {212, 160}), PtzSector::DownRight);
}

TEST(PtzSectorsTest, MiddleCellZoomsInAboveHalfHeightAndOutBelow) {
    EXPECT_EQ(ptzSectorAt(kScreen, {160, 80}), PtzSector::ZoomIn);
    EXPECT_EQ(ptzSectorAt(kScreen, {160, 119}), PtzSector::ZoomIn);
    EXPECT_EQ(ptzSectorAt(kScreen, {160, 120}), PtzSector::ZoomOut);
    EXPECT_EQ(ptzSectorAt(kScreen, {160, 159}), PtzSector::ZoomOut);
}

TEST(PtzSectorsTest, PointsOffTheScreenFallIntoBorderSectors) {
    EXPECT_EQ(ptzSectorAt(kScreen, {-40, -3}), PtzSector::UpLeft);
    EXPECT_EQ(ptzSectorAt(kScreen, {500, 100}), PtzSector::Right);
    EXPECT_EQ(ptzSectorAt(kScreen, {150, 9000}), PtzSector::Down);
    // A screen too small to divide still gives a sector.
    EXPECT_EQ(ptzSectorAt(QSize(2, 2), {1, 1}), PtzSector::DownRight);
}

TEST(PtzSectorsTest, ArrowSitsBesideThePointerAsEachSectorWants) {
    const QPoint p(150, 100);
    EXPECT_EQ(ptzArrowTopLeft(PtzSector::UpLeft, p), QPoint(126, 76));
    EXPECT_EQ(ptzArrowTopLeft(PtzSector::Left, p), QPoint(126, 88));
    EXPECT_EQ(ptzArrowTopLeft(PtzSector::DownLeft, p), QPoint(126, 100));
    EXPECT_EQ(ptzArrowTopLeft(PtzSector::Up, p), QPoint(138, 100));
    EXPECT_EQ(ptzArrowTopLeft(PtzSector::ZoomOut, p), QPoint(126, 88));
    EXPECT_EQ(ptzArrowTopLeft(PtzSector::Down, p), QPoint(138, 100));
    EXPECT_EQ(ptzArrowTopLeft(PtzSector::UpRight, p), QPoint(126, 100));
    EXPECT_EQ(ptzArrowTopLeft(PtzSector::DownRight, p), QPoint(126, 76));
}

TEST(PtzSectorsTest, UnsetSpeedGoesOutAsTheMiddleSpeed) {
    EXPECT_EQ(ptzSpeedArgument(0), 3);
    EXPECT_EQ(ptzSpeedArgument(1), 1);
    EXPECT_EQ(ptzSpeedArgument(5), 5);
}

} // namespace
} // namespace tavolin::ui
