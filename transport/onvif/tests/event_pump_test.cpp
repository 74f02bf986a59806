// The event pump's timing against a scripted camera on a manual clock: when
// it pulls, renews, subscribes again and backs off, step by step.
#include "onvif/event_pump.h"

#include "fake_soap_transport.h"

#include <platform/clock.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace onvif {
namespace {

using test::SeenRequest;

// What the camera answers a call: done, a fault, or nothing.
constexpr char kOk = 'o', kRefused = 'r', kUnanswered = 'u';

struct PumpCase {
    const char* what;
    int grantedSeconds;
    int holdMs;          // how long the camera holds each pull
    std::string creates; // answers to the first subscriptions (Ok after them)
    std::string pulls;   // answers to the first pulls (Ok after them)
    // Calls the pump makes: ms since it started (manual clock) and C for a
    // subscription, P a pull, R a renewal, U giving a subscription back.
    std::string calls;
};

// A camera that answers as the case says, holding pulls on the manual clock.
class ScriptedEventCamera {
public:
    ScriptedEventCamera(const PumpCase& script, platform::ManualClock& clock) : script_(script), clock_(clock) {}

    SoapReply answer(const SeenRequest& r) {
        if (r.operation == "GetSystemDateAndTime") return {true, 200, test::dataFile("system_date_time.xml"), {}};
        if (r.operation == "GetCapabilities") return {true, 200, test::dataFile("capabilities_foreign_xaddrs.xml"), {}};
        const char answer = note(r.operation);
        if (answer == kUnanswered) return {false, 0, {}, "connection refused"};
        if (answer == kRefused) return test::faultReply("wsntw:SubscribeCreationFailedFault");
        if (r.operation == "PullMessages") clock_.advanceMs(script_.holdMs);
        char times[160];
        std::snprintf(times, sizeof times,
                      "<n:CurrentTime>2024-03-01T08:00:00Z</n:CurrentTime>"
                      "<n:TerminationTime>2024-03-01T08:%02d:%02dZ</n:TerminationTime>",
                      script_.grantedSeconds / 60, script_.grantedSeconds % 60);
        return test::okReply("<n:" + r.operation +
                             "Response xmlns:n=\"urn:n\"><n:SubscriptionReference><n:Address>"
                             "http://10.20.30.40:8899/sub/1</n:Address></n:SubscriptionReference>" +
                             times + "</n:" + r.operation + "Response>");
    }

    std::string calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    char note(const std::string& operation) {
        std::lock_guard lock(mutex_);
        if (!calls_.empty()) calls_ += ", ";
        calls_ += std::to_string(clock_.nowMs() - startMs_) + " " + operation.substr(0, 1);
        if (operation == "CreatePullPointSubscription") return pick(script_.creates, creates_++);
        if (operation == "PullMessages") return pick(script_.pulls, pulls_++);
        return kOk;
    }

    static char pick(const std::string& answers, std::size_t index) {
        return index < answers.size() ? answers[index] : kOk;
    }

    const PumpCase& script_;
    platform::ManualClock& clock_;
    const int64_t startMs_ = clock_.nowMs();
    mutable std::mutex mutex_;
    std::string calls_;
    std::size_t creates_ = 0;
    std::size_t pulls_ = 0;
};

class EventPumpTest : public ::testing::TestWithParam<PumpCase> {};

TEST_P(EventPumpTest, CallsTheCameraWhenDueAndGivesTheSubscriptionBack) {
    platform::ManualClock clock;
    ScriptedEventCamera camera(GetParam(), clock);
    test::FakeSoapTransport transport([&](const SeenRequest& r) { return camera.answer(r); });
    Device device(transport, DeviceSettings{"127.0.0.1", 8899, "", "", 2000});
    ASSERT_TRUE(device.connect()) << device.lastError();
    EventState state;
    const std::string& expected = GetParam().calls;
    {
        EventPump pump(device, state, clock);
        // Each wait of the pump ends at once; a camera that holds its pulls
        // moves the clock itself and the pump does not wait at all.
        for (int tries = 0; camera.calls().size() < expected.size(); ++tries) {
            ASSERT_LT(tries, 500) << "the pump stopped calling: " << camera.calls();
            clock.advanceToNextWake(10);
        }
        pump.stop(EventPump::kUnsubscribeBoundMs);
    }
    // Calls after the last expected one may have started before the stop.
    const std::string calls = camera.calls();
    EXPECT_EQ(calls.substr(0, expected.size()), expected);
    EXPECT_EQ(calls.back(), 'U') << "given back";
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, EventPumpTest,
    ::testing::Values(
        // Answers at once, ignoring the time-out: a pull a second.
        PumpCase{"AnswersAtOnce", 60, 0, "", "", "0 C, 0 P, 1000 P, 2000 P, 3000 P"},
        PumpCase{"AnswersEarly", 60, 300, "", "", "0 C, 0 P, 1000 P, 2000 P"},
        // Holds each pull for the time-out: the next goes out at once.
        PumpCase{"HoldsThePull", 60, 5000, "", "", "0 C, 0 P, 5000 P, 10000 P"},
        // Grants 4 s: renewed every 2 s.
        PumpCase{"RenewsHalfwayToTheGrantedTime", 4, 0, "", "", "0 C, 0 P, 1000 P, 2000 R, 2000 P, 3000 P, 4000 R"},
        // Rebooted: the subscription is gone, a new one follows a pause.
        PumpCase{"SubscribesAgainAfterARefusedPull", 60, 0, "", "or",
                 "0 C, 0 P, 1000 P, 1000 U, 3000 C, 3000 P, 4000 P"},
        // Unreachable for a while: the same subscription, pauses doubling.
        PumpCase{"KeepsTheSubscriptionThroughUnansweredPulls", 60, 0, "", "ouuu",
                 "0 C, 0 P, 1000 P, 3000 P, 7000 P, 15000 P, 16000 P"},
        // No free pull point, or every pull refused: never a tight loop.
        PumpCase{"BacksOffWhileSubscriptionsAreRefused", 60, 0, "rrr", "", "0 C, 2000 C, 6000 C, 14000 C, 14000 P"},
        PumpCase{"BacksOffWhenEveryPullIsRefused", 60, 0, "", "rrr",
                 "0 C, 0 P, 0 U, 2000 C, 2000 P, 2000 U, 6000 C, 6000 P, 6000 U, 14000 C"}),
    [](const ::testing::TestParamInfo<PumpCase>& info) { return std::string(info.param.what); });

TEST(EventPumpRetryTest, PausesDoubleFromTwoSecondsUpToAMinute) {
    const EventPumpTiming timing;
    const int expected[] = {0, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000};
    for (int failures = 0; failures < 9; ++failures) EXPECT_EQ(retryPauseMs(timing, failures), expected[failures]);
    EXPECT_EQ(retryPauseMs(timing, 1000), 60000);
}

} // namespace
} // namespace onvif
