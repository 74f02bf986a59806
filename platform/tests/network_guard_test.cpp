#include "platform/network_guard.h"

#include "platform/http_get.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>

namespace {

// Descriptors open in this process, so a test can tell that no socket was made.
int openDescriptors() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) ++count;
        ::closedir(dir);
    }
    return count;
}

// Every case here runs under the guard, and proves that the guard is on before
// it names an address outside loopback.
class LoopbackGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::enableLoopbackOnly();
        ASSERT_TRUE(platform::loopbackOnly());
        ASSERT_FALSE(platform::mayConnectTo(kDefaultCamera));
    }

    static constexpr const char* kDefaultCamera = "192.168.0.100";
};

TEST_F(LoopbackGuardTest, KnowsTheLoopbackNetwork) {
    EXPECT_TRUE(platform::isLoopbackAddress("127.0.0.1"));
    EXPECT_TRUE(platform::isLoopbackAddress("127.255.255.254"));
    EXPECT_FALSE(platform::isLoopbackAddress("128.0.0.1"));
    EXPECT_FALSE(platform::isLoopbackAddress("10.127.0.1"));
    EXPECT_FALSE(platform::isLoopbackAddress("localhost"));
    EXPECT_FALSE(platform::isLoopbackAddress(""));
}

TEST_F(LoopbackGuardTest, SocketToDefaultCameraIsRefusedBeforeAnySocketExists) {
    platform::TcpSocket socket;
    const int before = openDescriptors();
    EXPECT_FALSE(socket.connect(kDefaultCamera, 6001, 3000));
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(socket.lastError(), EACCES);
    EXPECT_FALSE(socket.isOpen());
}

TEST_F(LoopbackGuardTest, SocketToLoopbackStillConnects) {
    platform::TcpListener listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    platform::TcpSocket socket;
    EXPECT_TRUE(socket.connect("127.0.0.1", listener.port(), 1000));
}

// Joining a group is announced on the interface: only loopback's may be used.
TEST_F(LoopbackGuardTest, MulticastGroupIsJoinedOnlyOnLoopback) {
    platform::UdpSocket socket;
    ASSERT_TRUE(socket.bind("239.255.255.250", 0));
    EXPECT_FALSE(socket.joinGroup("239.255.255.250", kDefaultCamera));
    EXPECT_EQ(socket.lastError(), EACCES);
}

TEST_F(LoopbackGuardTest, HttpToDefaultCameraIsRefusedWithAReason) {
    platform::HttpGetRequest request;
    request.url = std::string("http://") + kDefaultCamera + ":80/cgi-bin/quad?DISPLAY=1";
    request.timeoutMs = 3000;
    const platform::HttpGetResult result = platform::httpGet(request);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.errorText.find("loopback-only"), std::string::npos) << result.errorText;
    EXPECT_NE(result.errorText.find(kDefaultCamera), std::string::npos) << result.errorText;
}

TEST_F(LoopbackGuardTest, HttpToANameIsRefusedWithoutResolvingIt) {
    platform::HttpGetRequest request;
    request.url = "http://localhost:1/cgi-bin/mpeg4";
    const platform::HttpGetResult result = platform::httpGet(request);
    EXPECT_FALSE(result.completed);
    EXPECT_NE(result.errorText.find("loopback-only"), std::string::npos) << result.errorText;
}

TEST_F(LoopbackGuardTest, HttpToLoopbackIsNotRefusedByTheGuard) {
    platform::TcpListener listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    const uint16_t closedPort = listener.port();
    listener.close();
    platform::HttpGetRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(closedPort) + "/";
    request.timeoutMs = 2000;
    const platform::HttpGetResult result = platform::httpGet(request);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.errorText.find("loopback-only"), std::string::npos) << result.errorText;
}

} // namespace
