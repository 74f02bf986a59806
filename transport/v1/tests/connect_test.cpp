#include "plugin_fixture.h"

#include "platform/diagnostic_capture.h"
#include "platform/tcp_socket.h"

#include <string>

namespace fenwa10::test {
namespace {

using camsim::Channel;

std::string digestField(const std::vector<uint8_t>& record, std::size_t offset) {
    return std::string(record.begin() + static_cast<long>(offset), record.begin() + static_cast<long>(offset) + 32);
}

bool zeros(const std::vector<uint8_t>& v, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (v[i] != 0) return false;
    }
    return true;
}

using ConnectTest = PluginTest;

TEST_F(ConnectTest, LoginRecordCarriesDigestsOfKnownUserAndPassword) {
    // RFC 1321 test strings, so the digests are known without our code.
    options.user = "abc";
    options.password = "message digest";
    startCamera();
    std::strcpy(config.cameraAddress + 16, "10.1.2.3");
    M_XSetMediaConfig(handle, &config);
    ASSERT_EQ(M_XConnect(handle), 1);
    auto login = camera->recording().on(Channel::Login);
    ASSERT_EQ(login.size(), 2u);
    EXPECT_EQ(login[0].type, 0u);
    EXPECT_TRUE(login[0].payload.empty());
    ASSERT_EQ(login[1].type, 1u);
    const auto& r = login[1].payload;
    ASSERT_EQ(r.size(), 120u);
    EXPECT_EQ(digestField(r, 0), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digestField(r, 40), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_TRUE(zeros(r, 32, 40));
    EXPECT_TRUE(zeros(r, 72, 96));
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 96, r.begin() + 104), (std::vector<uint8_t>{0, 2, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(transport::getUint32Le(r.data() + 104), 0x51u);
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 108, r.begin() + 116),
              (std::vector<uint8_t>{127, 0, 0, 1, 10, 1, 2, 3}));
    EXPECT_TRUE(zeros(r, 116, 120));
}

TEST_F(ConnectTest, EmptyUserAndPasswordAreDigestedAsEmptyStrings) {
    options.user = "";
    options.password = "";
    startCamera();
    ASSERT_EQ(M_XConnect(handle), 1);
    auto login = camera->recording().on(Channel::Login);
    ASSERT_EQ(login.size(), 2u);
    EXPECT_EQ(digestField(login[1].payload, 0), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(digestField(login[1].payload, 40), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(ConnectTest, ConnectionNumberZeroFailsWithoutLoginRecord) {
    startCamera();
    camera->faults().zeroConnectionNumber = true;
    EXPECT_EQ(M_XConnect(handle), 0);
    EXPECT_EQ(camera->recording().typesOn(Channel::Login), std::vector<uint32_t>{0});
    EXPECT_TRUE(camera->recording().on(Channel::Control).empty());
}

TEST_F(ConnectTest, RefusedLoginLeavesNoChannelOpen) {
    startCamera();
    camera->faults().refuseLogin = true;
    EXPECT_EQ(M_XConnect(handle), 0);
    EXPECT_EQ(instance().loginState(), 0);
    EXPECT_EQ(instance().control().state(), 0);
    EXPECT_EQ(instance().media().state(), 0);
    EXPECT_TRUE(camera->recording().on(Channel::Control).empty());
    EXPECT_TRUE(camera->recording().on(Channel::Media).empty());
    TransportCommand c{transport::kCommandSerial, "x", 1, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(handle, &c, nullptr), 0);
}

TEST_F(ConnectTest, WrongPasswordIsRefusedByTheCamera) {
    startCamera();
    std::strcpy(config.password, "guess");
    M_XSetMediaConfig(handle, &config);
    platform::DiagnosticCapture reasons;
    EXPECT_EQ(M_XConnect(handle), 0);
    EXPECT_EQ(instance().control().state(), 0);
    ASSERT_EQ(reasons.lines().size(), 1u);
    EXPECT_EQ(reasons.lines()[0],
              "Fenwa10-M: connect to 127.0.0.1 failed at the login: login refused for user \"operator\"");
}

TEST_F(ConnectTest, RefusedMediaAttachFailsAndClosesEverything) {
    startCamera();
    camera->faults().refuseMediaAttach = true;
    platform::DiagnosticCapture reasons;
    EXPECT_EQ(M_XConnect(handle), 0);
    EXPECT_NE(reasons.text().find("failed at the media channel: the camera did not accept the connection number"),
              std::string::npos)
        << reasons.text();
    EXPECT_EQ(instance().control().state(), 0);
    EXPECT_EQ(instance().media().state(), 0);
    EXPECT_EQ(instance().media().lastError(), kErrorMediaRefused);
}

TEST_F(ConnectTest, ClosedPortFailsTheConnect) {
    startCamera();
    platform::TcpListener probe;
    ASSERT_TRUE(probe.listen("127.0.0.1", 0));
    config.registerPort = probe.port();
    probe.close(); // nothing listens there any more
    M_XSetMediaConfig(handle, &config);
    platform::DiagnosticCapture reasons;
    EXPECT_EQ(M_XConnect(handle), 0);
    EXPECT_TRUE(camera->recording().snapshot().empty());
    EXPECT_EQ(reasons.text(), "Fenwa10-M: connect to 127.0.0.1 failed at the login channel (port " +
                                  std::to_string(config.registerPort) + "): connection refused\n");
}

TEST_F(ConnectTest, EveryMessageOfAConnectionInOrder) {
    startStreaming();
    M_XStopStreaming(handle);
    M_XDisconnect(handle);
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 18, 5000));
    EXPECT_EQ(camera->recording().typesOn(Channel::Login), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(camera->recording().typesOn(Channel::Media), std::vector<uint32_t>{2});
    EXPECT_EQ(camera->recording().typesOn(Channel::Control), (std::vector<uint32_t>{2, 32, 32, 33, 34, 35, 18}));
    auto control = camera->recording().on(Channel::Control);
    EXPECT_EQ(control[0].payload, (std::vector<uint8_t>{0x51, 0, 0, 0}));
    for (std::size_t i = 1; i < control.size(); ++i) EXPECT_TRUE(control[i].payload.empty()) << i;
    EXPECT_EQ(camera->recording().on(Channel::Media)[0].payload, (std::vector<uint8_t>{0x51, 0, 0, 0}));
    // The login channel is closed before the first frame is asked for.
    auto all = camera->recording().snapshot();
    EXPECT_EQ(all.front().channel, Channel::Login);
}

TEST_F(ConnectTest, ConnectionTypeFourStartsTheStreamWith35) {
    startCamera();
    config.connectionType = 4;
    M_XSetMediaConfig(handle, &config);
    ASSERT_EQ(M_XConnect(handle), 1);
    ASSERT_EQ(M_XStartStreaming(handle), 1);
    ASSERT_TRUE(camera->recording().waitFor(Channel::Control, 35, 5000));
    auto types = camera->recording().typesOn(Channel::Control);
    EXPECT_EQ(types, (std::vector<uint32_t>{2, 32, 32, 33, 35}));
}

TEST_F(ConnectTest, SecondConnectWhileAttachedFailsAndClosesAll) {
    startCamera();
    ASSERT_EQ(M_XConnect(handle), 1);
    EXPECT_EQ(M_XConnect(handle), 0);
    EXPECT_EQ(instance().control().state(), 0);
    EXPECT_EQ(instance().media().state(), 0);
}

TEST_F(ConnectTest, InstanceConnectsAgainAfterDisconnect) {
    startStreaming();
    M_XDisconnect(handle);
    M_XStopStreaming(handle);
    ASSERT_EQ(M_XConnect(handle), 1);
    ASSERT_EQ(M_XStartStreaming(handle), 1);
    ASSERT_TRUE(sendPredicted(100));
    EXPECT_EQ(nextFrame(), 12 + 16 + 100 + 32);
}

TEST_F(ConnectTest, StartStreamingBeforeConnectFails) {
    startCamera();
    EXPECT_EQ(M_XStartStreaming(handle), 0);
    EXPECT_TRUE(camera->recording().snapshot().empty());
}

} // namespace
} // namespace fenwa10::test
