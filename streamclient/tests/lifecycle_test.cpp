// The interface object's life: open, configure, connect, disconnect, close.
#include <future>

#include "client_settings.h"
#include "ostrel_fixture.h"
#include "platform/tcp_socket.h"

namespace {

using namespace ostrel::test;

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

TEST_F(LifecycleTest, NewObjectUsesStreamingTypeTwo) {
    seams.transportNames = {"NoSuchTransport-M", "FakeTransport-M", "NoSuchTransport-M"};
    reopen();
    MediaConfig c = loopbackConfig();
    EXPECT_EQ(M_KSetMediaConfig(handle, &c), 1);
}

TEST_F(LifecycleTest, NewObjectHasNoTransportAndNoAudioToken) {
    EXPECT_EQ(M_KSendRS232Setting(handle, 1, 2), 0);
    M_KSendDO(handle, 1);
    EXPECT_EQ(M_KStartAudioTransfer(handle), 0);
    EXPECT_EQ(transport.calls(), "");
}

TEST_F(LifecycleTest, NewObjectDrawsIntoNoWindow) {
    M_KSetStreamingType(handle, 2);
    MediaConfig c = loopbackConfig();
    ASSERT_EQ(M_KSetMediaConfig(handle, &c), 1);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, intraData(64, 48, 10, 20, 30)));
    ASSERT_TRUE(transport.waitDrained(10000));
    M_KDisconnect(handle);
    EXPECT_EQ(surface->drawCount(), 0);
}

TEST_F(LifecycleTest, ConnectionTypeZeroOrFourLoadsNothing) {
    for (int32_t type : {0, 4}) {
        MediaConfig c = loopbackConfig(type);
        EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0);
        EXPECT_EQ(M_KSendRS232Setting(handle, 1, 2), 0);
    }
    EXPECT_EQ(transport.calls(), "");
}

// The refused settings are kept even so: requests that need no transport use
// them.
TEST_F(LifecycleTest, RefusedConnectionTypeStillKeepsTheSettings) {
    platform::TcpListener web;
    ASSERT_TRUE(web.listen("127.0.0.1", 0));
    MediaConfig c = loopbackConfig(0);
    c.httpPort = web.port();
    EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0);
    auto sent = std::async(std::launch::async, [this] { return M_KQuadSetDisplayMode(handle, 3); });
    platform::TcpSocket request = web.accept(5000);
    ASSERT_TRUE(request.isOpen());
    char line[256] = {};
    ASSERT_TRUE(request.waitReadable(5000));
    const auto got = request.receiveSome(line, sizeof line - 1);
    request.close();
    EXPECT_EQ(sent.get(), 1);
    ASSERT_GT(got.bytes, 0u);
    const std::string text(line);
    EXPECT_NE(text.find("USER=admin&PWD=secret&DISPLAY=3"), std::string::npos) << text;
}

TEST_F(LifecycleTest, StreamingTypeOutsideOneToFiveFails) {
    for (int32_t type : {0, 6}) {
        M_KSetStreamingType(handle, type);
        MediaConfig c = loopbackConfig();
        EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0) << type;
        EXPECT_EQ(transport.calls(), "") << type;
    }
}

TEST_F(LifecycleTest, MissingPluginFails) {
    seams.transportNames[2] = "NoSuchTransport-M";
    reopen();
    M_KSetStreamingType(handle, 3);
    MediaConfig c = loopbackConfig();
    EXPECT_EQ(M_KSetMediaConfig(handle, &c), 0);
    EXPECT_EQ(M_KSendRS232Setting(handle, 1, 2), 0);
    EXPECT_EQ(transport.liveInstances(), 0);
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
    configure();
    RenderInfo info{7, window, 1, 2, 3, 4};
    M_KSetRenderInfo(handle, &info);
    M_KSetRenderInfo(handle, nullptr);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, intraData(64, 48, 10, 20, 30)));
    ASSERT_TRUE(rendered.waitFor(1));
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.dest.top, 1);
    EXPECT_EQ(snap.dest.left, 2);
    EXPECT_EQ(snap.dest.width, 3);
    EXPECT_EQ(snap.dest.height, 4);
}

TEST_F(LifecycleTest, ConnectWithoutTransportWaitsAndFailsWithoutCallingIt) {
    EXPECT_EQ(connectExpectingFailure(), 0);
    EXPECT_EQ(transport.calls(), "");
    // It never connected, so it may still.
    configure();
    EXPECT_EQ(M_KConnect(handle), 1);
}

TEST_F(LifecycleTest, RefusedConnectFailsAfterTheWait) {
    configure();
    transport.setResults(0, 1);
    EXPECT_EQ(connectGivingUpAfter("Connect"), 0);
    // No render thread is left waiting for pictures.
    EXPECT_EQ(clock.waiterCount(), 0);
    EXPECT_EQ(rendered.value(), 0);
    // Once the receive thread is gone, it has never tried to stream.
    M_KDisconnect(handle);
    EXPECT_EQ(transport.calls().find("StartStreaming"), std::string::npos);
}

TEST_F(LifecycleTest, RefusedStreamFailsAfterTheWait) {
    configure();
    transport.setResults(1, 0);
    EXPECT_EQ(connectGivingUpAfter("StartStreaming"), 0);
}

TEST_F(LifecycleTest, ConnectStartsThreeThreadsAndASecondConnectFails) {
    configure();
    CallCounter motion;
    M_KSetMotionDetectionCallback(handle, &motion, countMotion, 1);
    ASSERT_EQ(M_KConnect(handle), 1);
    // Receiving, drawing and events all run.
    transport.push(frameRecord(1, intraData(64, 48, 10, 20, 30)));
    ASSERT_TRUE(rendered.waitFor(1));
    transport.push(frameRecord(1, predictedData(1, 2, 3), 0x01));
    EXPECT_TRUE(motion.waitFor(1));
    EXPECT_EQ(M_KConnect(handle), 0);
    M_KDisconnect(handle);
    EXPECT_EQ(M_KConnect(handle), 0); // an object connects once
}

TEST_F(LifecycleTest, DisconnectStopsTheTransportAndJoinsWithoutNetworkLoss) {
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    ASSERT_TRUE(clock.awaitWaiters(1)); // the render thread waits for a picture
    M_KDisconnect(handle);
    EXPECT_EQ(clock.waiterCount(), 0);
    EXPECT_EQ(networkLoss.value(), 0);
    EXPECT_EQ(transport.calls(), "Init,SetMediaConfig,Connect,ConnectDone,StartStreaming,Disconnect,StopStreaming");
}

// A plug-in that subscribes to events does so only for a stream whose user
// set an event callback before connecting.
TEST_F(LifecycleTest, TransportIsToldWhetherEventsAreShown) {
    struct Case {
        bool motion;
        bool inputs;
        int32_t wanted;
    };
    for (const Case c : {Case{false, false, 0}, Case{true, false, 1}, Case{false, true, 1}}) {
        reopen();
        configure();
        CallCounter counter;
        if (c.motion) M_KSetMotionDetectionCallback(handle, &counter, countMotion, 0);
        if (c.inputs) M_KSetDICallback(handle, &counter, countDi);
        ASSERT_EQ(M_KConnect(handle), 1);
        EXPECT_EQ(transport.eventsWanted(), c.wanted) << c.motion << c.inputs;
        M_KDisconnect(handle);
    }
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
    EXPECT_EQ(connectGivingUpAfter("Connect"), 0);
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
    EXPECT_EQ(connectGivingUpAfter("Connect"), 0);
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
    EXPECT_EQ(connectGivingUpAfter("Connect"), 0);
    transport.setResults(1, 1);
    EXPECT_EQ(M_KConnect(handle), 1);
}

TEST(ClientSettingsTest, TextOfAHundredTwentyEightCharactersSwitchesTheOverlayOff) {
    ostrel::ClientSettings settings;
    std::u16string text;
    platform::SurfaceRect box;
    const std::string fits(127, 'a');
    settings.setOverlay(true, 3, 4, fits.c_str());
    ASSERT_TRUE(settings.takeOverlay(text, box));
    EXPECT_EQ(text, std::u16string(127, u'a'));
    EXPECT_EQ(box.width, 14 * 127);
    const std::string tooLong(128, 'b');
    settings.setOverlay(true, 5, 6, tooLong.c_str());
    EXPECT_FALSE(settings.takeOverlay(text, box));
    // Nothing of the refused text is stored: enabling again shows the old one.
    settings.setOverlay(true, 3, 4, nullptr);
    EXPECT_FALSE(settings.takeOverlay(text, box));
}

TEST(ClientSettingsTest, TextIsWidenedByteForByte) {
    ostrel::ClientSettings settings;
    std::u16string text;
    platform::SurfaceRect box;
    settings.setOverlay(true, 7, 8, "Cam\xE9");
    ASSERT_TRUE(settings.takeOverlay(text, box));
    EXPECT_EQ(text, u"Cam\u00E9");
    EXPECT_EQ(box.left, 7);
    EXPECT_EQ(box.top, 8);
    settings.setOverlay(false, 0, 0, "off");
    EXPECT_FALSE(settings.takeOverlay(text, box));
}

} // namespace

namespace {

using namespace ostrel::test;

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
    EXPECT_EQ(clock.waiterCount(), 0);
    EXPECT_EQ(networkLoss.value(), 0); // replaced by the tearing-down callback
    const std::string calls = transport.calls();
    EXPECT_EQ(calls.substr(calls.size() - std::string("Disconnect,StopStreaming").size()), "Disconnect,StopStreaming");
}

} // namespace
