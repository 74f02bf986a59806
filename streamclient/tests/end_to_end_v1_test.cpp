// Protocol version 1 end to end: camsim -> Fenwa10-M -> Ostrel-M -> decoder
// plug-in -> test surface.
#include "camsim/v1_camera.h"
#include "end_to_end_fixture.h"

namespace {

using namespace ostrel::test;

class Protocol1EndToEndTest : public EndToEndTest<camsim::V1Camera> {
protected:
    MediaConfig config(int32_t connectionType = 2) const {
        MediaConfig c = loopbackConfig(connectionType);
        std::strcpy(c.password, "admin");
        c.registerPort = camera->loginPort();
        c.controlPort = camera->controlPort();
        c.streamingPort = camera->mediaPort();
        c.connectTimeoutSeconds = 2;
        return c;
    }
    void connect(int resolutionCode = 1) {
        ASSERT_TRUE(startCamera(loopbackCamera(resolutionCode)));
        ASSERT_EQ(open(1, config()), 1);
    }
};

TEST_F(Protocol1EndToEndTest, PicturesArriveWithTheStreamSizeAndPatternColours) {
    connect(1);
    ASSERT_TRUE(rendered.waitFor(5));
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.width, 352);
    EXPECT_EQ(snap.height, 240);
    EXPECT_EQ(snap.dest.width, 320);
    expectPatternQuadrants(snap);
}

TEST_F(Protocol1EndToEndTest, PalPictureSize) {
    connect(4);
    ASSERT_TRUE(rendered.waitFor(2));
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.width, 352);
    EXPECT_EQ(snap.height, 288);
    expectPatternQuadrants(snap);
}

TEST_F(Protocol1EndToEndTest, DigitalInputCallbackFollowsTheCamera) {
    connect();
    ASSERT_TRUE(rendered.waitFor(1));
    // Input 1 active: the plug-in turns the notice into header byte 2.
    ASSERT_TRUE(waitUntil([&] {
        camera->sendDigitalInput(1);
        return inputs.waitFor(1, 50);
    }));
    EXPECT_EQ(inputs.args()[0], (std::vector<int32_t>{1, 0}));
}

TEST_F(Protocol1EndToEndTest, MotionCallbackFollowsTheCamera) {
    connect();
    ASSERT_TRUE(rendered.waitFor(1));
    ASSERT_TRUE(waitUntil([&] {
        camera->sendMotion(0x04); // bit 2: region 2 of three
        return motion.waitFor(1, 50);
    }));
    EXPECT_EQ(motion.args()[0], (std::vector<int32_t>{0, 1, 0, 0}));
}

TEST_F(Protocol1EndToEndTest, DroppedConnectionCallsNetworkLossOnce) {
    connect();
    ASSERT_TRUE(rendered.waitFor(1));
    camera->stop();
    ASSERT_TRUE(networkLoss.waitFor(1));
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 1);
}

TEST_F(Protocol1EndToEndTest, DisconnectDoesNotCallNetworkLoss) {
    connect();
    ASSERT_TRUE(rendered.waitFor(2));
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 0);
    EXPECT_EQ(M_KConnect(handle), 0); // a second connect on the same object
}

TEST_F(Protocol1EndToEndTest, StalledCameraEndsTheStreamAfterThreeSeconds) {
    connect();
    ASSERT_TRUE(rendered.waitFor(1));
    camera->faults().stallMedia.store(true);
    ASSERT_TRUE(advanceUntilNetworkLoss());
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 1);
}

TEST_F(Protocol1EndToEndTest, SecondMediaConfigReplacesTheInstanceAndStillConnects) {
    ASSERT_TRUE(startCamera(loopbackCamera(1)));
    M_KSetStreamingType(handle, 1);
    MediaConfig first = config();
    ASSERT_EQ(M_KSetMediaConfig(handle, &first), 1);
    ASSERT_EQ(open(1, config()), 1); // sets the configuration again, then connects
    ASSERT_TRUE(rendered.waitFor(2));
    expectPatternQuadrants(surface->snapshot());
}

TEST_F(Protocol1EndToEndTest, ConnectionTypeZeroOrFourLoadsNothing) {
    ASSERT_TRUE(startCamera(loopbackCamera(1)));
    M_KSetStreamingType(handle, 1);
    for (int32_t type : {0, 4}) {
        MediaConfig c = config(type);
        EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0);
        EXPECT_EQ(M_KSendRS232Setting(handle, 1, 2), 0);
    }
}

TEST_F(Protocol1EndToEndTest, RefusedLoginFailsTheConnect) {
    camsim::CameraOptions o = loopbackCamera(1);
    ASSERT_TRUE(startCamera(o));
    camera->faults().refuseLogin.store(true);
    EXPECT_EQ(openWhileAdvancing(1, config()), 0);
    EXPECT_EQ(rendered.value(), 0);
}

// M_KConnect gives up on a camera that trickles its answers; the disconnect
// then wakes the receive thread instead of waiting out the transport's
// time-outs.
TEST_F(Protocol1EndToEndTest, DisconnectAfterAConnectThatGaveUpOnATricklingCameraIsQuick) {
    ASSERT_TRUE(startCamera(loopbackCamera(1)));
    camera->faults().link.trickleMs = 200;
    EXPECT_EQ(openWhileAdvancing(1, config()), 0);
    const auto start = std::chrono::steady_clock::now();
    M_KDisconnect(handle);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(took, 3.0);
    RecordProperty("disconnect_ms", static_cast<int>(took * 1000 + 0.5));
    EXPECT_EQ(networkLoss.value(), 0);
}

} // namespace
