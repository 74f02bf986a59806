// The head's answers to decoded commands, on a clock the test moves.
#include "camsim/camera_head.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

using Kind = PtzCommand::Kind;

PtzCommand move(int pan, int tilt, int speed = 0x3F) {
    PtzCommand c;
    c.pan = pan;
    c.tilt = tilt;
    c.panSpeed = pan != 0 ? speed : 0;
    c.tiltSpeed = tilt != 0 ? speed : 0;
    return c;
}

PtzCommand stop() { return PtzCommand{}; }

PtzCommand preset(Kind kind, int number) {
    PtzCommand c;
    c.kind = kind;
    c.preset = number;
    return c;
}

PtzCommand lens(int zoom, int focus, int iris) {
    PtzCommand c;
    c.zoom = zoom;
    c.focus = focus;
    c.iris = iris;
    return c;
}

class CameraHeadTest : public ::testing::Test {
protected:
    platform::ManualClock clock;
    CameraHead head{1, &clock};
};

TEST_F(CameraHeadTest, PanLeftMovesUntilStop) {
    const ViewWindow start = head.window();
    head.apply(move(-1, 0));
    clock.advanceMs(200);
    const ViewWindow moving = head.window();
    EXPECT_LT(moving.x, start.x - 0.05);
    EXPECT_DOUBLE_EQ(moving.y, start.y);
    head.apply(stop());
    const ViewWindow stopped = head.window();
    clock.advanceMs(1000);
    EXPECT_DOUBLE_EQ(head.window().x, stopped.x);
}

TEST_F(CameraHeadTest, SpeedScalesTheMove) {
    head.apply(move(1, 0, 0x08));
    clock.advanceMs(200);
    const double slow = head.window().x - 0.5;
    head.apply(move(1, 0, 0x3F));
    clock.advanceMs(200);
    const double fast = head.window().x - 0.5 - slow;
    EXPECT_GT(slow, 0);
    EXPECT_NEAR(fast / slow, 63.0 / 8.0, 0.01);
}

TEST_F(CameraHeadTest, DiagonalMovesBothWaysAndStopsAtTheEdge) {
    head.apply(move(1, 1));
    clock.advanceMs(300);
    EXPECT_GT(head.window().x, 0.5);
    EXPECT_GT(head.window().y, 0.5);
    clock.advanceMs(60000);
    const ViewWindow w = head.window();
    EXPECT_DOUBLE_EQ(w.x, 1.0 - w.width() / 2);
    EXPECT_DOUBLE_EQ(w.y, 1.0 - w.height() / 2);
}

TEST_F(CameraHeadTest, ZoomInShrinksTheWindowWithinLimits) {
    head.apply(lens(1, 0, 0));
    clock.advanceMs(1000);
    EXPECT_NEAR(head.window().zoom, 2.0, 1e-9);
    EXPECT_NEAR(head.window().width(), 0.25, 1e-9);
    clock.advanceMs(10000);
    EXPECT_DOUBLE_EQ(head.window().zoom, kMaxZoom);
    head.apply(lens(-1, 0, 0));
    clock.advanceMs(20000);
    EXPECT_DOUBLE_EQ(head.window().zoom, kMinZoom);
}

TEST_F(CameraHeadTest, FocusAndIrisDriftWhileHeld) {
    head.apply(lens(0, -1, 1));
    clock.advanceMs(1000);
    head.apply(stop());
    clock.advanceMs(1000);
    const HeadState s = head.state();
    EXPECT_NEAR(s.focusError, -0.5, 1e-9);
    EXPECT_NEAR(s.irisLevel, 0.5, 1e-9);
}

TEST_F(CameraHeadTest, PresetGoReturnsToTheStoredWindow) {
    head.apply(move(-1, -1));
    clock.advanceMs(300);
    head.apply(lens(1, 0, 0));
    clock.advanceMs(500);
    head.apply(stop());
    const ViewWindow stored = head.window();
    head.apply(preset(Kind::PresetSet, 2));
    head.apply(move(1, 1));
    clock.advanceMs(2000);
    head.apply(stop());
    ASSERT_NE(head.window(), stored);
    head.apply(preset(Kind::PresetGo, 2));
    EXPECT_EQ(head.window(), stored);
    EXPECT_TRUE(head.state().presets[1].has_value());
}

TEST_F(CameraHeadTest, ClearedOrUnsetPresetDoesNotMove) {
    head.apply(preset(Kind::PresetSet, 1));
    head.apply(preset(Kind::PresetClear, 1));
    head.apply(move(1, 0));
    clock.advanceMs(300);
    head.apply(stop());
    const ViewWindow here = head.window();
    head.apply(preset(Kind::PresetGo, 1));
    head.apply(preset(Kind::PresetGo, 7));
    head.apply(preset(Kind::PresetSet, 9)); // beyond the table
    EXPECT_EQ(head.window(), here);
    for (const auto& p : head.state().presets) EXPECT_FALSE(p.has_value());
}

TEST_F(CameraHeadTest, GoingToPreset95OpensTheMenu) {
    head.apply(preset(Kind::PresetGo, kOsdPreset));
    const HeadState s = head.state();
    EXPECT_TRUE(s.osd.open);
    EXPECT_EQ(s.osd.page, 0);
    EXPECT_EQ(s.osd.cursor, 0);
}

TEST_F(CameraHeadTest, MenuTakesTheKeysInsteadOfTheHead) {
    head.apply(preset(Kind::PresetGo, kOsdPreset));
    const ViewWindow before = head.window();
    head.apply(move(0, 1, 0x20));  // down: cursor to sharpness
    head.apply(move(0, -1, 0x20)); // up: back to brightness
    head.apply(move(0, -1, 0x20)); // up from the top wraps to "EXIT"
    EXPECT_EQ(head.state().osd.cursor, 4);
    head.apply(move(0, 1, 0x20)); // wraps to brightness
    head.apply(move(1, 0, 0x20)); // right: brightness +1
    head.apply(move(1, 0, 0x20));
    clock.advanceMs(1000);
    const HeadState s = head.state();
    EXPECT_EQ(s.osd.brightness, 2);
    EXPECT_EQ(s.window, before);
}

TEST_F(CameraHeadTest, EnterOpensThePresetPageAndLeaveGoesBackThenOut) {
    head.apply(preset(Kind::PresetSet, 1));
    head.apply(preset(Kind::PresetGo, kOsdPreset));
    for (int i = 0; i < 3; ++i) head.apply(move(0, 1, 0x20));
    head.apply(lens(0, 0, 1)); // enter on "PRESETS"
    HeadState s = head.state();
    EXPECT_EQ(s.osd.page, 1);
    const auto lines = osdLines(s.osd, s.presets);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1], "> PRESET 1  SET");
    EXPECT_EQ(lines[2], "  PRESET 2  ---");
    head.apply(lens(0, 0, -1)); // leave: back to the main page
    s = head.state();
    EXPECT_TRUE(s.osd.open);
    EXPECT_EQ(s.osd.page, 0);
    EXPECT_EQ(s.osd.cursor, 3);
    head.apply(lens(0, 0, -1)); // leave from the top closes
    EXPECT_FALSE(head.state().osd.open);
    // Closed, the iris drives the lens again.
    head.apply(lens(0, 0, 1));
    clock.advanceMs(200);
    EXPECT_GT(head.state().irisLevel, 0);
}

TEST_F(CameraHeadTest, SerialBytesForAnotherAddressAreCountedNotApplied) {
    CameraHead other{3, &clock};
    // Pelco-D pan right for address 1: 01 + 02 + 3F = 42
    other.receiveSerial({0xFF, 0x01, 0x00, 0x02, 0x3F, 0x00, 0x42});
    clock.advanceMs(500);
    EXPECT_DOUBLE_EQ(other.window().x, 0.5);
    EXPECT_EQ(other.state().framesRefused, 1);
    EXPECT_EQ(other.state().commandsApplied, 0);
    head.receiveSerial({0xFF, 0x01, 0x00, 0x02, 0x3F, 0x00, 0x42});
    clock.advanceMs(500);
    EXPECT_GT(head.window().x, 0.5);
}

TEST_F(CameraHeadTest, ScheduledInputsAlternateAfterOnePeriod) {
    head.scheduleInputs(5000, 1000);
    EXPECT_EQ(head.activeInputs(), 0);
    clock.advanceMs(5000);
    EXPECT_EQ(head.activeInputs(), 1);
    clock.advanceMs(1000);
    EXPECT_EQ(head.activeInputs(), 0);
    clock.advanceMs(4000);
    EXPECT_EQ(head.activeInputs(), 2);
}

TEST_F(CameraHeadTest, PulsedInputsEndOnTime) {
    head.pulseInputs(3, 400);
    EXPECT_EQ(head.activeInputs(), 3);
    clock.advanceMs(400);
    EXPECT_EQ(head.activeInputs(), 0);
}

TEST_F(CameraHeadTest, MotionFollowsTheObjectThroughTheRegions) {
    head.setMotionDetection(true, {});
    clock.setMs(100000); // start of a cycle: left third
    EXPECT_EQ(head.motionBits(), 1 << 1);
    clock.setMs(102000); // half way: middle third
    EXPECT_EQ(head.motionBits(), 1 << 2);
    clock.setMs(103900); // right third
    EXPECT_EQ(head.motionBits(), 1 << 3);
    clock.setMs(104500); // resting: no motion
    EXPECT_EQ(head.motionBits(), 0);
    head.setMotionDetection(false, {});
    clock.setMs(102000);
    EXPECT_EQ(head.motionBits(), 0);
}

TEST_F(CameraHeadTest, ClientRegionsReplaceTheThirds) {
    // One region over the right half: the object reports there only, as region 1.
    head.setMotionDetection(true, motionRegionsFromWindows({{176, 0, 352, 240}}, 352, 240));
    clock.setMs(100000); // object at the left edge
    EXPECT_EQ(head.motionBits(), 0);
    clock.setMs(103900); // near the right edge
    EXPECT_EQ(head.motionBits(), 1 << 1);
}

TEST(MotionRegionsTest, WindowsBecomeFractionsAndEmptyOnesAreSkipped) {
    const auto regions =
        motionRegionsFromWindows({{0, 0, 176, 120}, {100, 50, 100, 60}, {300, 200, 400, 300}}, 352, 240);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_DOUBLE_EQ(regions[0].right, 0.5);
    EXPECT_DOUBLE_EQ(regions[0].bottom, 0.5);
    EXPECT_DOUBLE_EQ(regions[1].left, 300.0 / 352);
    EXPECT_DOUBLE_EQ(regions[1].right, 1.0); // cut to the picture
    EXPECT_DOUBLE_EQ(regions[1].bottom, 1.0);
    EXPECT_TRUE(motionRegionsFromWindows({{0, 0, 10, 10}}, 0, 240).empty());
}

TEST_F(CameraHeadTest, TalkLevelFollowsPacketsAndFades) {
    std::vector<uint8_t> loud(4096);
    for (std::size_t i = 0; i < loud.size(); i += 2) {
        const int16_t v = (i / 2) % 2 == 0 ? 12000 : -12000;
        loud[i] = static_cast<uint8_t>(v & 0xFF);
        loud[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
    head.receiveTalk(loud.data(), loud.size());
    EXPECT_DOUBLE_EQ(head.state().talkLevel, 1.0);
    std::vector<uint8_t> silent(4096, 0);
    head.receiveTalk(silent.data(), silent.size());
    EXPECT_DOUBLE_EQ(head.state().talkLevel, 0.0);
    head.receiveTalk(loud.data(), loud.size());
    clock.advanceMs(1000);
    EXPECT_DOUBLE_EQ(head.state().talkLevel, 0.0);
}

} // namespace
} // namespace camsim
