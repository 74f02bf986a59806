// The cameras' servers feed the head: PTZ and output messages, the quad CGI,
// and events going out in the protocols' own places. A bare socket client.
#include "camsim/settings_file.h"
#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"

#include "platform/http_get.h"
#include "platform/tcp_socket.h"
#include "transport/protocol_message.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

namespace camsim {
namespace {

bool eventually(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class Client {
public:
    bool connect(uint16_t port) { return socket_.connect("127.0.0.1", port, 2000) && socket_.setReceiveTimeout(5000); }
    bool sendBytes(const std::vector<uint8_t>& bytes) { return socket_.sendAll(bytes.data(), bytes.size()); }
    bool send(uint32_t type, const std::vector<uint8_t>& payload) {
        std::vector<uint8_t> buf(12 + payload.size());
        transport::buildMessage(buf.data(), type, payload.data(), payload.size());
        return sendBytes(buf);
    }
    bool receiveBytes(std::vector<uint8_t>& out, std::size_t n) {
        out.assign(n, 0);
        return n == 0 || socket_.receiveAll(out.data(), n).status == platform::RecvStatus::Ok;
    }
    bool receive(uint32_t& type, std::vector<uint8_t>& payload) {
        std::vector<uint8_t> header;
        if (!receiveBytes(header, 12)) return false;
        transport::MessageHeader h;
        if (!transport::parseMessageHeader(header.data(), h)) return false;
        type = h.type;
        return receiveBytes(payload, h.payloadLength);
    }

private:
    platform::TcpSocket socket_;
};

CameraOptions smallCamera() {
    CameraOptions o;
    o.host = "127.0.0.1";
    o.user = "admin";
    o.password = "admin";
    o.video.resolutionCode = 2; // 160 x 112: cheap to encode
    o.ptzAddress = 2;
    o.scene.enabled = true;
    o.scene.name = "LIVE";
    return o;
}

std::vector<uint8_t> loginBlock(bool control) {
    std::vector<uint8_t> b(128, 0);
    std::memcpy(b.data(), "admin", 5);
    if (control) transport::putUint32Le(b.data() + 32, 1);
    std::memcpy(b.data() + 64, "admin", 5);
    return b;
}

class V2LiveCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        camera = std::make_unique<V2Camera>(smallCamera());
        ASSERT_TRUE(camera->start());
        ASSERT_TRUE(control.connect(camera->controlPort()));
        ASSERT_TRUE(control.sendBytes(loginBlock(true)));
        std::vector<uint8_t> answer;
        ASSERT_TRUE(control.receiveBytes(answer, 128));
        ASSERT_EQ(transport::getUint32Le(answer.data()), 0u);
    }
    bool get(const std::string& target) {
        platform::HttpGetRequest r;
        r.url = "http://127.0.0.1:" + std::to_string(camera->httpPort()) + target;
        r.agent = "test";
        return platform::httpGet(r).ok();
    }
    std::unique_ptr<V2Camera> camera;
    Client control;
};

TEST_F(V2LiveCameraTest, SerialMessageForItsAddressMovesTheHead) {
    // Pelco-P pan right for address 2 (sent as 01) at 0x3F:
    // A0 ^ 01 ^ 00 ^ 02 ^ 3F ^ 00 ^ AF = 33
    ASSERT_TRUE(control.send(54, {0xA0, 0x01, 0x00, 0x02, 0x3F, 0x00, 0xAF, 0x33}));
    ASSERT_TRUE(eventually([&] { return camera->head().state().commandsApplied == 1; }));
    EXPECT_TRUE(eventually([&] { return camera->head().window().x > 0.5; }));
    // The same frame for address 1 is not for this camera.
    ASSERT_TRUE(control.send(54, {0xA0, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF, 0x0F}));
    ASSERT_TRUE(eventually([&] { return camera->head().state().framesRefused == 1; }));
    EXPECT_EQ(camera->recording().count(Channel::Control, 54), 2u);
}

TEST_F(V2LiveCameraTest, OutputMessageLightsTheLamp) {
    ASSERT_TRUE(control.send(50, {1}));
    ASSERT_TRUE(eventually([&] { return camera->head().state().lamp; }));
    ASSERT_TRUE(control.send(50, {0}));
    EXPECT_TRUE(eventually([&] { return !camera->head().state().lamp; }));
}

TEST_F(V2LiveCameraTest, QuadRequestSetsTheDisplayMode) {
    ASSERT_TRUE(get("/cgi-bin/quad?USER=admin&PWD=admin&DISPLAY=3"));
    EXPECT_EQ(camera->head().state().quadMode, 3);
}

TEST_F(V2LiveCameraTest, MotionSettingsSwitchDetectionAndItsRegions) {
    ASSERT_TRUE(camera->head().motionDetection());
    ASSERT_TRUE(get("/cgi-bin/mpeg4?USER=admin&PWD=admin&MOTION_ENABLED=0"));
    EXPECT_FALSE(camera->head().motionDetection());
    EXPECT_EQ(camera->head().motionBits(), 0);
    ASSERT_TRUE(get("/cgi-bin/mpeg4?USER=admin&PWD=admin&MOTION_ENABLED=1&MOTION_SETTING=1,0,0,160,112,5"));
    EXPECT_TRUE(camera->head().motionDetection());
}

TEST_F(V2LiveCameraTest, InputsAndMotionRideInTheFrameHeader) {
    camera->head().setMotionDetection(false, {});
    camera->head().pulseInputs(2, 60000);
    Client video;
    ASSERT_TRUE(video.connect(camera->videoPort()));
    ASSERT_TRUE(video.sendBytes(loginBlock(false)));
    std::vector<uint8_t> answer, header, body;
    ASSERT_TRUE(video.receiveBytes(answer, 128));
    ASSERT_EQ(answer[0], 0);
    bool sawVideo = false;
    for (int i = 0; i < 20 && !sawVideo; ++i) {
        ASSERT_TRUE(video.receiveBytes(header, 12));
        ASSERT_TRUE(video.receiveBytes(body, transport::getUint32Le(header.data() + 8)));
        if (header[4] != 1) continue;
        sawVideo = true;
        EXPECT_EQ(body[19 - 12], 1); // input 2 active: bit 1 clear
        EXPECT_EQ(body[18 - 12], 0);
    }
    EXPECT_TRUE(sawVideo);
}

class V1LiveCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        CameraOptions o = smallCamera();
        o.connectionNumber = 77;
        camera = std::make_unique<V1Camera>(o);
        ASSERT_TRUE(camera->start());
        ASSERT_TRUE(control.connect(camera->controlPort()));
        std::vector<uint8_t> number(4);
        transport::putUint32Le(number.data(), 77);
        ASSERT_TRUE(control.send(2, number));
        ASSERT_TRUE(control.receive(type, payload));
        ASSERT_EQ(payload.at(0), 1);
    }
    std::unique_ptr<V1Camera> camera;
    Client control;
    uint32_t type = 0;
    std::vector<uint8_t> payload;
};

TEST_F(V1LiveCameraTest, SerialAndOutputMessagesReachTheHead) {
    // Pelco-D go to preset 95 for address 2: 02 + 07 + 5F = 68
    ASSERT_TRUE(control.send(11, {0xFF, 0x02, 0x00, 0x07, 0x00, 0x5F, 0x68}));
    ASSERT_TRUE(eventually([&] { return camera->head().state().osd.open; }));
    ASSERT_TRUE(control.send(13, {16})); // output 1, in the high nibble
    EXPECT_TRUE(eventually([&] { return camera->head().state().lamp; }));
}

TEST_F(V1LiveCameraTest, ScheduledInputGoesOutAsANoticeWhileStreaming) {
    camera->head().setMotionDetection(false, {});
    camera->head().scheduleInputs(100, 100); // input 1 from the first period on
    Client media;
    ASSERT_TRUE(media.connect(camera->mediaPort()));
    std::vector<uint8_t> number(4);
    transport::putUint32Le(number.data(), 77);
    ASSERT_TRUE(media.send(2, number));
    ASSERT_TRUE(media.receive(type, payload));
    ASSERT_EQ(payload.at(0), 1);
    ASSERT_TRUE(control.send(34, {}));
    bool sawInput = false;
    for (int i = 0; i < 200 && !sawInput; ++i) {
        ASSERT_TRUE(control.receive(type, payload));
        if (type == 0x1000Cu) {
            sawInput = true;
            EXPECT_EQ(payload, std::vector<uint8_t>{1});
        }
        EXPECT_NE(type, 0x1000Eu); // motion detection is off
    }
    EXPECT_TRUE(sawInput);
}

TEST(SettingsFileTest, EveryRecordPointsAtTheSimulator) {
    SettingsCamera a;
    a.name = "Camera 1";
    a.streamingType = 1;
    a.registerPort = 6000;
    a.controlPort = 6001;
    a.streamingPort = 6002;
    a.httpPort = 8080;
    a.user = "admin";
    a.password = "pw";
    a.ptzAddress = 3;
    a.ptzProtocolFile = "/opt/protocol/Pelco-D.ptz";
    const std::string text = settingsFileText({a});
    // Sixteen sections, each with the 27 keys, all on 127.0.0.1.
    std::size_t sections = 0, hosts = 0;
    for (std::size_t at = 0; (at = text.find("\n[", at)) != std::string::npos; ++at) ++sections;
    for (std::size_t at = 0; (at = text.find("CameraIP=127.0.0.1\n", at)) != std::string::npos; ++at) ++hosts;
    EXPECT_EQ(text.rfind("[0]\n", 0), 0u);
    EXPECT_EQ(sections + 1, 16u);
    EXPECT_EQ(hosts, 16u);
    const std::string first = text.substr(0, text.find("[1]"));
    EXPECT_NE(first.find("CameraName=Camera 1\nCameraIP=127.0.0.1\nRegisterPort=6000\nControlPort=6001\n"
                         "StreamingPort=6002\nHTTPPort=8080\nCameraUserName=admin\nCameraPassword=pw\n"),
              std::string::npos);
    EXPECT_NE(first.find("EnablePTZ=1\nPTZProtocolSourceType=1\nPTZVender=\nPTZProtocol=\n"
                         "PTZProtocolFileName=/opt/protocol/Pelco-D.ptz\nJoinPatorlGroup=1\n"),
              std::string::npos);
    EXPECT_NE(first.find("PTZAddressID=3\nStreamingType=1\nPTZSpeed=3\n"), std::string::npos);
    const std::string spare = text.substr(text.find("[1]"), text.find("[2]") - text.find("[1]"));
    EXPECT_NE(spare.find("CameraName=Camera - 2\n"), std::string::npos);
    EXPECT_NE(spare.find("JoinPatorlGroup=0\n"), std::string::npos);
    EXPECT_NE(spare.find("EnablePTZ=0\n"), std::string::npos);
}

} // namespace
} // namespace camsim
