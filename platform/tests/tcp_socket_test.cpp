#include "platform/tcp_socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using platform::RecvStatus;
using platform::TcpListener;
using platform::TcpSocket;

class TcpSocketTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(listener.listen("127.0.0.1", 0)); }

    // Connects a client and accepts its server side.
    void connectPair(TcpSocket& client, TcpSocket& server) {
        ASSERT_TRUE(client.connect("127.0.0.1", listener.port(), 1000));
        server = listener.accept(1000);
        ASSERT_TRUE(server.isOpen());
    }

    TcpListener listener;
};

TEST_F(TcpSocketTest, ConnectToClosedPortFails) {
    uint16_t closedPort = listener.port();
    listener.close();
    TcpSocket s;
    EXPECT_FALSE(s.connect("127.0.0.1", closedPort, 1000));
    EXPECT_FALSE(s.isOpen());
    EXPECT_NE(s.lastError(), 0);
}

TEST_F(TcpSocketTest, ConnectRejectsTextThatIsNoAddress) {
    TcpSocket s;
    EXPECT_FALSE(s.connect("not-an-address", listener.port(), 100));
    EXPECT_FALSE(s.connect("", listener.port(), 100));
}

TEST_F(TcpSocketTest, LargeSendArrivesWhole) {
    TcpSocket client, server;
    connectPair(client, server);
    std::vector<uint8_t> out(1 << 20);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 7);
    std::thread sender([&] { EXPECT_TRUE(client.sendAll(out.data(), out.size())); });
    std::vector<uint8_t> in(out.size());
    auto r = server.receiveAll(in.data(), in.size());
    sender.join();
    EXPECT_EQ(r.status, RecvStatus::Ok);
    EXPECT_EQ(r.bytes, out.size());
    EXPECT_EQ(in, out);
}

TEST_F(TcpSocketTest, ReceiveReportsTimeoutThenClose) {
    TcpSocket client, server;
    connectPair(client, server);
    ASSERT_TRUE(server.setReceiveTimeout(50));
    uint8_t buf[8];
    EXPECT_EQ(server.receiveAll(buf, sizeof buf).status, RecvStatus::TimedOut);
    ASSERT_TRUE(client.sendAll("abc", 3));
    client.close();
    auto r = server.receiveAll(buf, sizeof buf);
    EXPECT_EQ(r.status, RecvStatus::Closed);
    EXPECT_EQ(r.bytes, 3u);
}

TEST_F(TcpSocketTest, ShutdownWakesABlockedReceiver) {
    TcpSocket client, server;
    connectPair(client, server);
    RecvStatus status = RecvStatus::Ok;
    std::thread reader([&] {
        uint8_t b;
        status = server.receiveAll(&b, 1).status;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    server.shutdown();
    reader.join();
    EXPECT_NE(status, RecvStatus::Ok);
}

TEST_F(TcpSocketTest, AcceptTimesOutWithoutClient) { EXPECT_FALSE(listener.accept(20).isOpen()); }

// Bounded sends and receives: one deadline for the whole exchange.
class TcpDeadlineTest : public TcpSocketTest {
protected:
    static double secondsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(TcpDeadlineTest, SendToAPeerThatStopsReadingFailsAtTheDeadline) {
    TcpSocket client, server;
    connectPair(client, server);
    client.setSendBufferSize(4096);
    server.setReceiveBufferSize(4096);
    std::vector<uint8_t> chunk(64 * 1024, 0x5A);
    const auto start = std::chrono::steady_clock::now();
    platform::SendResult r{true, 0};
    // Nothing reads the server side, so the buffers fill within a few chunks.
    for (int i = 0; i < 200 && r.ok; ++i) r = client.sendAll(chunk.data(), chunk.size(), platform::deadlineAfter(200));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(client.lastError(), ETIMEDOUT);
    EXPECT_LT(r.bytes, chunk.size());
    EXPECT_LT(secondsSince(start), 3.0);
}

TEST_F(TcpDeadlineTest, BoundedSendDeliversEveryByteToAReadingPeer) {
    TcpSocket client, server;
    connectPair(client, server);
    std::vector<uint8_t> out(1 << 20);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 13);
    platform::SendResult sent;
    std::thread sender([&] { sent = client.sendAll(out.data(), out.size(), platform::deadlineAfter(5000)); });
    std::vector<uint8_t> in(out.size());
    const auto r = server.receiveAll(in.data(), in.size(), platform::deadlineAfter(5000));
    sender.join();
    EXPECT_TRUE(sent.ok);
    EXPECT_EQ(sent.bytes, out.size());
    EXPECT_EQ(r.status, RecvStatus::Ok);
    EXPECT_EQ(in, out);
}

TEST_F(TcpDeadlineTest, TrickledBytesDoNotExtendTheDeadline) {
    TcpSocket client, server;
    connectPair(client, server);
    // A per-call time-out of 1 s would never fire at one byte every 50 ms.
    server.setReceiveTimeout(1000);
    std::atomic<bool> stop{false};
    std::thread trickler([&] {
        const uint8_t byte = 7;
        while (!stop && client.sendAll(&byte, 1)) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    uint8_t in[128];
    const auto start = std::chrono::steady_clock::now();
    const auto r = server.receiveAll(in, sizeof in, platform::deadlineAfter(400));
    const double took = secondsSince(start);
    stop = true;
    client.shutdown();
    trickler.join();
    EXPECT_EQ(r.status, RecvStatus::TimedOut);
    EXPECT_GT(r.bytes, 0u);
    EXPECT_LT(r.bytes, sizeof in);
    EXPECT_GE(took, 0.35);
    EXPECT_LT(took, 3.0);
}

TEST_F(TcpDeadlineTest, ShutdownWakesABoundedReceiverAndSender) {
    TcpSocket client, server;
    connectPair(client, server);
    client.setSendBufferSize(4096);
    server.setReceiveBufferSize(4096);
    platform::RecvResult received;
    platform::SendResult sent{true, 0};
    std::vector<uint8_t> chunk(1 << 20, 1);
    const auto start = std::chrono::steady_clock::now();
    std::thread receiver([&] {
        uint8_t b[4];
        received = client.receiveAll(b, sizeof b, platform::deadlineAfter(30000));
    });
    std::thread sender([&] { sent = client.sendAll(chunk.data(), chunk.size(), platform::deadlineAfter(30000)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    client.shutdown();
    receiver.join();
    sender.join();
    EXPECT_EQ(received.status, RecvStatus::Closed);
    EXPECT_FALSE(sent.ok);
    EXPECT_LT(secondsSince(start), 3.0);
}

TEST_F(TcpDeadlineTest, PeerCloseEndsABoundedReceiveWithWhatCame) {
    TcpSocket client, server;
    connectPair(client, server);
    ASSERT_TRUE(client.sendAll("abc", 3));
    client.close();
    uint8_t in[8];
    const auto r = server.receiveAll(in, sizeof in, platform::deadlineAfter(2000));
    EXPECT_EQ(r.status, RecvStatus::Closed);
    EXPECT_EQ(r.bytes, 3u);
    EXPECT_EQ(std::memcmp(in, "abc", 3), 0);
}

TEST(ParseIPv4Test, GivesNetworkOrderBytes) {
    uint8_t b[4];
    ASSERT_TRUE(platform::parseIPv4("127.0.0.1", b));
    EXPECT_EQ(b[0], 127);
    EXPECT_EQ(b[3], 1);
    EXPECT_FALSE(platform::parseIPv4("1.2.3", b));
    EXPECT_FALSE(platform::parseIPv4("300.1.1.1", b));
}

} // namespace
