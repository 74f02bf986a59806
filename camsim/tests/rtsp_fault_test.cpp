// Each fault of the simulated RTSP camera does on the wire what it says, as
// a bare socket and an independent client (libavformat) see it.
#include "camsim/rtsp_camera.h"
#include "rtsp_test_client.h"

#include "platform/tcp_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace camsim {
namespace {

using Clock = std::chrono::steady_clock;

int64_t msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A camera without authentication, so a bare socket can talk to it.
std::unique_ptr<RtspCamera> faultyCamera(RtspFault fault, int trickleMs = 50) {
    RtspOptions o;
    o.width = 160;
    o.height = 120;
    o.frameRate = 25;
    o.user.clear();
    o.fault = fault;
    o.faultSettings.trickleMs = trickleMs;
    auto camera = std::make_unique<RtspCamera>(o);
    EXPECT_TRUE(camera->start()) << camera->error();
    return camera;
}

class RawClient {
public:
    explicit RawClient(uint16_t port) { EXPECT_TRUE(socket_.connect("127.0.0.1", port, 2000)); }
    void request(const std::string& method, const std::string& url, int cseq, const std::string& extra = "") {
        const std::string text =
            method + " " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) + "\r\n" + extra + "\r\n";
        ASSERT_TRUE(socket_.sendAll(text.data(), text.size()));
    }
    // Whatever arrives within `ms`.
    std::string receiveFor(int ms) {
        std::string got;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            if (!socket_.waitReadable(10)) continue;
            char buffer[4096];
            const auto r = socket_.receiveSome(buffer, sizeof buffer);
            if (r.status != platform::RecvStatus::Ok) break;
            got.append(buffer, r.bytes);
        }
        return got;
    }
    // One whole response (headers and body), within 3 s.
    std::string response() {
        std::string got;
        const auto end = Clock::now() + std::chrono::seconds(3);
        while (Clock::now() < end) {
            const std::size_t head = got.find("\r\n\r\n");
            if (head != std::string::npos) {
                const std::size_t at = got.find("Content-Length: ");
                const std::size_t body = at == std::string::npos ? 0 : std::stoul(got.substr(at + 16));
                if (got.size() >= head + 4 + body) return got;
            }
            got += receiveFor(10);
        }
        return got;
    }

private:
    platform::TcpSocket socket_;
};

TEST(RtspFaultTest, SilentCameraAcceptsAndNeverAnswers) {
    auto camera = faultyCamera(RtspFault::SilentAfterConnect);
    RawClient client(camera->port());
    client.request("OPTIONS", camera->url(RtspCodec::H264), 1);
    EXPECT_EQ(client.receiveFor(300), "");
    const auto start = Clock::now();
    const test::RtspProbe p = test::probeRtsp(camera->url(RtspCodec::H264), 600);
    EXPECT_NE(p.error, 0);
    EXPECT_GE(msSince(start), 550); // it waited for the deadline, not for a refusal
}

TEST(RtspFaultTest, TrickleSendsOneByteAtATime) {
    auto camera = faultyCamera(RtspFault::Trickle, 20);
    RawClient client(camera->port());
    client.request("OPTIONS", camera->url(RtspCodec::H264), 1);
    const std::string early = client.receiveFor(300);
    EXPECT_GE(early.size(), 3u);
    EXPECT_LE(early.size(), 300u / 20 + 2);
    EXPECT_EQ(early, std::string("RTSP/1.0 200 OK\r\n").substr(0, early.size()));
}

TEST(RtspFaultTest, UnauthorizedAnswersEveryRequestWithAFreshChallenge) {
    auto camera = faultyCamera(RtspFault::Unauthorized);
    RawClient client(camera->port());
    const std::string url = camera->url(RtspCodec::H264);
    client.request("DESCRIBE", url, 1);
    const std::string first = client.response();
    client.request("DESCRIBE", url, 2,
                   "Authorization: Digest username=\"admin\", realm=\"camsim\", nonce=\"x\", uri=\"" + url +
                       "\", response=\"00\"\r\n");
    const std::string second = client.response();
    EXPECT_EQ(first.rfind("RTSP/1.0 401", 0), 0u) << first;
    EXPECT_EQ(second.rfind("RTSP/1.0 401", 0), 0u) << second;
    EXPECT_NE(second.find("CSeq: 2"), std::string::npos);
    EXPECT_NE(first.substr(first.find("nonce=")), second.substr(second.find("nonce=")));
    EXPECT_NE(test::probeRtsp(test::withCredentials(url, "admin", "admin"), 3000).error, 0);
}

TEST(RtspFaultTest, GarbageIsNoRtspAnswer) {
    auto camera = faultyCamera(RtspFault::Garbage);
    RawClient client(camera->port());
    client.request("OPTIONS", camera->url(RtspCodec::H264), 1);
    const std::string answer = client.receiveFor(300);
    EXPECT_GE(answer.size(), 1024u);
    EXPECT_EQ(answer.find("RTSP/1.0"), std::string::npos);
    EXPECT_NE(test::probeRtsp(camera->url(RtspCodec::H264), 1000).error, 0);
}

TEST(RtspFaultTest, NoParameterSetsLeavesThemOutOfTheDescriptionOnly) {
    auto plain = faultyCamera(RtspFault::None);
    auto camera = faultyCamera(RtspFault::NoParameterSets);
    for (RtspCodec codec : {RtspCodec::H264, RtspCodec::H265}) {
        RawClient plainClient(plain->port()), client(camera->port());
        plainClient.request("DESCRIBE", plain->url(codec), 1, "Accept: application/sdp\r\n");
        client.request("DESCRIBE", camera->url(codec), 1, "Accept: application/sdp\r\n");
        const std::string withSets = plainClient.response(), without = client.response();
        EXPECT_NE(withSets.find("sprop-"), std::string::npos) << withSets;
        EXPECT_EQ(without.rfind("RTSP/1.0 200", 0), 0u) << without;
        EXPECT_EQ(without.find("sprop-"), std::string::npos) << without;
        EXPECT_NE(without.find("a=fmtp:96"), std::string::npos) << without;
    }
    // In-band parameter sets still make pictures.
    const test::RtspProbe p = test::probeRtsp(camera->url(RtspCodec::H264), 5000);
    EXPECT_EQ(p.error, 0) << p.errorText;
    EXPECT_EQ(p.picture.width, 160);
}

TEST(RtspFaultTest, StallAfterPlayKeepsTheSessionButSendsNoPicture) {
    auto camera = faultyCamera(RtspFault::StallAfterPlay);
    const test::RtspProbe p = test::probeRtsp(camera->url(RtspCodec::H264), 1000);
    EXPECT_FALSE(p.streams.empty()) << "the session was set up and played";
    EXPECT_NE(p.error, 0);
    EXPECT_EQ(p.picturesDecoded, 0);
}

TEST(RtspFaultTest, CloseMidFrameEndsTheStreamInsideAPacket) {
    auto camera = faultyCamera(RtspFault::CloseMidFrame);
    const auto start = Clock::now();
    const test::RtspProbe p = test::probeRtsp(camera->url(RtspCodec::H264), 5000, 100);
    EXPECT_FALSE(p.streams.empty());
    EXPECT_NE(p.error, 0);
    EXPECT_LT(p.picturesDecoded, 5);
    EXPECT_LT(msSince(start), 3000) << "the close, not the deadline, ended the stream";
}

class RtspContentBaseTest : public ::testing::TestWithParam<RtspFault> {};

TEST_P(RtspContentBaseTest, SpoiltContentBaseStillTakesRequests) {
    auto camera = faultyCamera(GetParam());
    RawClient client(camera->port());
    const std::string url = camera->url(RtspCodec::H264);
    client.request("DESCRIBE", url, 1, "Accept: application/sdp\r\n");
    const std::string described = client.response();
    const std::string spoilt =
        GetParam() == RtspFault::ContentBaseDoubleScheme ? "rtsp://" + url + "/" : url.substr(7) + "/";
    ASSERT_NE(described.find("Content-Base: " + spoilt + "\r\n"), std::string::npos) << described;
    client.request("SETUP", spoilt + "stream=0", 2, "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n");
    EXPECT_EQ(client.response().rfind("RTSP/1.0 200", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Faults, RtspContentBaseTest,
                         ::testing::Values(RtspFault::ContentBaseDoubleScheme, RtspFault::ContentBaseWithoutScheme),
                         [](const auto& info) {
                             return std::string(info.param == RtspFault::ContentBaseDoubleScheme ? "DoubleScheme"
                                                                                                 : "WithoutScheme");
                         });

class RtspOversizedTest : public ::testing::TestWithParam<RtspCodec> {};

TEST_P(RtspOversizedTest, OneAccessUnitFarAboveAnySaneSize) {
    auto camera = faultyCamera(RtspFault::OversizedFrame);
    const test::RtspProbe p = test::probeRtsp(camera->url(GetParam()), 8000, 12);
    EXPECT_GE(p.largestPacket, camera->options().faultSettings.oversizedBytes);
    // The stream goes on after it: the renumbered packets still decode.
    EXPECT_EQ(p.picturesDecoded, 12) << p.errorText;
}

INSTANTIATE_TEST_SUITE_P(Codecs, RtspOversizedTest,
                         ::testing::Values(RtspCodec::H264, RtspCodec::H265, RtspCodec::Mjpeg),
                         [](const auto& info) { return std::string(rtspMountName(info.param)); });

} // namespace
} // namespace camsim
