// The RTSP path under loopback-only mode: a camera outside 127.0.0.0/8 is
// refused before libavformat opens a socket, and a camera that sends the
// client elsewhere (a redirect) is not followed. Every address involved is
// either refused before use or on loopback, so no packet leaves the machine.
#include "corvel/instance.h"

#include "platform/diagnostics.h"
#include "platform/network_guard.h"
#include "platform/tcp_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <dirent.h>
#include <string>
#include <thread>

namespace {

int openDescriptors() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) ++count;
        ::closedir(dir);
    }
    return count;
}

MediaConfig cameraAt(const std::string& address) {
    MediaConfig c{};
    std::strncpy(c.cameraAddress, address.c_str(), sizeof c.cameraAddress - 1);
    c.connectTimeoutSeconds = 2;
    return c;
}

class RtspLoopbackGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::enableLoopbackOnly();
        ASSERT_TRUE(platform::loopbackOnly());
    }
};

TEST_F(RtspLoopbackGuardTest, CameraOutsideLoopbackIsRefusedBeforeAnySocketExists) {
    for (const char* address : {"192.168.0.100", "rtsp://192.0.2.1:554/h264", "rtsp://camera.example/h264"}) {
        corvel::Instance instance("Corvel-M", &corvel::locatePlainRtsp);
        instance.setMediaConfig(cameraAt(address));
        const int before = openDescriptors();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(instance.connect(), 0) << address;
        EXPECT_EQ(openDescriptors(), before) << address;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << address;
    }
}

TEST_F(RtspLoopbackGuardTest, RedirectIsNotFollowed) {
    // The place the redirect names is on loopback too, so that the test can
    // see whether anyone came.
    platform::TcpListener elsewhere;
    ASSERT_TRUE(elsewhere.listen("127.0.0.1", 0));
    platform::TcpListener camera;
    ASSERT_TRUE(camera.listen("127.0.0.1", 0));
    std::thread server([&] {
        platform::TcpSocket client = camera.accept(5000);
        if (!client.isOpen()) return;
        char request[2048];
        std::string text;
        while (text.find("\r\n\r\n") == std::string::npos) {
            client.setReceiveTimeout(5000);
            const auto got = client.receiveSome(request, sizeof request);
            if (got.status != platform::RecvStatus::Ok) return;
            text.append(request, got.bytes);
        }
        const std::string answer =
            "RTSP/1.0 302 Moved\r\nCSeq: 1\r\nLocation: rtsp://127.0.0.1:" + std::to_string(elsewhere.port()) +
            "/h264\r\n\r\n";
        client.sendAll(answer.data(), answer.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });

    corvel::Instance instance("Corvel-M", &corvel::locatePlainRtsp);
    instance.setMediaConfig(cameraAt("rtsp://127.0.0.1:" + std::to_string(camera.port()) + "/h264"));
    platform::ReasonSlot told;
    const platform::ReasonScope scope(&told);
    EXPECT_EQ(instance.connect(), 0);
    server.join();
    EXPECT_EQ(instance.session().failure(), corvel::Failure::GuardRefused) << told.last();
    EXPECT_FALSE(elsewhere.accept(100).isOpen());
}

} // namespace
