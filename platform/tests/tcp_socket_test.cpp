#include "platform/tcp_socket.h"

#include <gtest/gtest.h>

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

TEST_F(TcpSocketTest, AcceptTimesOutWithoutClient) {
    EXPECT_FALSE(listener.accept(20).isOpen());
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
