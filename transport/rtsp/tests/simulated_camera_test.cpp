// Corvel-M's instance against the simulated RTSP camera: every blocking call
// ends within its deadline whatever the camera does wrong, a refused picture
// is followed by nothing before the next key record, and each key record
// alone starts a fresh libavcodec decoder (a check nobody here wrote).
#include "camsim/rtsp_camera.h"
#include "corvel/instance.h"
#include "platform/diagnostic_capture.h"
#include "platform/diagnostics.h"
#include "platform/libav_owners.h"
#include "platform/network_guard.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <chrono>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace corvel {
namespace {

using camsim::RtspCodec;
using camsim::RtspFault;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
// The smallest connect deadline the settings can give, and as short a
// silence deadline; what a call may take beyond its deadline.
constexpr int kConnectMs = 1000;
constexpr int kSilenceMs = 1000;
constexpr long kSlackMs = 500;
constexpr std::size_t kHeader = 44;

long msSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

camsim::RtspOptions cameraOptions(RtspFault fault) {
    camsim::RtspOptions o;
    o.width = kWidth;
    o.height = kHeight;
    o.keyFrameInterval = 5;
    o.user = "viewer";
    o.password = "s3cret";
    o.fault = fault;
    o.faultSettings.trickleMs = 100;
    o.faultSettings.oversizedBytes = 600000; // well above the 256,000-byte record buffer
    o.faultSettings.sessionTimeoutSeconds = 2;
    o.faultSettings.timestampJumpPacket = 5; // well inside the records a case reads
    return o;
}

// A camera with the fault and an instance set up for one of its mounts
// (or, with `refusing`, for a port nothing listens on any more).
struct Rig {
    explicit Rig(RtspFault fault, RtspCodec codec = RtspCodec::H264, int silenceMs = kSilenceMs, bool refusing = false,
                 Authentication authentication = Authentication::AsTheCameraAsks)
        : camera(cameraOptions(fault)),
          instance("Corvel-M", &locatePlainRtsp, Deadlines{kConnectMs, silenceMs, 200}, authentication) {
        platform::enableLoopbackOnly();
        started = camera.start();
        url = camera.url(codec);
        if (refusing) camera.stop();
        pointAt(url, "s3cret");
    }
    void pointAt(const std::string& url, const char* password) {
        MediaConfig c{};
        std::strncpy(c.cameraAddress, url.c_str(), sizeof c.cameraAddress - 1);
        std::strcpy(c.userName, "viewer");
        std::strncpy(c.password, password, sizeof c.password - 1);
        c.connectTimeoutSeconds = kConnectMs / 1000;
        instance.setMediaConfig(c);
    }
    bool open() { return instance.connect() == 1 && instance.startStreaming() == 1; }
    int32_t next() { return instance.getNextFrame(&kind, buffer.data(), static_cast<int32_t>(buffer.size())); }
    bool isVideo() const { return kind != static_cast<int32_t>(RecordKind::Audio); }
    bool isKey() const { return isVideo() && (buffer[5] & kRandomAccessFlag) != 0; }
    uint32_t time() const {
        uint32_t ms = 0;
        std::memcpy(&ms, buffer.data() + offsetof(FrameHeader, timeStamp), sizeof ms);
        return ms;
    }

    // What the instance tells on this thread, kept as a stream's owner keeps it.
    platform::ReasonSlot told;
    const platform::ReasonScope scope{&told};
    camsim::RtspCamera camera;
    Instance instance;
    bool started = false;
    std::string url; // the mount's, kept after a stop

    int32_t kind = 0;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(transport::kFrameBufferSize);
};

enum class AfterPlay {
    NoPlay,  // the connect fails
    Flows,   // records keep coming
    Ends,    // the reading ends (silence or a closed connection)
    Rejoins, // a picture is refused; the next video record is a key record
};

struct FaultCase {
    const char* name;
    RtspFault fault;
    bool refusing;
    Failure connectFailure;
    AfterPlay afterPlay;
    long readMs = 0;            // how long records are read at least
    const char* says = nullptr; // what the reason for an end says
};

class BoundedCallTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(BoundedCallTest, EveryCallEndsWithinItsDeadlineWithoutHarm) {
    const FaultCase& c = GetParam();
    platform::DiagnosticCapture diagnostics;
    Rig rig(c.fault, RtspCodec::H264, kSilenceMs, c.refusing);
    ASSERT_TRUE(rig.started) << rig.camera.error();

    auto start = Clock::now();
    const int32_t connected = rig.instance.connect();
    EXPECT_LE(msSince(start), kConnectMs + kSlackMs);
    EXPECT_EQ(rig.instance.session().failure(), c.connectFailure) << rig.told.last();
    if (c.afterPlay == AfterPlay::NoPlay) {
        EXPECT_EQ(connected, 0);
        EXPECT_FALSE(rig.told.last().empty());
        return;
    }
    ASSERT_EQ(connected, 1);
    ASSERT_EQ(rig.instance.startStreaming(), 1);

    constexpr int kEnough = 40;
    int records = 0;
    int videoRecords = 0;
    bool refusedSeen = false;
    uint32_t lastVideoTime = 0;
    bool ended = false;
    const auto reading = Clock::now();
    for (; records < kEnough || msSince(reading) < c.readMs; ++records) {
        start = Clock::now();
        const int32_t n = rig.next();
        EXPECT_LE(msSince(start), kSilenceMs + kSlackMs) << "record " << records;
        if ((ended = n <= 0)) break;
        ASSERT_GE(n, static_cast<int32_t>(kHeader));
        ASSERT_LE(n, static_cast<int32_t>(rig.buffer.size()));
        if (!rig.isVideo()) continue;
        EXPECT_EQ(rig.buffer[4], 3); // H.264 access unit
        EXPECT_EQ(rig.buffer[19], 3);
        // Whatever the camera's clock does, record times go steadily on.
        if (videoRecords > 0) {
            EXPECT_LE(rig.time() - lastVideoTime, 1000u) << "record " << records;
        }
        lastVideoTime = rig.time();
        ++videoRecords;
        if (c.afterPlay == AfterPlay::Rejoins && !refusedSeen &&
            diagnostics.text().find("refused a picture") != std::string::npos) {
            refusedSeen = true;
            EXPECT_TRUE(rig.isKey()) << "a record from the middle of a group followed the refused picture";
        }
    }
    switch (c.afterPlay) {
    case AfterPlay::Flows: EXPECT_FALSE(ended) << rig.told.last(); break;
    case AfterPlay::Ends:
        EXPECT_TRUE(ended);
        if (c.says != nullptr) {
            EXPECT_NE(rig.told.last().find(c.says), std::string::npos);
        }
        break;
    case AfterPlay::Rejoins:
        EXPECT_FALSE(ended);
        EXPECT_TRUE(refusedSeen) << diagnostics.text();
        break;
    case AfterPlay::NoPlay: break;
    }
    if (c.afterPlay != AfterPlay::Ends) {
        EXPECT_GT(videoRecords, 5);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BoundedCallTest,
    ::testing::Values(FaultCase{"Refused", RtspFault::None, true, Failure::Refused, AfterPlay::NoPlay},
                      FaultCase{"Silent", RtspFault::SilentAfterConnect, false, Failure::TimedOut, AfterPlay::NoPlay},
                      FaultCase{"Trickle", RtspFault::Trickle, false, Failure::TimedOut, AfterPlay::NoPlay},
                      FaultCase{"Unauthorized", RtspFault::Unauthorized, false, Failure::Unauthorized,
                                AfterPlay::NoPlay},
                      FaultCase{"Garbage", RtspFault::Garbage, false, Failure::TimedOut, AfterPlay::NoPlay},
                      FaultCase{"StallAfterPlay", RtspFault::StallAfterPlay, false, Failure::None, AfterPlay::Ends},
                      FaultCase{"CloseMidFrame", RtspFault::CloseMidFrame, false, Failure::None, AfterPlay::Ends},
                      FaultCase{"Oversized", RtspFault::OversizedFrame, false, Failure::None, AfterPlay::Rejoins},
                      FaultCase{"NoParameterSets", RtspFault::NoParameterSets, false, Failure::None, AfterPlay::Flows}),
    [](const auto& info) { return std::string(info.param.name); });

// Real cameras' quirks. A session timeout of 2 s: GET_PARAMETER keeps it
// alive, or OPTIONS where that is refused and not offered; libav keeps to a
// GET_PARAMETER the camera offers, so that session ends, saying why.
INSTANTIATE_TEST_SUITE_P(
    Quirks, BoundedCallTest,
    ::testing::Values(
        FaultCase{"ContentBaseDoubleScheme", RtspFault::ContentBaseDoubleScheme, false, Failure::None,
                  AfterPlay::Flows},
        FaultCase{"ContentBaseWithoutScheme", RtspFault::ContentBaseWithoutScheme, false, Failure::None,
                  AfterPlay::Flows},
        FaultCase{"TimestampJump", RtspFault::TimestampJump, false, Failure::None, AfterPlay::Flows},
        FaultCase{"ClockStepBack", RtspFault::ClockStepBack, false, Failure::None, AfterPlay::Flows},
        FaultCase{"SessionTimeout", RtspFault::SessionTimeout, false, Failure::None, AfterPlay::Flows, 2600},
        FaultCase{"GetParameterRefused", RtspFault::GetParameterRefused, false, Failure::None, AfterPlay::Flows, 2600},
        FaultCase{"GetParameterOfferedRefused", RtspFault::GetParameterOfferedRefused, false, Failure::None,
                  AfterPlay::Ends, 2600, "refused the keep-alive"}),
    [](const auto& info) { return std::string(info.param.name); });

// The ways a connection fails that a person can mend, each told in one line
// that says which, at once rather than at the deadline.
struct ReasonCase {
    const char* name;
    RtspFault fault;
    bool refusing;
    const char* path;     // replaces the mount's path when set
    const char* password; // the camera's is "s3cret"
    Failure failure;
    const char* says;
    Authentication authentication = Authentication::AsTheCameraAsks;
};

void PrintTo(const ReasonCase& c, std::ostream* out) { *out << c.name; }

class ConnectReasonTest : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(ConnectReasonTest, FailedConnectSaysWhyInOneLineAtOnce) {
    const ReasonCase& c = GetParam();
    platform::DiagnosticCapture diagnostics;
    Rig rig(c.fault, RtspCodec::H264, kSilenceMs, c.refusing, c.authentication);
    ASSERT_TRUE(rig.started) << rig.camera.error();
    std::string url = rig.url;
    if (c.path != nullptr) url = url.substr(0, url.rfind('/')) + c.path;
    rig.pointAt(url, c.password);

    const auto start = Clock::now();
    EXPECT_EQ(rig.instance.connect(), 0);
    EXPECT_LT(msSince(start), kConnectMs); // a wait for the deadline takes longer
    EXPECT_EQ(rig.instance.session().failure(), c.failure);
    const std::string reason = rig.told.last();
    EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
    // What a watcher prints: the newest diagnostic line, which names the
    // camera without its password.
    const auto lines = diagnostics.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(url), std::string::npos) << lines.back();
    EXPECT_NE(lines.back().find(reason), std::string::npos) << lines.back();
    EXPECT_EQ(lines.back().find('\n'), std::string::npos);
    EXPECT_EQ(diagnostics.text().find(c.password), std::string::npos) << diagnostics.text();
    EXPECT_EQ(rig.camera.basicAuthorizationsSeen(), 0);
}

INSTANTIATE_TEST_SUITE_P(Reasons, ConnectReasonTest,
                         ::testing::Values(ReasonCase{"WrongPassword", RtspFault::None, false, nullptr, "guessed",
                                                      Failure::Unauthorized, "refused the user name or password"},
                                           ReasonCase{"Refused", RtspFault::None, true, nullptr, "s3cret",
                                                      Failure::Refused, "refused the connection"},
                                           ReasonCase{"NoSuchPath", RtspFault::None, false, "/nosuch", "s3cret",
                                                      Failure::NotFound, "no stream at that path"},
                                           ReasonCase{"UnsupportedCodec", RtspFault::UnsupportedCodec, false, nullptr,
                                                      "s3cret", Failure::UnsupportedCodec,
                                                      "video is vp8, not H.264, H.265 or Motion JPEG"}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Passwords, ConnectReasonTest,
    ::testing::Values(ReasonCase{"ClosedAfterAskingForThePassword", RtspFault::CloseAfterUnauthorized, false, nullptr,
                                 "s3cret", Failure::Unauthorized, "closed the connection right after"},
                      ReasonCase{"BasicWhereOnlyDigestMay", RtspFault::BasicOnly, false, nullptr, "s3cret",
                                 Failure::BasicRefused, "Basic authentication", Authentication::DigestOnly},
                      ReasonCase{"BasicAfterDigestWhereOnlyDigestMay", RtspFault::BasicAfterDigest, false, nullptr,
                                 "s3cret", Failure::BasicRefused, "Basic authentication", Authentication::DigestOnly},
                      // The challenge is read first: what it meets is told as libav would.
                      ReasonCase{"RefusedBeforeAnyChallenge", RtspFault::None, true, nullptr, "s3cret",
                                 Failure::Refused, "refused the connection", Authentication::DigestOnly},
                      ReasonCase{"NoSuchPathAsksForNothing", RtspFault::None, false, "/nosuch", "s3cret",
                                 Failure::NotFound, "no stream at that path", Authentication::DigestOnly},
                      ReasonCase{"WrongPasswordGoesOutByDigest", RtspFault::None, false, nullptr, "guessed",
                                 Failure::Unauthorized, "refused the user name or password",
                                 Authentication::DigestOnly}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BasicAuthenticationTest, PlainRtspCameraGetsBasicWhenItAsksForIt) {
    Rig rig(RtspFault::BasicOnly);
    ASSERT_TRUE(rig.started) << rig.camera.error();
    ASSERT_TRUE(rig.open()) << rig.told.last();
    EXPECT_GT(rig.next(), 0);
    EXPECT_GT(rig.camera.basicAuthorizationsSeen(), 0);
}

TEST(BoundedDisconnectTest, DisconnectFromAnotherThreadFreesABlockedReadWithin300Ms) {
    // A silence deadline far beyond the wait, so only the disconnect can end the read.
    Rig rig(RtspFault::StallAfterPlay, RtspCodec::H264, 10000);
    ASSERT_TRUE(rig.started) << rig.camera.error();
    ASSERT_TRUE(rig.open()) << rig.told.last();
    std::atomic<bool> reading{false};
    int32_t result = 1;
    Clock::time_point returned;
    std::thread blocked([&] {
        reading.store(true);
        while (result > 0) result = rig.next(); // the records before the stall
        returned = Clock::now();
    });
    while (!reading.load()) std::this_thread::yield();
    // Long enough for the relayed records to be read and the reader to block.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const auto disconnected = Clock::now();
    rig.instance.disconnect();
    blocked.join();
    EXPECT_LE(result, 0);
    EXPECT_LE(std::chrono::duration_cast<std::chrono::milliseconds>(returned - disconnected).count(), 300);
}

// Under digest-only the camera's challenge is read first; a disconnect while
// that read waits ends it as promptly as libav's own calls.
TEST(BoundedDisconnectTest, DisconnectEndsTheChallengeReadWithin300Ms) {
    Rig rig(RtspFault::SilentAfterConnect, RtspCodec::H264, kSilenceMs, false, Authentication::DigestOnly);
    ASSERT_TRUE(rig.started) << rig.camera.error();
    std::atomic<bool> connecting{false};
    Clock::time_point returned;
    int32_t result = 1;
    std::thread blocked([&] {
        connecting.store(true);
        result = rig.instance.connect();
        returned = Clock::now();
    });
    while (!connecting.load()) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // connected, waiting for an answer
    const auto disconnected = Clock::now();
    rig.instance.disconnect();
    blocked.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(rig.instance.session().failure(), Failure::Aborted) << rig.told.last();
    EXPECT_LE(std::chrono::duration_cast<std::chrono::milliseconds>(returned - disconnected).count(), 300);
}

// Decodes one record's payload in a fresh decoder; the picture's size, or
// 0 x 0 when no picture came.
std::pair<int, int> decodeAlone(AVCodecID id, const uint8_t* record, int32_t length) {
    std::vector<uint8_t> data(record + kHeader, record + length);
    data.resize(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    platform::av::CodecContextPtr context(avcodec_alloc_context3(avcodec_find_decoder(id)));
    platform::av::PacketPtr packet(av_packet_alloc());
    platform::av::FramePtr frame(av_frame_alloc());
    std::pair<int, int> size{0, 0};
    if (context && packet && frame && avcodec_open2(context.get(), nullptr, nullptr) == 0) {
        packet->data = data.data();
        packet->size = length - static_cast<int32_t>(kHeader);
        avcodec_send_packet(context.get(), packet.get());
        avcodec_send_packet(context.get(), nullptr); // nothing else comes
        if (avcodec_receive_frame(context.get(), frame.get()) == 0) size = {frame->width, frame->height};
        packet->data = nullptr;
    }
    return size;
}

struct KeyCase {
    const char* name;
    RtspCodec codec;
    RtspFault fault;
    AVCodecID id;
};

class KeyRecordTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyRecordTest, EveryKeyRecordAloneStartsAFreshDecoder) {
    Rig rig(GetParam().fault, GetParam().codec);
    ASSERT_TRUE(rig.started) << rig.camera.error();
    ASSERT_TRUE(rig.open()) << rig.told.last();
    int keys = 0;
    int others = 0;
    int32_t n = 0;
    while (keys < 3 && (n = rig.next()) > static_cast<int32_t>(kHeader)) {
        if (!rig.isVideo()) continue;
        EXPECT_EQ(rig.buffer[4], static_cast<uint8_t>(GetParam().codec == RtspCodec::H264   ? 3
                                                      : GetParam().codec == RtspCodec::H265 ? 4
                                                                                            : 5));
        if (!rig.isKey()) {
            ++others;
            continue;
        }
        ++keys;
        EXPECT_EQ(decodeAlone(GetParam().id, rig.buffer.data(), n), std::make_pair(kWidth, kHeight)) << "key " << keys;
    }
    EXPECT_EQ(keys, 3);
    // Only Motion JPEG is all key pictures; the others had groups of five.
    if (GetParam().codec != RtspCodec::Mjpeg) {
        EXPECT_GE(others, 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Codecs, KeyRecordTest,
                         ::testing::Values(KeyCase{"H264", RtspCodec::H264, RtspFault::None, AV_CODEC_ID_H264},
                                           KeyCase{"H265", RtspCodec::H265, RtspFault::None, AV_CODEC_ID_HEVC},
                                           KeyCase{"Mjpeg", RtspCodec::Mjpeg, RtspFault::None, AV_CODEC_ID_MJPEG},
                                           KeyCase{"H264WithoutSessionParameterSets", RtspCodec::H264,
                                                   RtspFault::NoParameterSets, AV_CODEC_ID_H264},
                                           KeyCase{"H265WithoutSessionParameterSets", RtspCodec::H265,
                                                   RtspFault::NoParameterSets, AV_CODEC_ID_HEVC}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace corvel
