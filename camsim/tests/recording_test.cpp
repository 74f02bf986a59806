#include "camsim/recording.h"
#include "camsim/tcp_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace camsim {
namespace {

TEST(RecordingTest, KeepsArrivalOrderAcrossChannels) {
    Recording r;
    r.add(Channel::Login, 0, {});
    r.add(Channel::Control, 2, {1, 2, 3, 4});
    r.add(Channel::Login, 1, {9});
    EXPECT_EQ(r.typesOn(Channel::Login), (std::vector<uint32_t>{0, 1}));
    auto all = r.snapshot();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_LT(all[0].sequence, all[1].sequence);
    EXPECT_LT(all[1].sequence, all[2].sequence);
    EXPECT_EQ(r.count(Channel::Control, 2), 1u);
    EXPECT_EQ(r.on(Channel::Control).front().payload, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(RecordingTest, WaitForSeesMessageAddedByAnotherThread) {
    Recording r;
    std::thread writer([&] { r.add(Channel::Media, 7, {42}); });
    ReceivedMessage found;
    EXPECT_TRUE(r.waitFor(Channel::Media, 7, 5000, &found));
    writer.join();
    EXPECT_EQ(found.payload, std::vector<uint8_t>{42});
}

TEST(RecordingTest, WaitForGivesUpWhenNothingMatches) {
    Recording r;
    r.add(Channel::Media, 7, {});
    EXPECT_FALSE(r.waitFor(Channel::Control, 7, 20));
}

TEST(TcpServerTest, StopEndsConnectionsBlockedInReceive) {
    TcpServer server;
    std::atomic<int> started{0};
    std::atomic<int> handled{0};
    ASSERT_TRUE(server.start("127.0.0.1", 0, [&](const std::shared_ptr<Connection>& c) {
        started.fetch_add(1);
        uint8_t b = 0;
        c->socket().receiveSome(&b, 1); // blocks until the server stops
        handled.fetch_add(1);
    }));
    platform::TcpSocket client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port(), 2000));
    platform::TcpSocket second;
    ASSERT_TRUE(second.connect("127.0.0.1", server.port(), 2000));
    for (int i = 0; i < 500 && started.load() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(started.load(), 2);
    server.stop();
    EXPECT_EQ(handled.load(), 2);
    EXPECT_FALSE(server.isRunning());
}

} // namespace
} // namespace camsim
