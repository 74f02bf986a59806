#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ptz_test_support.h"

namespace {

using tiltra::test::bytesOf;
using tiltra::test::Handle;
using Bytes = std::vector<unsigned char>;

const std::string kHead = "ADDRIDSTART;0x01\n"
                          "ADDRIDPOS;2\n"
                          "CHECKSUM;$B7=$B2+$B3+$B4+$B5+$B6\n";
const std::string kPanLeft3 = "PANLEFT;3;0;0xFF,0x00,0x00,0x04,0x18,0x00,0x00\n";

Bytes asBytes(const void* p, int count) { return bytesOf(static_cast<const unsigned char*>(p), count); }

Bytes moveBytes(PTZContext* h, int code, int p1, int p2) {
    int count = 0;
    const void* r = PTZMove(h, code, p1, p2, &count);
    return asBytes(r, count);
}

Bytes zoomBytes(PTZContext* h, int code) {
    int count = 0;
    const void* r = PTZZoom(h, code, &count);
    return asBytes(r, count);
}

class CommandExports : public tiltra::test::ProtocolFolder {};

TEST_F(CommandExports, MoveInOutputModeOneGivesBytes) {
    Handle h = openText(kHead + kPanLeft3, 1, 1);
    int count = 0;
    const void* r = PTZMove(h.get(), 2, 3, 0, &count);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(asBytes(r, count), (Bytes{0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D}));
}

TEST_F(CommandExports, MoveInOutputModeTwoGivesHexWithoutCameraIp) {
    Handle h = openText(kHead + kPanLeft3, 1, 2);
    int count = 0;
    const void* r = PTZMove(h.get(), 2, 3, 0, &count);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(static_cast<const char*>(r), "FF01000418001D");
    EXPECT_EQ(count, 7);
}

TEST_F(CommandExports, MoveInOutputModeTwoGivesUrlWithCameraLogin) {
    Handle h = openFile(write("p.ptz", kHead + kPanLeft3), 1, 2, "127.0.0.1", "admin", "pw");
    int count = 0;
    const void* r = PTZMove(h.get(), 2, 3, 0, &count);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(static_cast<const char*>(r),
                 "http://127.0.0.1/cgi-bin/mpeg4?USER=admin&PWD=pw&SERIAL_HEX=FF01000418001D");
    EXPECT_EQ(count, 7);
    Handle noPassword = openFile(write("q.ptz", kHead + kPanLeft3), 1, 2, "127.0.0.1", "admin", "");
    EXPECT_STREQ(static_cast<const char*>(PTZMove(noPassword.get(), 2, 3, 0, &count)), "FF01000418001D");
}

TEST_F(CommandExports, OtherOutputModeGivesNullAndCountZero) {
    Handle h = openText(kHead + kPanLeft3, 1, 3);
    int count = 5;
    EXPECT_EQ(PTZMove(h.get(), 2, 3, 0, &count), nullptr);
    EXPECT_EQ(count, 0);
    // PTZGetString ignores the mode.
    EXPECT_NE(PTZGetString(h.get(), "PANLEFT", 3, 0, &count), nullptr);
}

TEST_F(CommandExports, MoveStopUsesTheLastCommandAtSpeedZero) {
    Handle h = openText(kHead + kPanLeft3 + "PANLEFT;0;0;0xFF,0x00,0x00,0x00,0x00,0x00,0x00\n" +
                        "PANTILTSTOP;0;0;0xFF,0x00,0x00,0x00,0x00,0x09,0x00\n");
    int count = 0;
    ASSERT_NE(PTZMove(h.get(), 2, 3, 0, &count), nullptr);
    const void* r = PTZMove(h.get(), 6, 0, 0, &count);
    EXPECT_EQ(asBytes(r, count), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}));
}

TEST_F(CommandExports, MoveStopFallsBackToPanTiltStopWithCallersParameters) {
    Handle h = openText(kHead + kPanLeft3 + "PANTILTSTOP;5;6;0xFF,0x00,0x00,0x00,0x00,0x07,0x00\n");
    int count = 0;
    ASSERT_NE(PTZMove(h.get(), 2, 3, 0, &count), nullptr);
    EXPECT_EQ(PTZMove(h.get(), 6, 0, 0, &count), nullptr);
    EXPECT_EQ(count, 0);
    const void* r = PTZMove(h.get(), 6, 5, 6, &count);
    EXPECT_EQ(asBytes(r, count), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x07, 0x08}));
}

TEST_F(CommandExports, MoveStopBeforeAnyCommandUsesPanTiltStop) {
    Handle h = openText(kHead + "PANTILTSTOP;0;0;0xFF,0x00,0x00,0x00,0x00,0x00,0x00\n");
    EXPECT_EQ(moveBytes(h.get(), 6, 0, 0), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}));
}

TEST_F(CommandExports, MoveAcceptsOnlyItsCodes) {
    Handle h = openText(kHead + kPanLeft3 + "OSDON;0;0;0x01\nZOOMIN;1;0;0x02\n");
    int count = 9;
    for (int code : {0, 1, 8, 15, 28, 36, 41}) {
        EXPECT_EQ(PTZMove(h.get(), code, 1, 0, &count), nullptr) << code;
        EXPECT_EQ(count, 0);
    }
}

TEST_F(CommandExports, DiagonalMoveCodes) {
    Handle h = openText(kHead + "MOVEDOWNRIGHT;2;0;0xFF,0x00,0x00,0x12,0x10,0x10,0x00\n");
    int count = 0;
    EXPECT_EQ(moveBytes(h.get(), 40, 2, 0), (Bytes{0xFF, 0x01, 0x00, 0x12, 0x10, 0x10, 0x33}));
    EXPECT_EQ(PTZMove(h.get(), 39, 2, 0, &count), nullptr);
}

class ZoomStop : public CommandExports {
protected:
    const std::string zoomLines = kHead + kPanLeft3 +
                                  "ZOOMIN;1;0;0xFF,0x00,0x00,0x20,0x00,0x00,0x00\n"
                                  "ZOOMIN;0;0;0xFF,0x00,0x00,0x00,0x00,0x01,0x00\n"
                                  "ZOOMOUT;1;0;0xFF,0x00,0x00,0x40,0x00,0x00,0x00\n"
                                  "ZOOMSTOP;0;0;0xFF,0x00,0x00,0x00,0x00,0x02,0x00\n";
};

TEST_F(ZoomStop, AfterZoomInGivesZoomInAtZero) {
    Handle h = openText(zoomLines);
    EXPECT_EQ(zoomBytes(h.get(), 28), (Bytes{0xFF, 0x01, 0x00, 0x20, 0x00, 0x00, 0x21}));
    EXPECT_EQ(zoomBytes(h.get(), 30), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x01, 0x02}));
}

TEST_F(ZoomStop, AfterZoomOutWithoutZoomOutAtZeroGivesZoomStop) {
    Handle h = openText(zoomLines);
    int count = 0;
    ASSERT_NE(PTZZoom(h.get(), 29, &count), nullptr);
    EXPECT_EQ(zoomBytes(h.get(), 30), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x02, 0x03}));
}

TEST_F(ZoomStop, AfterAnotherCommandGivesNullAndLeavesCount) {
    Handle h = openText(zoomLines);
    int count = 0;
    ASSERT_NE(PTZMove(h.get(), 2, 3, 0, &count), nullptr);
    count = 42;
    EXPECT_EQ(PTZZoom(h.get(), 30, &count), nullptr);
    EXPECT_EQ(count, 42);
}

TEST_F(ZoomStop, ZoomAcceptsOnlyItsCodes) {
    Handle h = openText(zoomLines);
    int count = 4;
    EXPECT_EQ(PTZZoom(h.get(), 2, &count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(CommandExports, FocusStopPrefersTheLastCommandThenFocus) {
    Handle h = openText(kHead + "FOCUSIN;1;0;0xFF,0x00,0x01,0x00,0x00,0x00,0x00\n"
                                "FOCUSOUT;1;0;0xFF,0x00,0x00,0x80,0x00,0x00,0x00\n"
                                "FOCUSIN;0;0;0xFF,0x00,0x00,0x00,0x00,0x03,0x00\n"
                                "FOCUS;0;0;0xFF,0x00,0x00,0x00,0x00,0x04,0x00\n");
    ASSERT_NE(PTZFocus(h.get(), 17), nullptr);
    EXPECT_EQ(asBytes(PTZFocus(h.get(), 19), 7), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x03, 0x04}));
    ASSERT_NE(PTZFocus(h.get(), 18), nullptr);
    EXPECT_EQ(asBytes(PTZFocus(h.get(), 19), 7), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x04, 0x05}));
    EXPECT_EQ(PTZFocus(h.get(), 20), nullptr);
}

TEST_F(CommandExports, IrisCodesUseParameterOneOrIrisStop) {
    Handle h = openText(kHead + "IRISOPEN;1;0;0xFF,0x00,0x02,0x00,0x00,0x00,0x00\n"
                                "IRIS;0;0;0xFF,0x00,0x00,0x00,0x00,0x00,0x00\n");
    EXPECT_EQ(asBytes(PTZIris(h.get(), 20), 7), (Bytes{0xFF, 0x01, 0x02, 0x00, 0x00, 0x00, 0x03}));
    EXPECT_EQ(asBytes(PTZIris(h.get(), 22), 7), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_EQ(PTZIris(h.get(), 21), nullptr);
    EXPECT_EQ(PTZIris(h.get(), 17), nullptr);
}

TEST_F(CommandExports, OsdResultKeepsTheOsdCommandAndStopBecomesLast) {
    Handle h = openText(kHead + "OSDUP;0;0;0xFF,0x00,0x00,0x08,0x00,0x20,0x00\n"
                                "PANTILTSTOP;0;0;0xFF,0x00,0x00,0x00,0x00,0x00,0x00\n");
    const void* r = PTZOSD(h.get(), 10);
    EXPECT_EQ(asBytes(r, 7), (Bytes{0xFF, 0x01, 0x00, 0x08, 0x00, 0x20, 0x29}));
    // The stop of the next move is looked up from PANTILTSTOP, the last command.
    EXPECT_EQ(moveBytes(h.get(), 6, 9, 9), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_EQ(PTZOSD(h.get(), 15), nullptr);
}

TEST_F(CommandExports, PresetBuildsAndReturnsZero) {
    Handle h = openText(kHead + kPanLeft3 + "PRESETGOTO;5;0;0xFF,0x00,0x00,0x07,0x00,0x05,0x00\n");
    const unsigned char* out = PTZGetString(h.get(), "PANLEFT", 3, 0, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(PTZPreset(h.get(), 25, 5), 0);
    EXPECT_EQ(bytesOf(out, 7), (Bytes{0xFF, 0x01, 0x00, 0x07, 0x00, 0x05, 0x0D}));
    EXPECT_EQ(PTZPreset(h.get(), 24, 5), 0);
    EXPECT_EQ(PTZPreset(h.get(), 2, 5), 0);
    EXPECT_EQ(bytesOf(out, 7), (Bytes{0xFF, 0x01, 0x00, 0x07, 0x00, 0x05, 0x0D}));
}

TEST_F(CommandExports, DayNightCode34BuildsOnlyDayNightAtZero) {
    Handle h = openText(kHead + kPanLeft3 +
                        "DAYNIGHT;1;0;0xFF,0x00,0x00,0x00,0x00,0x11,0x00\n"
                        "DAYNIGHT;0;0;0xFF,0x00,0x00,0x00,0x00,0x10,0x00\n"
                        "DAYNIGHTAUTO;0;0;0xFF,0x00,0x00,0x00,0x00,0x12,0x00\n");
    const unsigned char* out = PTZGetString(h.get(), "PANLEFT", 3, 0, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(PTZDayNight(h.get(), 34), 0);
    EXPECT_EQ(bytesOf(out, 7), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x10, 0x11}));
    EXPECT_EQ(PTZDayNight(h.get(), 36), 0);
    EXPECT_EQ(bytesOf(out, 7), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x12, 0x13}));
    EXPECT_EQ(PTZBLC(h.get(), 33), 0);
    EXPECT_EQ(bytesOf(out, 7), (Bytes{0xFF, 0x01, 0x00, 0x00, 0x00, 0x12, 0x13}));
}

TEST_F(CommandExports, NullHandleTouchesNothing) {
    int count = 3;
    EXPECT_EQ(PTZMove(nullptr, 2, 1, 0, &count), nullptr);
    EXPECT_EQ(count, 0);
    count = 3;
    EXPECT_EQ(PTZZoom(nullptr, 28, &count), nullptr);
    EXPECT_EQ(PTZFocus(nullptr, 17), nullptr);
    EXPECT_EQ(PTZIris(nullptr, 20), nullptr);
    EXPECT_EQ(PTZOSD(nullptr, 8), nullptr);
    EXPECT_EQ(PTZPreset(nullptr, 25, 1), 0);
    EXPECT_EQ(PTZDayNight(nullptr, 33), 0);
    EXPECT_EQ(PTZBLC(nullptr, 31), 0);
    EXPECT_EQ(PTZGetMousePTZ(nullptr), 0);
    EXPECT_EQ(PTZSetServerHandle(nullptr, 5), nullptr);
    EXPECT_EQ(PTZCloseInterface(nullptr), 1);
}

TEST_F(CommandExports, SeveralContextsKeepTheirOwnResults) {
    Handle one = openText(kHead + kPanLeft3, 1);
    Handle two = openFile(write("two.ptz", kHead + kPanLeft3), 2);
    const unsigned char* a = PTZGetString(one.get(), "PANLEFT", 3, 0, nullptr);
    const unsigned char* b = PTZGetString(two.get(), "PANLEFT", 3, 0, nullptr);
    EXPECT_EQ(bytesOf(a, 7), (Bytes{0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D}));
    EXPECT_EQ(bytesOf(b, 7), (Bytes{0xFF, 0x02, 0x00, 0x04, 0x18, 0x00, 0x1E}));
    EXPECT_EQ(PTZSetServerHandle(one.get(), 77), one.get());
}

} // namespace
