// A camera that stops reading or trickles its answers: every call still ends
// in bounded time, and a disconnect from another thread wakes a connect.
#include "plugin_fixture.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

namespace fenwa10::test {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Keeps a measured time in the test report, for the figures script.
void report(const char* what, double seconds) {
    ::testing::Test::RecordProperty(what, static_cast<int>(seconds * 1000 + 0.5));
}

class StalledCameraTest : public PluginTest {
protected:
    // Sends full-size commands until one is refused, as a user pressing PTZ
    // buttons would against a camera that no longer reads. Returns the
    // longest single call in seconds; refused tells whether one failed.
    double sendUntilRefused(bool& refused, int limit = 5000) {
        std::vector<uint8_t> payload(transport::kMaxMessagePayload, 0x33);
        TransportCommand command{0x7E, payload.data(), static_cast<int32_t>(payload.size()), nullptr, 0};
        double longest = 0;
        refused = false;
        for (int i = 0; i < limit && !refused; ++i) {
            const auto start = Clock::now();
            refused = M_XSendCommand(handle, &command, nullptr) == 0;
            longest = std::max(longest, secondsSince(start));
        }
        return longest;
    }
};

TEST_F(StalledCameraTest, CommandsToACameraThatStopsReadingFailInsteadOfBlocking) {
    startStreaming();
    camera->faults().link.stopReading = true;
    bool refused = false;
    const double longest = sendUntilRefused(refused);
    EXPECT_TRUE(refused);
    EXPECT_LT(longest, 3.0);
    report("longest_send_ms", longest);

    const auto start = Clock::now();
    EXPECT_EQ(M_XDisconnect(handle), 1);
    EXPECT_LT(secondsSince(start), 3.0);
    report("disconnect_ms", secondsSince(start));
}

TEST_F(StalledCameraTest, DisconnectDoesNotWaitBehindSendersStuckOnAFullSocket) {
    startStreaming();
    camera->faults().link.stopReading = true;
    bool refused = false;
    sendUntilRefused(refused);
    ASSERT_TRUE(refused);
    // More callers keep pressing while the user closes the view.
    std::atomic<bool> stop{false};
    std::vector<std::thread> senders;
    for (int t = 0; t < 3; ++t) {
        senders.emplace_back([&] {
            bool r = false;
            while (!stop) sendUntilRefused(r, 1);
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = Clock::now();
    EXPECT_EQ(M_XDisconnect(handle), 1);
    const double took = secondsSince(start);
    stop = true;
    for (auto& s : senders) s.join();
    EXPECT_LT(took, 3.0);
    report("disconnect_ms", took);
}

TEST_F(StalledCameraTest, ACommandCutHalfWayCountsAsALostConnection) {
    startStreaming();
    camera->faults().link.stopReading = true;
    bool refused = false;
    sendUntilRefused(refused);
    ASSERT_TRUE(refused);
    // The camera could never find the next message start again.
    EXPECT_TRUE(log.waitForLoss(3000));
    EXPECT_FALSE(instance().control().isConnected());
}

TEST_F(StalledCameraTest, DisconnectWakesAConnectWaitingOnATricklingCamera) {
    startCamera();
    camera->faults().link.trickleMs = 300;
    auto connected = std::async(std::launch::async, [&] { return M_XConnect(handle); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto start = Clock::now();
    M_XStopStreaming(handle);
    M_XDisconnect(handle);
    EXPECT_LT(secondsSince(start), 3.0);
    report("disconnect_ms", secondsSince(start));
    ASSERT_EQ(connected.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(connected.get(), 0);
    EXPECT_LT(secondsSince(start), 3.0);
    report("connect_ended_ms", secondsSince(start));
    // The instance is usable again once the camera behaves.
    camera->faults().link.trickleMs = 0;
    EXPECT_EQ(M_XConnect(handle), 1);
}

TEST_F(StalledCameraTest, DisconnectWakesAStreamStartWaitingForATrickledHeader) {
    startCamera();
    ASSERT_EQ(M_XConnect(handle), 1);
    camera->faults().link.trickleMs = 300;
    auto started = std::async(std::launch::async, [&] { return M_XStartStreaming(handle); });
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto start = Clock::now();
    M_XDisconnect(handle);
    EXPECT_LT(secondsSince(start), 3.0);
    report("disconnect_ms", secondsSince(start));
    ASSERT_EQ(started.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(started.get(), 0);
    M_XDisconnect(handle);
    EXPECT_FALSE(instance().control().isConnected());
}

} // namespace
} // namespace fenwa10::test
