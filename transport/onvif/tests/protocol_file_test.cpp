// The shipped ONVIF protocol file, read by the PTZ library exactly as the
// stream client reads it, gives a record for every command the viewer sends.
#include "onvif/ptz_record.h"

#include <tiltra/ptz.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace onvif {
namespace {

class OnvifProtocolFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        PTZOpenRecord record{};
        record.addressId = 7; // any address: the file carries none
        record.outputMode = 2;
        std::strncpy(record.protocolFile, ONVIF_PROTOCOL_FILE, sizeof record.protocolFile - 1);
        handle = PTZOpenInterfaceWithFile(&record);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override { PTZCloseInterface(handle); }

    std::optional<PtzRecord> recordFor(const char* name, int param) {
        int count = 0;
        const unsigned char* bytes = PTZGetString(handle, name, param, 0, &count);
        if (bytes == nullptr) return std::nullopt;
        return decodePtzRecord(bytes, static_cast<std::size_t>(count));
    }

    PTZHandle handle = nullptr;
};

struct Direction {
    const char* name;
    int pan; // sign of the velocity
    int tilt;
};

TEST_F(OnvifProtocolFileTest, SpeedsOneToFiveAreVelocitiesPointTwoToOne) {
    const Direction directions[] = {{"PANLEFT", -1, 0},       {"PANRIGHT", 1, 0},      {"TILTUP", 0, 1},
                                    {"TILTDOWN", 0, -1},      {"MOVEUPLEFT", -1, 1},   {"MOVEUPRIGHT", 1, 1},
                                    {"MOVEDOWNLEFT", -1, -1}, {"MOVEDOWNRIGHT", 1, -1}};
    for (const Direction& d : directions) {
        for (int speed = 1; speed <= 5; ++speed) {
            SCOPED_TRACE(std::string(d.name) + " " + std::to_string(speed));
            const auto r = recordFor(d.name, speed);
            ASSERT_TRUE(r.has_value());
            EXPECT_EQ(r->operation, PtzOperation::Move);
            EXPECT_DOUBLE_EQ(r->pan, d.pan * 0.2 * speed);
            EXPECT_DOUBLE_EQ(r->tilt, d.tilt * 0.2 * speed);
            EXPECT_DOUBLE_EQ(r->zoom, 0.0);
        }
        // Speed 0 is a stop of the same axes, as the library's stop fallbacks expect.
        const auto stop = recordFor(d.name, 0);
        ASSERT_TRUE(stop.has_value());
        EXPECT_EQ(stop->operation, PtzOperation::Stop);
        EXPECT_TRUE(stop->stopPanTilt);
        EXPECT_FALSE(recordFor(d.name, 6).has_value());
    }
}

TEST_F(OnvifProtocolFileTest, StopsZoomAndPresets) {
    const auto panTiltStop = recordFor("PANTILTSTOP", 0);
    ASSERT_TRUE(panTiltStop.has_value());
    EXPECT_TRUE(panTiltStop->stopPanTilt);
    EXPECT_FALSE(panTiltStop->stopZoom);

    const auto zoomStop = recordFor("ZOOMSTOP", 0);
    ASSERT_TRUE(zoomStop.has_value());
    EXPECT_FALSE(zoomStop->stopPanTilt);
    EXPECT_TRUE(zoomStop->stopZoom);
    EXPECT_GT(recordFor("ZOOMIN", 1)->zoom, 0.0);
    EXPECT_LT(recordFor("ZOOMOUT", 1)->zoom, 0.0);

    for (int n = 1; n <= 8; ++n) {
        const auto set = recordFor("PRESETSET", n);
        const auto go = recordFor("PRESETGOTO", n);
        ASSERT_TRUE(set.has_value() && go.has_value()) << n;
        EXPECT_EQ(set->operation, PtzOperation::SetPreset);
        EXPECT_EQ(go->operation, PtzOperation::GotoPreset);
        EXPECT_EQ(set->preset, n);
        EXPECT_EQ(go->preset, n);
    }
    EXPECT_FALSE(recordFor("PRESETGOTO", 9).has_value());
    EXPECT_FALSE(recordFor("OSDON", 0).has_value()); // no on-screen menu over ONVIF
}

} // namespace
} // namespace onvif
