// The protocol 2 camera's audio-out token, driven by bare socket clients.
#include "camsim/v2_camera.h"

#include "platform/tcp_socket.h"
#include "transport/protocol_message.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace camsim {
namespace {

constexpr uint32_t kRelease = 49;

class TokenClient {
public:
    // Connects and asks for the token; returns the 128-byte reply.
    std::vector<uint8_t> ask(uint16_t port) {
        std::vector<uint8_t> reply(128, 0xEE);
        if (!socket_.connect("127.0.0.1", port, 2000) || !socket_.setReceiveTimeout(5000)) return {};
        uint8_t block[128] = {};
        std::memcpy(block, "admin", 5);
        transport::putUint32Le(block + 32, 2);
        std::memcpy(block + 64, "admin", 5);
        if (!socket_.sendAll(block, sizeof block)) return {};
        if (socket_.receiveAll(reply.data(), reply.size()).status != platform::RecvStatus::Ok) return {};
        return reply;
    }
    bool send(uint32_t type, const std::vector<uint8_t>& payload = {}) {
        std::vector<uint8_t> buf(12);
        std::memcpy(buf.data(), transport::kMessageMagic, 4);
        transport::putUint32Le(buf.data() + 4, type);
        transport::putUint32Le(buf.data() + 8, static_cast<uint32_t>(payload.size()));
        buf.insert(buf.end(), payload.begin(), payload.end());
        return socket_.sendAll(buf.data(), buf.size());
    }
    void close() { socket_.close(); }

private:
    platform::TcpSocket socket_;
};

class AudioTokenTest : public ::testing::Test {
protected:
    void SetUp() override {
        CameraOptions o;
        o.autoStream = false;
        camera = std::make_unique<V2Camera>(o);
        ASSERT_TRUE(camera->start());
    }
    std::unique_ptr<V2Camera> camera;
};

TEST_F(AudioTokenTest, HolderIsNamedUntilItReleases) {
    TokenClient first, second, third;
    ASSERT_EQ(transport::getUint32Le(first.ask(camera->controlPort()).data()), 0u);
    const auto refused = second.ask(camera->controlPort());
    ASSERT_EQ(refused.size(), 128u);
    EXPECT_NE(transport::getUint32Le(refused.data()), 0u);
    EXPECT_EQ(std::vector<uint8_t>(refused.begin() + 8, refused.begin() + 12), (std::vector<uint8_t>{127, 0, 0, 1}));

    ASSERT_TRUE(first.send(kRelease));
    ASSERT_TRUE(camera->recording().waitFor(Channel::AudioOut, kRelease, 2000));
    EXPECT_EQ(transport::getUint32Le(third.ask(camera->controlPort()).data()), 0u);
}

TEST_F(AudioTokenTest, ClosingTheConnectionFreesTheToken) {
    TokenClient first, second;
    ASSERT_EQ(transport::getUint32Le(first.ask(camera->controlPort()).data()), 0u);
    first.close();
    EXPECT_EQ(transport::getUint32Le(second.ask(camera->controlPort()).data()), 0u);
}

} // namespace
} // namespace camsim
