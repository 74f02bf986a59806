// Drives the protocol version 1 camera with a bare socket client.
#include "camsim/v1_camera.h"

#include "fenwa10/md5.h"
#include "platform/tcp_socket.h"
#include "transport/protocol_message.h"

#include <gtest/gtest.h>

#include <cstring>

namespace camsim {
namespace {

class RawClient {
public:
    bool connect(uint16_t port) {
        if (!socket_.connect("127.0.0.1", port, 2000)) return false;
        return socket_.setReceiveTimeout(5000);
    }
    bool send(uint32_t type, const std::vector<uint8_t>& payload) {
        std::vector<uint8_t> buf(12 + payload.size());
        transport::buildMessage(buf.data(), type, payload.data(), payload.size());
        return socket_.sendAll(buf.data(), buf.size());
    }
    bool receive(uint32_t& type, std::vector<uint8_t>& payload) {
        uint8_t header[12];
        if (socket_.receiveAll(header, 12).status != platform::RecvStatus::Ok) return false;
        transport::MessageHeader h;
        if (!transport::parseMessageHeader(header, h)) return false;
        type = h.type;
        payload.assign(h.payloadLength, 0);
        return h.payloadLength == 0 ||
               socket_.receiveAll(payload.data(), payload.size()).status == platform::RecvStatus::Ok;
    }
    platform::TcpSocket& socket() { return socket_; }

private:
    platform::TcpSocket socket_;
};

std::vector<uint8_t> loginRecord(const std::string& user, const std::string& password, uint32_t number) {
    std::vector<uint8_t> record(120, 0);
    std::string u = fenwa10::Md5::hexDigest(user), p = fenwa10::Md5::hexDigest(password);
    std::memcpy(record.data(), u.data(), 32);
    std::memcpy(record.data() + 40, p.data(), 32);
    transport::putUint32Le(record.data() + 104, number);
    return record;
}

class V1CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        CameraOptions o;
        o.user = "viewer";
        o.password = "secret";
        o.connectionNumber = 77;
        camera = std::make_unique<V1Camera>(o);
        ASSERT_TRUE(camera->start());
        ASSERT_TRUE(login.connect(camera->loginPort()));
    }
    std::unique_ptr<V1Camera> camera;
    RawClient login;
    uint32_t type = 0;
    std::vector<uint8_t> payload;
};

TEST_F(V1CameraTest, AcceptsMatchingDigestsAndRejectsOthers) {
    ASSERT_TRUE(login.send(0, {}));
    ASSERT_TRUE(login.receive(type, payload));
    EXPECT_EQ(type, 0x10000u);
    ASSERT_EQ(payload.size(), 4u);
    EXPECT_EQ(transport::getUint32Le(payload.data()), 77u);

    ASSERT_TRUE(login.send(1, loginRecord("viewer", "wrong", 77)));
    ASSERT_TRUE(login.receive(type, payload));
    EXPECT_EQ(type, 0x10001u);
    EXPECT_EQ(payload.at(0), 0);

    ASSERT_TRUE(login.send(1, loginRecord("viewer", "secret", 77)));
    ASSERT_TRUE(login.receive(type, payload));
    EXPECT_EQ(payload.at(0), 1);
    EXPECT_EQ(camera->recording().typesOn(Channel::Login), (std::vector<uint32_t>{0, 1, 1}));
}

TEST_F(V1CameraTest, FaultSwitchesChangeTheAnswers) {
    camera->faults().zeroConnectionNumber = true;
    ASSERT_TRUE(login.send(0, {}));
    ASSERT_TRUE(login.receive(type, payload));
    EXPECT_EQ(transport::getUint32Le(payload.data()), 0u);
    camera->faults().refuseLogin = true;
    ASSERT_TRUE(login.send(1, loginRecord("viewer", "secret", 77)));
    ASSERT_TRUE(login.receive(type, payload));
    EXPECT_EQ(payload.at(0), 0);
}

TEST_F(V1CameraTest, ControlAnswersConfigurationWithRequestedValues) {
    RawClient control;
    ASSERT_TRUE(control.connect(camera->controlPort()));
    std::vector<uint8_t> number(4);
    transport::putUint32Le(number.data(), 77);
    ASSERT_TRUE(control.send(2, number));
    ASSERT_TRUE(control.receive(type, payload));
    EXPECT_EQ(type, 0x10002u);
    EXPECT_EQ(payload.at(0), 1);
    std::vector<uint8_t> rate(4);
    transport::putUint32Le(rate.data(), 12);
    ASSERT_TRUE(control.send(8, rate));
    ASSERT_TRUE(control.send(32, {}));
    ASSERT_TRUE(control.receive(type, payload));
    EXPECT_EQ(type, 0x10020u);
    ASSERT_EQ(payload.size(), 48u);
    EXPECT_EQ(payload[40], 12);
    EXPECT_EQ(payload[41], 0);

    ASSERT_TRUE(camera->sendMotion(5));
    ASSERT_TRUE(control.receive(type, payload));
    EXPECT_EQ(type, 0x1000Eu);
    EXPECT_EQ(payload, std::vector<uint8_t>{5});
}

TEST_F(V1CameraTest, StoppedReadingLeavesRequestsUnansweredUntilSwitchedBack) {
    camera->faults().link.stopReading = true;
    ASSERT_TRUE(login.send(0, {}));
    ASSERT_TRUE(login.socket().setReceiveTimeout(300));
    EXPECT_FALSE(login.receive(type, payload));
    EXPECT_TRUE(camera->recording().typesOn(Channel::Login).empty());

    camera->faults().link.stopReading = false;
    ASSERT_TRUE(login.socket().setReceiveTimeout(5000));
    ASSERT_TRUE(login.receive(type, payload));
    EXPECT_EQ(type, 0x10000u);
}

TEST_F(V1CameraTest, TrickledAnswerArrivesOneByteAtATime) {
    camera->faults().link.trickleMs = 20;
    ASSERT_TRUE(login.send(0, {}));
    // Sixteen bytes 20 ms apart: the first read cannot see the whole answer.
    uint8_t first[16] = {};
    ASSERT_TRUE(login.socket().waitReadable(5000));
    const platform::RecvResult r = login.socket().receiveSome(first, sizeof first);
    ASSERT_EQ(r.status, platform::RecvStatus::Ok);
    EXPECT_LT(r.bytes, sizeof first);
    uint8_t rest[16] = {};
    ASSERT_EQ(login.socket().receiveAll(rest, sizeof first - r.bytes).status, platform::RecvStatus::Ok);
    std::memcpy(first + r.bytes, rest, sizeof first - r.bytes);
    EXPECT_EQ(std::memcmp(first, transport::kMessageMagic, 4), 0);
    EXPECT_EQ(transport::getUint32Le(first + 12), 77u);
}

TEST(V1CameraVideoTest, VideoMessageCarriesTimeStampAndPerFrameByteAtClientOffsets) {
    VideoFrame frame;
    frame.data = SyntheticVideoSource::makeIntra(100);
    frame.intra = true;
    frame.timeStampMs = 0x04030201;
    auto m = V1Camera::videoMessage(frame, 0x99);
    ASSERT_EQ(m.size(), 12u + 16u + 100u);
    EXPECT_EQ(transport::getUint32Le(m.data() + 8), 116u);
    EXPECT_EQ(m[17], 0x01);
    EXPECT_EQ(m[19], 0x02);
    EXPECT_EQ(m[21], 0x03);
    EXPECT_EQ(m[23], 0x04);
    EXPECT_EQ(m[25], 0x99);
    EXPECT_EQ(std::vector<uint8_t>(m.begin() + 28, m.begin() + 32), (std::vector<uint8_t>{0, 0, 1, 0xB3}));
}

} // namespace
} // namespace camsim
