// The interface object's life: open, configure, connect, disconnect, close.
#include "ostrel_fixture.h"

namespace {

using namespace ostrel_test;

class LifecycleTest : public StreamClientTest {};

TEST(NullHandleTest, EveryExportIgnoresANullHandle) {
    MediaConfig c = loopbackConfig();
    RenderInfo info{};
    PTZEnableInfo ptz{};
    char holder[16] = "untouched";
    M_KCloseInterface(nullptr);
    M_KSetStreamingType(nullptr, 1);
    EXPECT_EQ(M_KSetMediaConfig(nullptr, &c), 0);
    M_KSetRenderInfo(nullptr, &info);
    M_KSetNetworkLossCallback(nullptr, nullptr, countSimple);
    M_KSetAfterRenderCallback(nullptr, nullptr, countSimple);
    M_KSetMotionDetectionCallback(nullptr, nullptr, countMotion, 1);
    M_KSetDICallback(nullptr, nullptr, countDi);
    M_KSetMute(nullptr, 1);
    M_KSetTextout(nullptr, 1, 0, 0, "x");
    EXPECT_EQ(M_KEnablePTZProtocol(nullptr, 1, &ptz), 0);
    EXPECT_EQ(M_KConnect(nullptr), 0);
    M_KDisconnect(nullptr);
    EXPECT_EQ(M_KPTZ_UP(nullptr, 1), 0);
    EXPECT_EQ(M_KPTZ_STOP(nullptr, 0), 0);
    EXPECT_EQ(M_KPTZ_OSD_RIGHTT(nullptr), 0);
    EXPECT_EQ(M_KPTZ_GOTO_PRESET(nullptr, 1), 0);
    EXPECT_EQ(M_KQuadSetDisplayMode(nullptr, 2), 0);
    M_KSendDO(nullptr, 1);
    EXPECT_EQ(M_KSendRS232Setting(nullptr, 1, 2), 0);
    EXPECT_EQ(M_KGetAudioToken(nullptr, holder), 0);
    EXPECT_STREQ(holder, "untouched");
    M_KFreeAudioToken(nullptr);
    EXPECT_EQ(M_KStartAudioTransfer(nullptr), 0);
    M_KStopAudioTransfer(nullptr);
}

TEST_F(LifecycleTest, NewObjectStartsClearedWithStreamingTypeTwo) {
    EXPECT_EQ(handle->streamingType, 2);
    EXPECT_EQ(handle->transportInstance, nullptr);
    EXPECT_FALSE(handle->transportModule.isLoaded());
    EXPECT_EQ(handle->renderInfo.window, 0u);
    EXPECT_EQ(handle->connected.load(), 0);
    EXPECT_NE(handle->audioSender, nullptr);
}

TEST_F(LifecycleTest, ConnectionTypeZeroOrFourLoadsNothing) {
    for (int32_t type : {0, 4}) {
        MediaConfig c = loopbackConfig(type);
        EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0);
        EXPECT_FALSE(handle->transportModule.isLoaded());
        // The copy is kept even so.
        EXPECT_EQ(handle->mediaConfig.connectionType, type);
        EXPECT_STREQ(handle->mediaConfig.password, "secret");
    }
    EXPECT_EQ(transport.calls(), "");
}

TEST_F(LifecycleTest, StreamingTypeOutsideOneToThreeFails) {
    M_KSetStreamingType(handle, 4);
    MediaConfig c = loopbackConfig();
    EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0);
    EXPECT_EQ(transport.calls(), "");
}

TEST_F(LifecycleTest, MissingPluginFails) {
    seams().transportNames[2] = "NoSuchTransport-M";
    M_KSetStreamingType(handle, 3);
    MediaConfig c = loopbackConfig();
    EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0);
    EXPECT_EQ(handle->transportInstance, nullptr);
}

TEST_F(LifecycleTest, PluginGetsTheObjectsOwnCopyOfTheSettings) {
    configure();
    MediaConfig seen{};
    transport.lastConfig(&seen);
    EXPECT_STREQ(seen.cameraAddress, "127.0.0.1");
    EXPECT_STREQ(seen.userName, "admin");
    EXPECT_EQ(transport.calls(), "Init,SetMediaConfig");
}

TEST_F(LifecycleTest, SecondMediaConfigTearsTheFirstInstanceDown) {
    configure();
    MediaConfig c = loopbackConfig();
    ASSERT_EQ(M_KSetMediaConfig(handle, &c), 1);
    EXPECT_EQ(transport.calls(), "Init,SetMediaConfig,StopStreaming,Disconnect,Exit,Init,SetMediaConfig");
    EXPECT_EQ(transport.liveInstances(), 1);
}

TEST_F(LifecycleTest, RenderInfoNullKeepsThePreviousRecord) {
    RenderInfo info{7, 42, 1, 2, 3, 4};
    M_KSetRenderInfo(handle, &info);
    M_KSetRenderInfo(handle, nullptr);
    EXPECT_EQ(std::memcmp(&handle->renderInfo, &info, sizeof info), 0);
}

TEST_F(LifecycleTest, ConnectWithoutTransportWaitsAndFailsWithoutCallingIt) {
    EXPECT_EQ(connectExpectingFailure(), 0);
    EXPECT_EQ(transport.calls(), "");
    EXPECT_EQ(handle->connected.load(), 0);
}

TEST_F(LifecycleTest, RefusedConnectFailsAfterTheWait) {
    configure();
    transport.setResults(0, 1);
    EXPECT_EQ(connectExpectingFailure(), 0);
    EXPECT_EQ(transport.calls().find("StartStreaming"), std::string::npos);
    EXPECT_FALSE(handle->renderThread.joinable());
}

TEST_F(LifecycleTest, RefusedStreamFailsAfterTheWait) {
    configure();
    transport.setResults(1, 0);
    EXPECT_EQ(connectExpectingFailure(), 0);
    EXPECT_NE(transport.calls().find("StartStreaming"), std::string::npos);
}

TEST_F(LifecycleTest, ConnectStartsThreeThreadsAndASecondConnectFails) {
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    EXPECT_TRUE(handle->receiveThread.joinable());
    EXPECT_TRUE(handle->renderThread.joinable());
    EXPECT_TRUE(handle->eventThread.joinable());
    EXPECT_EQ(M_KConnect(handle), 0);
    M_KDisconnect(handle);
    EXPECT_EQ(M_KConnect(handle), 0); // an object connects once
}

TEST_F(LifecycleTest, DisconnectStopsTheTransportAndJoinsWithoutNetworkLoss) {
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    M_KDisconnect(handle);
    EXPECT_FALSE(handle->receiveThread.joinable());
    EXPECT_FALSE(handle->renderThread.joinable());
    EXPECT_FALSE(handle->eventThread.joinable());
    EXPECT_EQ(networkLoss.value(), 0);
    EXPECT_EQ(transport.calls(), "Init,SetMediaConfig,Connect,ConnectDone,StartStreaming,Disconnect,StopStreaming");
}

TEST_F(LifecycleTest, CloseUnbindsTransportAndDecoder) {
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    M_KDisconnect(handle);
    EXPECT_EQ(decoder.inits(), 1);
    EXPECT_EQ(decoder.exits(), 1); // the receive thread unbinds it at its end
    M_KCloseInterface(handle);
    handle = nullptr;
    const std::string calls = transport.calls();
    EXPECT_EQ(calls.substr(calls.size() - std::string("StopStreaming,Disconnect,Exit").size()),
              "StopStreaming,Disconnect,Exit");
    EXPECT_EQ(transport.liveInstances(), 0);
}

TEST_F(LifecycleTest, CloseWithoutDisconnectStillStopsTheThreads) {
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    M_KCloseInterface(handle);
    handle = nullptr;
    EXPECT_EQ(transport.liveInstances(), 0);
}

// A receive thread still inside the transport's connect when the wait ran out
// must neither stream without the other threads nor outlive the object.
TEST_F(LifecycleTest, LateConnectTearsItselfDownInsteadOfStreaming) {
    configure();
    transport.holdConnect(1);
    EXPECT_EQ(connectExpectingFailure(), 0);
    transport.holdConnect(0);
    ASSERT_TRUE(transport.waitCall("StopStreaming", 1, 10000));
    M_KCloseInterface(handle);
    handle = nullptr;
    const std::string calls = transport.calls();
    EXPECT_NE(calls.find("ConnectDone,StartStreaming,Disconnect,StopStreaming"), std::string::npos) << calls;
    EXPECT_EQ(networkLoss.value(), 0);
    EXPECT_EQ(rendered.value(), 0);
}

TEST_F(LifecycleTest, CloseWaitsForALateReceiveThread) {
    configure();
    transport.holdConnect(1);
    EXPECT_EQ(connectExpectingFailure(), 0);
    std::thread closer([this] { M_KCloseInterface(handle); });
    // The close cannot finish while the transport still connects.
    EXPECT_EQ(transport.liveInstances(), 1);
    transport.holdConnect(0);
    closer.join();
    handle = nullptr;
    EXPECT_EQ(transport.liveInstances(), 0);
    const std::string calls = transport.calls();
    EXPECT_LT(calls.find("ConnectDone"), calls.rfind("Exit"));
}

TEST_F(LifecycleTest, ConnectAfterAFailedConnectTriesAgain) {
    configure();
    transport.setResults(0, 1);
    EXPECT_EQ(connectExpectingFailure(), 0);
    transport.setResults(1, 1);
    EXPECT_EQ(M_KConnect(handle), 1);
}

TEST_F(LifecycleTest, TextOfAHundredTwentyEightCharactersSwitchesTheOverlayOff) {
    const std::string fits(127, 'a');
    M_KSetTextout(handle, 1, 3, 4, fits.c_str());
    EXPECT_EQ(handle->overlayOn.load(), 1);
    EXPECT_EQ(handle->overlayLength, 127);
    const std::string tooLong(128, 'b');
    M_KSetTextout(handle, 1, 5, 6, tooLong.c_str());
    EXPECT_EQ(handle->overlayOn.load(), 0);
    EXPECT_EQ(handle->overlayX, 3); // nothing of the refused text is stored
}

TEST_F(LifecycleTest, TextIsWidenedByteForByte) {
    M_KSetTextout(handle, 1, 0, 0, "Cam\xE9");
    EXPECT_EQ(handle->overlayText[3], u'\u00E9');
    EXPECT_EQ(handle->overlayText[4], u'\0');
    M_KSetTextout(handle, 0, 0, 0, "off");
    EXPECT_EQ(handle->overlayOn.load(), 0);
}

} // namespace

namespace {

using namespace ostrel_test;

// A caller that tears the stream down from inside its own callback.
struct TeardownFromCallback {
    OstrelInterface* handle = nullptr;
    CallCounter returned;
};

void disconnectAndCloseFromCallback(void* user) {
    auto* t = static_cast<TeardownFromCallback*>(user);
    M_KDisconnect(t->handle);
    M_KCloseInterface(t->handle);
    t->returned.hit();
}

TEST_F(LifecycleTest, TeardownFromInsideACallbackIsIgnoredAndTheCallerCanStillDisconnect) {
    TeardownFromCallback teardown;
    teardown.handle = handle;
    M_KSetNetworkLossCallback(handle, &teardown, disconnectAndCloseFromCallback);
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.drop();
    // The receive thread cannot wait for itself: the calls return at once and
    // the object stays alive for its owner.
    ASSERT_TRUE(teardown.returned.waitFor(1));
    M_KDisconnect(handle);
    EXPECT_FALSE(handle->receiveThread.joinable());
    EXPECT_FALSE(handle->renderThread.joinable());
    EXPECT_FALSE(handle->eventThread.joinable());
}

} // namespace
