// The HTTP transport against a server on 127.0.0.1 that answers, stays
// silent or answers far too much.
#include "onvif/soap_transport.h"

#include <camsim/tcp_server.h>
#include <platform/network_guard.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace onvif {
namespace {

using Clock = std::chrono::steady_clock;

enum class Mode { Answer, Silent, Huge };

// Reads one request (head and body) and answers as the mode says.
class ScriptedServer {
public:
    ScriptedServer() {
        started_ = server_.start("127.0.0.1", 0, [this](const std::shared_ptr<camsim::Connection>& c) { serve(c); });
    }
    ~ScriptedServer() { server_.stop(); }

    bool started() const { return started_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(server_.port()) + "/onvif/device_service"; }
    std::atomic<Mode> mode{Mode::Answer};
    std::atomic<int> requests{0};

private:
    void serve(const std::shared_ptr<camsim::Connection>& c) {
        std::string head;
        char byte = 0;
        while (head.find("\r\n\r\n") == std::string::npos) {
            if (c->socket().receiveAll(&byte, 1, platform::deadlineAfter(2000)).status != platform::RecvStatus::Ok) {
                return;
            }
            head += byte;
        }
        const auto at = head.find("Content-Length: ");
        std::size_t length = at == std::string::npos ? 0 : std::stoul(head.substr(at + 16));
        std::string body(length, '\0');
        if (length > 0 && c->socket().receiveAll(body.data(), length, platform::deadlineAfter(2000)).status !=
                              platform::RecvStatus::Ok) {
            return;
        }
        ++requests;
        if (mode.load() == Mode::Silent) {
            while (!c->isShutDown() && !c->socket().waitReadable(50)) {}
            return;
        }
        const std::string reply = mode.load() == Mode::Huge ? std::string(2 * 1024 * 1024, 'x')
                                                            : "<s:Envelope xmlns:s=\"urn:s\"><s:Body/></s:Envelope>";
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\nContent-Length: " + std::to_string(reply.size()) +
            "\r\nConnection: close\r\n\r\n" + reply;
        c->send(answer.data(), answer.size());
    }

    camsim::TcpServer server_;
    bool started_ = false;
};

class HttpSoapTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::enableLoopbackOnly();
        ASSERT_TRUE(server.started());
    }
    ScriptedServer server;
    std::unique_ptr<SoapTransport> transport = makeHttpSoapTransport();
};

TEST_F(HttpSoapTransportTest, HugeReplyIsRefusedAndTheNextCallStillWorks) {
    server.mode = Mode::Huge;
    const SoapReply refused = transport->post(server.url(), "<e/>", nullptr, 5000);
    EXPECT_FALSE(refused.answered);
    EXPECT_TRUE(refused.body.empty());
    EXPECT_NE(refused.error.find("larger"), std::string::npos) << refused.error;

    server.mode = Mode::Answer;
    const SoapReply fine = transport->post(server.url(), "<e/>", nullptr, 5000);
    EXPECT_TRUE(fine.answered) << fine.error;
    EXPECT_EQ(fine.status, 200);
}

TEST_F(HttpSoapTransportTest, SilentServerEndsAtTheDeadline) {
    server.mode = Mode::Silent;
    const auto start = Clock::now();
    const SoapReply reply = transport->post(server.url(), "<e/>", nullptr, 400);
    const auto took = Clock::now() - start;
    EXPECT_FALSE(reply.answered);
    EXPECT_EQ(server.requests.load(), 1);
    EXPECT_GE(took, std::chrono::milliseconds(350));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

TEST_F(HttpSoapTransportTest, AbortEndsACallInFlightAndLaterOnesUntilReset) {
    server.mode = Mode::Silent;
    std::thread caller([&] {
        const SoapReply reply = transport->post(server.url(), "<e/>", nullptr, 20000);
        EXPECT_FALSE(reply.answered);
    });
    while (server.requests.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto start = Clock::now();
    transport->abort();
    caller.join();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_FALSE(transport->post(server.url(), "<e/>", nullptr, 20000).answered);

    transport->reset();
    server.mode = Mode::Answer;
    EXPECT_TRUE(transport->post(server.url(), "<e/>", nullptr, 5000).answered);
}

TEST_F(HttpSoapTransportTest, AddressOutsideLoopbackIsRefusedUnderTheGuard) {
    const SoapReply reply = transport->post("http://192.168.0.100/onvif/device_service", "<e/>", nullptr, 500);
    EXPECT_FALSE(reply.answered);
    EXPECT_NE(reply.error.find("loopback-only"), std::string::npos) << reply.error;
    // A name is refused too: resolving it would already leave the machine.
    EXPECT_FALSE(transport->post("http://camera.example/onvif/device_service", "<e/>", nullptr, 500).answered);
}

} // namespace
} // namespace onvif
