// A camera that stops reading or trickles its answers: every call still ends
// in bounded time, and a disconnect from another thread wakes a login.
#include "instance.h"
#include "v2_fixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace fenwa20test {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Keeps a measured time in the test report, for the figures script.
void report(const char* what, double seconds) {
    ::testing::Test::RecordProperty(what, static_cast<int>(seconds * 1000 + 0.5));
}

class StalledCameraTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(camera.start()); }

    std::unique_ptr<fenwa20::Instance> makeInstance(int32_t connectionType, int loginAnswerTimeoutMs = 5000) {
        fenwa20::InstanceOptions options;
        options.control.loginAnswerTimeoutMs = loginAnswerTimeoutMs;
        auto instance = std::make_unique<fenwa20::Instance>(options);
        const MediaConfig config = configFor(camera, connectionType);
        instance->setMediaConfig(config);
        instance->setControlDataCallback(&log, &CallbackLog::callback);
        return instance;
    }

    // Full-size commands until one is refused; the longest call in seconds.
    static double sendUntilRefused(fenwa20::Instance& instance, bool& refused, int limit = 5000) {
        std::vector<uint8_t> payload(transport::kMaxMessagePayload, 0x44);
        TransportCommand command{0x7E, payload.data(), static_cast<int32_t>(payload.size()), nullptr, 0};
        double longest = 0;
        refused = false;
        for (int i = 0; i < limit && !refused; ++i) {
            const auto start = Clock::now();
            refused = instance.sendCommand(command) == 0;
            longest = std::max(longest, secondsSince(start));
        }
        return longest;
    }

    camsim::V2Camera camera{quietCamera()};
    CallbackLog log;
};

TEST_F(StalledCameraTest, CommandsToACameraThatStopsReadingFailInsteadOfBlocking) {
    auto instance = makeInstance(3);
    ASSERT_EQ(instance->connect(), 1);
    ASSERT_EQ(instance->startStreaming(), 1);
    camera.faults().link.stopReading = true;
    bool refused = false;
    const double longest = sendUntilRefused(*instance, refused);
    EXPECT_LT(longest, 3.0);
    EXPECT_TRUE(refused);
    report("longest_send_ms", longest);
    const auto start = Clock::now();
    instance->disconnect();
    EXPECT_LT(secondsSince(start), 3.0);
    report("disconnect_ms", secondsSince(start));
    EXPECT_EQ(instance->control().state(), 0);
}

TEST_F(StalledCameraTest, DisconnectDoesNotQueueBehindStuckSenders) {
    auto instance = makeInstance(3);
    ASSERT_EQ(instance->connect(), 1);
    ASSERT_EQ(instance->startStreaming(), 1);
    camera.faults().link.stopReading = true;
    bool refused = false;
    sendUntilRefused(*instance, refused);
    ASSERT_TRUE(refused);
    std::atomic<bool> stop{false};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&] {
            bool r = false;
            while (!stop) sendUntilRefused(*instance, r, 1);
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = Clock::now();
    instance->disconnect();
    const double took = secondsSince(start);
    stop = true;
    for (auto& s : senders) s.join();
    EXPECT_LT(took, 3.0);
    report("disconnect_ms", took);
}

TEST_F(StalledCameraTest, TrickledControlLoginAnswerEndsAtTheLoginTimeOut) {
    // 128 bytes 50 ms apart would take over six seconds: each byte must not
    // restart the wait.
    auto instance = makeInstance(3, 600);
    ASSERT_EQ(instance->connect(), 1);
    camera.faults().link.trickleMs = 50;
    const auto start = Clock::now();
    EXPECT_EQ(instance->startStreaming(), 0);
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.5);
    EXPECT_LT(took, 3.0);
    report("login_ms", took);
    EXPECT_FALSE(instance->control().threadsExist());
}

TEST_F(StalledCameraTest, TrickledVideoLoginAnswerEndsWithinTheReceiveTimeOut) {
    auto instance = makeInstance(1);
    ASSERT_EQ(instance->connect(), 1);
    camera.faults().link.trickleMs = 50;
    const auto start = Clock::now();
    EXPECT_EQ(instance->startStreaming(), 0);
    EXPECT_LT(secondsSince(start), 3.0);
    report("login_ms", secondsSince(start));
}

TEST_F(StalledCameraTest, DisconnectWakesALoginOnATricklingCamera) {
    auto instance = makeInstance(2);
    ASSERT_EQ(instance->connect(), 1);
    camera.faults().link.trickleMs = 300;
    auto started = std::async(std::launch::async, [&] { return instance->startStreaming(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = Clock::now();
    instance->disconnect();
    instance->stopStreaming();
    EXPECT_LT(secondsSince(start), 3.0);
    report("disconnect_ms", secondsSince(start));
    ASSERT_EQ(started.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(started.get(), 0);
    EXPECT_FALSE(instance->control().threadsExist());
    // Our own wake-up is no network loss.
    EXPECT_TRUE(log.blocks().empty());

    camera.faults().link.trickleMs = 0;
    instance->disconnect();
    ASSERT_EQ(instance->connect(), 1);
    EXPECT_EQ(instance->startStreaming(), 1);
    instance->disconnect();
}

} // namespace
} // namespace fenwa20test
