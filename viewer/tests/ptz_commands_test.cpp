// Pointer sectors and direction keys send their commands to a simulated
// camera; the bytes are worked out by hand from the Pelco-D frame (FF,
// address, command 1, command 2, data 1, data 2, sum of bytes 2 to 6).
#include <gtest/gtest.h>

#include "camera_session.h"
#include "live/direction_keys.h"
#include "live/ptz_sectors.h"

namespace tavolin::ui {
namespace {

using test::Bytes;
using test::CameraSession;

const Bytes kPanLeft3 = {0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D};
const Bytes kUpLeft5 = {0xFF, 0x01, 0x00, 0x0C, 0x3F, 0x3F, 0x8B};
const Bytes kStop = {0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01};
const Bytes kZoomIn = {0xFF, 0x01, 0x00, 0x20, 0x00, 0x00, 0x21};
const Bytes kZoomOut = {0xFF, 0x01, 0x00, 0x40, 0x00, 0x00, 0x41};
const Bytes kOsdUp = {0xFF, 0x01, 0x00, 0x08, 0x00, 0x20, 0x29};
const Bytes kOsdDown = {0xFF, 0x01, 0x00, 0x10, 0x00, 0x20, 0x31};
const Bytes kOsdLeave = {0xFF, 0x01, 0x04, 0x00, 0x00, 0x00, 0x05};
const Bytes kOsdEnter = {0xFF, 0x01, 0x02, 0x00, 0x00, 0x00, 0x03};

class PelcoDCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(session.connected()); }
  CameraSession session{test::shippedProtocol("Pelco-D.ptz")};
};

TEST_F(PelcoDCommandsTest, SectorsStartWithTheirSpeedAndStop) {
  startPtzSector(session.handle(), PtzSector::Left, 3);
  stopPtzSector(session.handle(), PtzSector::Left);
  startPtzSector(session.handle(), PtzSector::UpLeft, 5);
  stopPtzSector(session.handle(), PtzSector::UpLeft);
  startPtzSector(session.handle(), PtzSector::ZoomIn, 3);
  stopPtzSector(session.handle(), PtzSector::ZoomIn);
  startPtzSector(session.handle(), PtzSector::ZoomOut, 3);
  stopPtzSector(session.handle(), PtzSector::ZoomOut);
  EXPECT_EQ(session.serialBytes(8),
            (std::vector<Bytes>{kPanLeft3, kStop, kUpLeft5, kStop, kZoomIn, kStop, kZoomOut, kStop}));
}

TEST_F(PelcoDCommandsTest, KeysDriveTheOnScreenMenuInOsdMode) {
  for (int key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right}) {
    EXPECT_FALSE(directionKeyDown(session.handle(), key, true, true).has_value());
    directionKeyUp(session.handle(), key, true, true);
  }
  // Up and Down stop when they come up; Left and Right send nothing then.
  EXPECT_EQ(session.serialBytes(6), (std::vector<Bytes>{kOsdUp, kStop, kOsdDown, kStop, kOsdLeave, kOsdEnter}));
}

TEST_F(PelcoDCommandsTest, KeysOutsideOsdModeStepThroughCamerasAndSendNothing) {
  EXPECT_EQ(directionKeyDown(session.handle(), Qt::Key_Up, false, true), PatrolDirection::Previous);
  EXPECT_EQ(directionKeyDown(session.handle(), Qt::Key_Down, false, true), PatrolDirection::Next);
  EXPECT_FALSE(directionKeyDown(session.handle(), Qt::Key_Left, false, true).has_value());
  EXPECT_FALSE(directionKeyDown(session.handle(), Qt::Key_Right, false, true).has_value());
  directionKeyUp(session.handle(), Qt::Key_Up, false, true);
  // In OSD mode without PTZ the keys neither step nor send.
  EXPECT_FALSE(directionKeyDown(session.handle(), Qt::Key_Down, true, false).has_value());
  directionKeyUp(session.handle(), Qt::Key_Down, true, false);
  startPtzSector(session.handle(), PtzSector::ZoomIn, 3);  // fence
  EXPECT_EQ(session.serialBytes(1), (std::vector<Bytes>{kZoomIn}));
}

// Without a pan-tilt stop command each sector stops with its own direction:
// the move command at speed 0.
const char* const kNoStopCommand = R"(
[PANTILT]
PANLEFT;0;0;0xA0,0x10,0x00
PANLEFT;2;0;0xA0,0x10,0x02
PANRIGHT;0;0;0xA0,0x20,0x00
TILTUP;0;0;0xA0,0x30,0x00
TILTDOWN;0;0;0xA0,0x40,0x00
[ZOOM]
ZOOMSTOP;0;0;0xA0,0x50,0x00
)";

TEST(SectorStopTest, EachSectorStopsItsOwnDirection) {
  test::ProtocolText protocol(kNoStopCommand);
  CameraSession session(protocol.path());
  ASSERT_TRUE(session.connected());
  for (PtzSector s :
       {PtzSector::Left, PtzSector::Up, PtzSector::Right, PtzSector::Down, PtzSector::ZoomIn, PtzSector::DownRight}) {
    stopPtzSector(session.handle(), s);
  }
  EXPECT_EQ(session.serialBytes(9), (std::vector<Bytes>{{0xA0, 0x10, 0x00},
                                                        {0xA0, 0x30, 0x00},
                                                        {0xA0, 0x20, 0x00},
                                                        {0xA0, 0x40, 0x00},
                                                        {0xA0, 0x50, 0x00},
                                                        // all four for a diagonal
                                                        {0xA0, 0x20, 0x00},
                                                        {0xA0, 0x10, 0x00},
                                                        {0xA0, 0x40, 0x00},
                                                        {0xA0, 0x30, 0x00}}));
}

}  // namespace
}  // namespace tavolin::ui
