// The client against the simulated ONVIF camera on 127.0.0.1: the SOAP side
// of a connection (the stream addresses lead nowhere here) and discovery.
#include "onvif/camera_session.h"
#include "onvif/discovery.h"

#include <camsim/camera_head.h>
#include <camsim/onvif_camera.h>
#include <camsim/onvif_stream_source.h>
#include <platform/clock.h>
#include <platform/network_guard.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

namespace onvif {
namespace {

using SteadyClock = std::chrono::steady_clock;

const uint8_t kPanRight[] = {'O', 'V', 1, 100, 0, 0, 0};
const uint8_t kPanLeftSlow[] = {'O', 'V', 1, 0xEC, 0, 0, 0};
const uint8_t kStop[] = {'O', 'V', 2, 1, 0, 0, 0};
const uint8_t kSetPreset1[] = {'O', 'V', 3, 0, 0, 0, 1};
const uint8_t kGotoPreset1[] = {'O', 'V', 4, 0, 0, 0, 1};

template <typename Condition>
bool eventually(Condition condition, int timeoutMs = 5000) {
    const auto end = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (SteadyClock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class SimulatedOnvifCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::enableLoopbackOnly();
        camsim::OnvifOptions options;
        options.clock = &clock;
        options.maxPullWaitMs = 200;
        head = std::make_shared<camsim::CameraHead>(1, &clock);
        camera = std::make_unique<camsim::OnvifCamera>(options, head, streams);
        ASSERT_TRUE(camera->start());
    }

    // Pulls closer together than a product's, so that events arrive soon.
    static EventPumpTiming quickPulls() {
        EventPumpTiming timing;
        timing.minPullSpacingMs = 100;
        return timing;
    }

    std::unique_ptr<CameraSession> session(int callTimeoutMs = 2000, EventPumpTiming timing = quickPulls()) {
        SessionSettings s;
        s.device = DeviceSettings{"127.0.0.1", camera->port(), "admin", "admin", callTimeoutMs};
        return std::make_unique<CameraSession>(makeHttpSoapTransport(), s, timing);
    }

    // A session whose events run (subscribed) with this timing.
    std::unique_ptr<CameraSession> watching(EventPumpTiming timing = quickPulls()) {
        auto s = session(2000, timing);
        EXPECT_TRUE(s->open().has_value()) << s->lastError();
        s->startEvents();
        EXPECT_TRUE(s->waitSubscribed(5000)) << s->lastError();
        return s;
    }

    int requests(const std::string& operation) const {
        int n = 0;
        for (const auto& r : camera->requestLog()) n += r.operation == operation ? 1 : 0;
        return n;
    }

    // Input 2 of the head turns on and reaches the frame header.
    bool inputReachesTheHeader(CameraSession& s) {
        head->pulseInputs(2, 60000);
        uint8_t header[44] = {};
        return eventually([&] {
            s.stampHeader(header);
            return header[19] == 0x01;
        });
    }

    int32_t send(CameraSession& s, const uint8_t (&record)[7]) { return s.sendCommand(11, record, 7); }

    std::vector<std::string> ptzOperations() const {
        std::vector<std::string> out;
        for (const auto& r : camera->requestLog()) {
            if (r.service == "ptz" && (r.operation == "ContinuousMove" || r.operation == "Stop")) {
                out.push_back(r.operation);
            }
        }
        return out;
    }

    platform::ManualClock clock;
    std::shared_ptr<camsim::CameraHead> head;
    std::shared_ptr<camsim::PlaceholderStreamSource> streams = std::make_shared<camsim::PlaceholderStreamSource>();
    std::unique_ptr<camsim::OnvifCamera> camera;
};

TEST_F(SimulatedOnvifCameraTest, ConnectTakesTheSmallestStreamAndAsksForAKeyFrame) {
    auto s = session();
    const auto uri = s->open();
    ASSERT_TRUE(uri.has_value()) << s->lastError();
    EXPECT_EQ(uri->rfind("rtsp://127.0.0.1:", 0), 0u) << *uri;
    EXPECT_EQ(s->profile()->token, "profile_sub");
    EXPECT_TRUE(s->synchronize());
    EXPECT_EQ(streams->keyFramesRequested(), 1);
}

TEST_F(SimulatedOnvifCameraTest, PanThenStopMovesTheHeadAndThePresetBringsItBack) {
    auto s = session();
    ASSERT_TRUE(s->open().has_value()) << s->lastError();
    const camsim::ViewWindow start = head->window();
    ASSERT_EQ(send(*s, kSetPreset1), 1);
    ASSERT_EQ(send(*s, kPanRight), 1);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(5000));
    clock.advanceMs(500);
    ASSERT_EQ(send(*s, kStop), 1);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(5000));
    const double moved = head->window().x;
    EXPECT_GT(moved, start.x);
    clock.advanceMs(500);
    EXPECT_EQ(head->window().x, moved); // stopped

    ASSERT_EQ(send(*s, kGotoPreset1), 1);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(5000));
    EXPECT_EQ(head->window(), start);
    EXPECT_EQ(camera->presetNames().at(0), "Tavolin 1");

    // A new connection finds the preset by its name.
    auto again = session();
    ASSERT_TRUE(again->open().has_value());
    ASSERT_EQ(send(*again, kPanRight), 1);
    ASSERT_TRUE(again->ptzWorker()->waitIdle(5000));
    clock.advanceMs(500);
    send(*again, kStop);
    send(*again, kGotoPreset1);
    ASSERT_TRUE(again->ptzWorker()->waitIdle(5000));
    EXPECT_EQ(head->window(), start);
}

TEST_F(SimulatedOnvifCameraTest, OutputFollowsTheDigitalOutputCommand) {
    auto s = session();
    ASSERT_TRUE(s->open().has_value());
    const uint8_t on = 1, off = 0;
    ASSERT_EQ(s->sendCommand(13, &on, 1), 1);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(5000));
    EXPECT_TRUE(head->state().lamp);
    ASSERT_EQ(s->sendCommand(13, &off, 1), 1);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(5000));
    EXPECT_FALSE(head->state().lamp);
}

TEST_F(SimulatedOnvifCameraTest, InputAndMotionEventsReachTheFrameHeader) {
    auto s = session();
    ASSERT_TRUE(s->open().has_value());
    s->startEvents();
    uint8_t header[44] = {};
    head->pulseInputs(2, 60000);
    EXPECT_TRUE(eventually([&] {
        s->stampHeader(header);
        return header[19] == 0x01; // input 2 active, active low
    })) << int(header[19]);
    // The moving object crosses a motion region as the camera's clock runs.
    EXPECT_TRUE(eventually([&] {
        clock.advanceMs(100);
        s->stampHeader(header);
        return header[18] != 0;
    }));
}

TEST_F(SimulatedOnvifCameraTest, SessionCallsShareOneKeptConnection) {
    auto s = session();
    ASSERT_TRUE(s->open().has_value()) << s->lastError();
    ASSERT_TRUE(s->synchronize());
    const uint8_t on = 1;
    ASSERT_EQ(s->sendCommand(13, &on, 1), 1);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(5000));
    EXPECT_GE(camera->requestLog().size(), 7u);
    EXPECT_EQ(camera->connectionCount(), 1);
}

// Answered at once, pulls still come no closer than the spacing.
TEST_F(SimulatedOnvifCameraTest, CameraThatAnswersPullsAtOnceIsPulledAtThePumpsPace) {
    camera->setFault(camsim::OnvifFault::PullAtOnce);
    EventPumpTiming timing = quickPulls();
    timing.minPullSpacingMs = 200;
    auto s = watching(timing);
    const auto start = SteadyClock::now();
    const int64_t before = camera->pullCount();
    ASSERT_TRUE(eventually([&] { return camera->pullCount() >= before + 5; }));
    EXPECT_GE(SteadyClock::now() - start, std::chrono::milliseconds(4 * 200 - 50));
}

TEST_F(SimulatedOnvifCameraTest, PullPointThatExpiresIsRenewedInTime) {
    camsim::OnvifFaultSettings settings;
    settings.pullPointSeconds = 2;
    camera->setFault(camsim::OnvifFault::ExpiringPullPoints, settings);
    auto s = watching();
    ASSERT_TRUE(eventually([&] { return requests("Renew") >= 1; }));
    EXPECT_EQ(requests("CreatePullPointSubscription"), 1);
    EXPECT_EQ(camera->livePullPoints(), 1);
    EXPECT_TRUE(inputReachesTheHeader(*s));
}

TEST_F(SimulatedOnvifCameraTest, EventsComeBackAfterTheCameraRestarted) {
    camsim::OnvifFaultSettings settings;
    settings.rebootDownMs = 300;
    camera->setFault(camsim::OnvifFault::None, settings);
    EventPumpTiming timing = quickPulls();
    timing.firstRetryMs = 50;
    auto s = watching(timing);
    camera->reboot();
    ASSERT_TRUE(eventually([&] { return camera->reboots() == 1 && camera->livePullPoints() == 1; }));
    EXPECT_TRUE(inputReachesTheHeader(*s));
}

// The flood's tokens take neither input: the camera numbers its own.
TEST_F(SimulatedOnvifCameraTest, FloodOfInputTokensLeavesTheInputsTrue) {
    camera->setFault(camsim::OnvifFault::TokenFlood);
    auto s = watching();
    EXPECT_TRUE(inputReachesTheHeader(*s));
}

// Every session gives its pull point back: the camera's two always suffice.
TEST_F(SimulatedOnvifCameraTest, SessionsInARowLeaveNoPullPointBehind) {
    camera->setFault(camsim::OnvifFault::TwoPullPoints);
    for (int i = 0; i < 20; ++i) watching()->close();
    EXPECT_EQ(camera->livePullPoints(), 0);
    EXPECT_EQ(requests("Unsubscribe"), 20);
}

TEST_F(SimulatedOnvifCameraTest, WrongPasswordIsToldAsSuch) {
    SessionSettings settings;
    settings.device = DeviceSettings{"127.0.0.1", camera->port(), "admin", "wrong", 2000};
    CameraSession bad(makeHttpSoapTransport(), settings);
    EXPECT_FALSE(bad.open().has_value());
    EXPECT_NE(bad.lastError().find("refused the user name or password"), std::string::npos) << bad.lastError();
}

// A slow camera: moves given while it answers merge, and the stop comes last.
TEST_F(SimulatedOnvifCameraTest, MovesAndStopKeepTheirOrderOnASlowCamera) {
    auto s = session();
    ASSERT_TRUE(s->open().has_value());
    camera->clearRequestLog();
    camera->setAnswerDelayMs(300);
    ASSERT_EQ(send(*s, kPanRight), 1);
    ASSERT_TRUE(eventually([&] { return !ptzOperations().empty(); })); // the camera holds it now
    for (int i = 0; i < 4; ++i) ASSERT_EQ(send(*s, i % 2 == 0 ? kPanLeftSlow : kPanRight), 1);
    ASSERT_EQ(send(*s, kStop), 1);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(10000));
    EXPECT_EQ(ptzOperations(), (std::vector<std::string>{"ContinuousMove", "ContinuousMove", "Stop"}));
}

// The client's directed probe finds the simulated camera and the one beside
// it; behind NAT the camera names its inner address, which discovery lists
// as given.
TEST_F(SimulatedOnvifCameraTest, DirectedProbeFindsTheCameras) {
    camsim::OnvifOptions o;
    o.name = "Gate 2";
    camsim::OnvifCamera neighbour(o);
    ASSERT_TRUE(neighbour.start());
    ASSERT_TRUE(camera->startDiscovery(0, {&neighbour}));
    // The responder asks the neighbour until it stops: it stops first.
    const std::shared_ptr<void> stopFirst(nullptr, [this](void*) { camera->stop(); });
    std::string why;
    auto devices = discover({{"127.0.0.1", camera->discoveryPort()}}, 300, &why);
    ASSERT_EQ(devices.size(), 2u) << why;
    EXPECT_EQ(devices[1].name, "Gate 2");
    EXPECT_EQ(devices[1].xaddrs, std::vector<std::string>{neighbour.deviceServiceUrl()});
    EXPECT_EQ(devices[0].name, "CAMERA");
    EXPECT_EQ(devices[0].model, "camsim-ptz");
    EXPECT_EQ(devices[0].address, "127.0.0.1");
    EXPECT_EQ(devices[0].xaddrs, std::vector<std::string>{camera->deviceServiceUrl()});
    const std::string endpoint = devices[0].endpoint;

    camera->setFault(camsim::OnvifFault::ForeignXAddrs);
    devices = discover({{"127.0.0.1", camera->discoveryPort()}}, 300, &why);
    ASSERT_EQ(devices.size(), 2u) << why;
    EXPECT_EQ(devices[0].endpoint, endpoint);
    ASSERT_EQ(devices[0].xaddrs.size(), 1u);
    EXPECT_EQ(devices[0].xaddrs[0].rfind("http://10.254.0.9:", 0), 0u) << devices[0].xaddrs[0];
}

// A stop given while the camera sits on a move goes out once that move's
// call has ended, and stops the head when the camera answers again.
TEST_F(SimulatedOnvifCameraTest, StopGivenDuringAStalledMoveReachesTheCameraOnceItRecovers) {
    auto s = session();
    ASSERT_TRUE(s->open().has_value()) << s->lastError();
    ASSERT_EQ(send(*s, kPanRight), 1);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(5000));
    const double panningFrom = head->window().x;
    clock.advanceMs(500);
    ASSERT_GT(head->window().x, panningFrom);
    camera->setFault(camsim::OnvifFault::Stall);
    camera->clearRequestLog();
    ASSERT_EQ(send(*s, kPanLeftSlow), 1);
    ASSERT_TRUE(eventually([&] { return !ptzOperations().empty(); })); // the camera sits on it
    ASSERT_EQ(send(*s, kStop), 1);
    camera->setFault(camsim::OnvifFault::None);
    ASSERT_TRUE(s->ptzWorker()->waitIdle(5000));
    EXPECT_EQ(ptzOperations(), (std::vector<std::string>{"ContinuousMove", "Stop"}));
    EXPECT_EQ(camera->requestLog().back().httpStatus, 200);
    const double stoppedAt = head->window().x;
    clock.advanceMs(500);
    EXPECT_EQ(head->window().x, stoppedAt);
}

struct FaultCase {
    camsim::OnvifFault fault;
    bool connects;
};

class SimulatedOnvifFaultTest : public SimulatedOnvifCameraTest, public ::testing::WithParamInterface<FaultCase> {};

// Every SOAP call is bounded by the 2 s the plug-in gives it; the rest is
// thread hand-over on a busy machine.
constexpr auto kCallBound = std::chrono::milliseconds(2000 + 250);

template <typename Call>
std::chrono::milliseconds timed(Call call) {
    const auto start = SteadyClock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
}

TEST_P(SimulatedOnvifFaultTest, EveryCallEndsInTimeAndTheCameraStaysUsable) {
    camera->setFault(GetParam().fault);
    auto s = session();
    std::optional<std::string> uri;
    const auto connecting = timed([&] { uri = s->open(); });
    EXPECT_EQ(uri.has_value(), GetParam().connects) << s->lastError();
    if (!GetParam().connects) {
        // The first call that meets the fault ends the connect.
        EXPECT_LT(connecting, kCallBound);
        EXPECT_FALSE(s->lastError().empty());
    } else {
        EXPECT_EQ(uri->rfind("rtsp://127.0.0.1:", 0), 0u) << *uri;
        for (const auto& r : camera->requestLog())
            EXPECT_TRUE(r.authenticated || r.operation == "GetSystemDateAndTime");
    }

    // The calls of a connection made before the camera went wrong: the
    // worker's move, stop and relay one after another, an event pull beside
    // them.
    camera->setFault(camsim::OnvifFault::None);
    auto connected = session();
    ASSERT_TRUE(connected->open().has_value()) << connected->lastError();
    const std::optional<PullPoint> subscription = connected->device().createPullPoint();
    ASSERT_TRUE(subscription.has_value()) << connected->lastError();
    camera->setFault(GetParam().fault);
    auto pulling = std::async(
        std::launch::async, [&] { return timed([&] { connected->device().pullMessages(subscription->address, 1); }); });
    const uint8_t relayOn = 1;
    const struct {
        const char* name;
        int32_t type;
        const uint8_t* data;
        int32_t length;
    } commands[] = {{"move", 11, kPanRight, 7}, {"stop", 11, kStop, 7}, {"relay", 13, &relayOn, 1}};
    for (const auto& c : commands) {
        const auto took = timed([&] {
            ASSERT_EQ(connected->sendCommand(c.type, c.data, c.length), 1);
            ASSERT_TRUE(connected->ptzWorker()->waitIdle(5000));
        });
        EXPECT_LT(took, kCallBound) << c.name;
    }
    EXPECT_LT(pulling.get(), kCallBound) << "event pull";

    camera->setFault(camsim::OnvifFault::None);
    EXPECT_TRUE(session()->open().has_value());
}

INSTANTIATE_TEST_SUITE_P(Faults, SimulatedOnvifFaultTest,
                         ::testing::Values(FaultCase{camsim::OnvifFault::Stall, false},
                                           FaultCase{camsim::OnvifFault::Trickle, false},
                                           FaultCase{camsim::OnvifFault::SoapFault, false},
                                           FaultCase{camsim::OnvifFault::HugeReply, false},
                                           FaultCase{camsim::OnvifFault::SkewedClock, true},
                                           FaultCase{camsim::OnvifFault::ForeignXAddrs, true}),
                         [](const auto& info) {
                             std::string name = camsim::onvifFaultName(info.param.fault);
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

} // namespace
} // namespace onvif
