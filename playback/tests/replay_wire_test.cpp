// What a replay session puts on the wire and reads back from it: the
// request headers, and the replay header extension of each packet. The
// NTP values are worked by hand (1970 is 0x83AA7E80 seconds after 1900;
// 0.04 s is 0x0A3D70A3 in 2^-32 s), not by the code under test.
#include "play_answer_filter.h"
#include "replay_failure.h"
#include "replay_request.h"
#include "replay_stamp.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace playback {
namespace {

constexpr int64_t k190100 = 1796842860000; // 2026-12-09T19:01:00Z

TEST(ReplayRequestTest, HeadersOfEachStep) {
    const struct {
        const char* what;
        RtspStep step;
        ReplayRequest request;
        std::vector<HeaderLine> expected;
    } cases[] = {
        {"setup", RtspStep::Setup, {k190100, 1}, {{"Require", "onvif-replay"}}},
        {"other requests carry nothing", RtspStep::Other, {k190100, 4, true}, {}},
        {"play at 1x",
         RtspStep::Play,
         {k190100 + 250, 1},
         {{"Require", "onvif-replay"}, {"Range", "clock=20261209T190100.250Z-"}, {"Rate-Control", "no"}}},
        {"half speed",
         RtspStep::Play,
         {k190100, 0.5},
         {{"Require", "onvif-replay"}, {"Range", "clock=20261209T190100Z-"}, {"Rate-Control", "no"}, {"Scale", "0.5"}}},
        {"fast forward on key pictures",
         RtspStep::Play,
         {k190100 + 7, 8, true},
         {{"Require", "onvif-replay"},
          {"Range", "clock=20261209T190100.007Z-"},
          {"Rate-Control", "no"},
          {"Scale", "8"},
          {"Frames", "intra"}}},
        {"key pictures at most every 500 ms",
         RtspStep::Play,
         {k190100, 4, true, 500},
         {{"Require", "onvif-replay"},
          {"Range", "clock=20261209T190100Z-"},
          {"Rate-Control", "no"},
          {"Scale", "4"},
          {"Frames", "intra/500"}}},
        {"reverse",
         RtspStep::Play,
         {k190100, -2, true},
         {{"Require", "onvif-replay"},
          {"Range", "clock=20261209T190100Z-"},
          {"Rate-Control", "no"},
          {"Scale", "-2"},
          {"Frames", "intra"}}},
        {"a camera that reads Speed",
         RtspStep::Play,
         {k190100, 2, false, 0, RateHeader::Speed},
         {{"Require", "onvif-replay"}, {"Range", "clock=20261209T190100Z-"}, {"Rate-Control", "no"}, {"Speed", "2"}}},
        {"a time before 1970 starts at 1970",
         RtspStep::Play,
         {-5, 1},
         {{"Require", "onvif-replay"}, {"Range", "clock=19700101T000000Z-"}, {"Rate-Control", "no"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(replayHeaders(c.step, c.request), c.expected);
        for (const HeaderLine& line : c.expected) {
            EXPECT_NE(std::find(replayHeaderNames().begin(), replayHeaderNames().end(), line.name),
                      replayHeaderNames().end());
        }
    }
}

std::vector<uint8_t> stampBytes(uint32_t seconds, uint32_t fraction, uint8_t flags, uint8_t cseq, int extraWords = 0) {
    std::vector<uint8_t> b = {uint8_t(seconds >> 24),
                              uint8_t(seconds >> 16),
                              uint8_t(seconds >> 8),
                              uint8_t(seconds),
                              uint8_t(fraction >> 24),
                              uint8_t(fraction >> 16),
                              uint8_t(fraction >> 8),
                              uint8_t(fraction),
                              flags,
                              cseq,
                              0,
                              0};
    b.resize(b.size() + 4 * static_cast<std::size_t>(extraWords), 0xEE);
    return b;
}

ReplayStamp stamp(int64_t unixUs, bool c, bool e, bool d, bool t, uint8_t cseq) {
    ReplayStamp s;
    s.timeKnown = true;
    s.unixUs = unixUs;
    s.clean = c;
    s.end = e;
    s.discontinuity = d;
    s.terminal = t;
    s.cseq = cseq;
    return s;
}

TEST(ReplayStampTest, ReadsTimeFlagsAndCseq) {
    const uint32_t at190100 = 0xEEC423EC; // 2026-12-09T19:01:00Z in NTP seconds
    ReplayStamp unknown;
    unknown.clean = true;
    unknown.cseq = 3;
    const struct {
        const char* what;
        uint16_t profile;
        std::vector<uint8_t> data;
        std::optional<ReplayStamp> expected;
    } cases[] = {
        {"1970 itself", 0xABAC, stampBytes(0x83AA7E80, 0, 0, 0), stamp(0, false, false, false, false, 0)},
        {"a key picture after a new PLAY", 0xABAC, stampBytes(at190100, 0, 0xA0, 5),
         stamp(k190100 * 1000, true, false, true, false, 5)},
        {"40 ms, rounded to the microsecond", 0xABAC, stampBytes(at190100, 0x0A3D70A3, 0x00, 5),
         stamp(k190100 * 1000 + 40000, false, false, false, false, 5)},
        {"the last packet before a gap", 0xABAC, stampBytes(at190100, 0x40000000, 0x40, 255),
         stamp(k190100 * 1000 + 250000, false, true, false, false, 255)},
        {"the very last packet", 0xABAC, stampBytes(at190100, 0x80000000, 0x50, 9),
         stamp(k190100 * 1000 + 500000, false, true, false, true, 9)},
        {"reserved flag bits are ignored", 0xABAC, stampBytes(at190100, 0, 0x8F, 1),
         stamp(k190100 * 1000, true, false, false, false, 1)},
        {"after 2036: the top bit of the seconds is clear", 0xABAC, stampBytes(0, 0, 0, 0),
         stamp(2085978496LL * 1000000, false, false, false, false, 0)},
        {"all ones: no time", 0xABAC, stampBytes(0xFFFFFFFF, 0xFFFFFFFF, 0x80, 3), unknown},
        {"longer data (a camera's own words after ours)", 0xABAC, stampBytes(at190100, 0, 0x80, 2, 2),
         stamp(k190100 * 1000, true, false, false, false, 2)},
        {"another profile", 0xBEDE, stampBytes(at190100, 0, 0x80, 2), std::nullopt},
        {"two words are too short", 0xABAC, std::vector<uint8_t>(8, 0), std::nullopt},
        {"no data", 0xABAC, {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readReplayStamp(c.profile, c.data), c.expected);
    }
}

} // namespace
} // namespace playback

namespace playback {
namespace {

TEST(ReplayFailureTest, OneLineForWhatTheCameraOrTheSourceSaid) {
    using Kind = SourceError::Kind;
    const std::string at = "../gst/rtsp/gstrtspsrc.c(7867): gst_rtspsrc_setup_streams_start (): /GstPipeline:replay:\n";
    const struct {
        SourceError error;
        std::string expected;
    } cases[] = {
        {{Kind::Other, "Could not write to resource.", at + "Error (551): Option not supported"},
         "the camera refused replay (551 Option not supported)"},
        {{Kind::NotFound, "Not found", at + "Error (404): Not Found"},
         "the camera does not hold this recording (404 Not Found)"},
        {{Kind::NotFound, "Not found", at}, "the camera does not hold this recording"},
        {{Kind::NotAuthorized, "Unauthorized", at}, "the camera refused the user name or password for replay"},
        {{Kind::Other, "", at + "Error (501): Not Implemented."},
         "the camera does not offer this kind of replay (501 Not Implemented)"},
        {{Kind::Other, "", at + "Error (457): Invalid Range"},
         "the camera has no recording at that time (457 Invalid Range)"},
        {{Kind::Other, "", at + "Error (503): Service Unavailable"},
         "the camera refused replay (503 Service Unavailable)"},
        {{Kind::Timeout, "", ""}, "the camera did not answer the replay request within 2.5 s"},
        {{Kind::Other, "Could not open",
          at + "Could not connect to server. (Timeout while waiting for server response)"},
         "the camera did not answer the replay request within 2.5 s"},
        {{Kind::Other, "Could not open", at + "Failed to connect. (Connection refused)"},
         "nothing answers at the camera's replay address (connection refused)"},
        {{Kind::Other, "Internal data stream error.", at + "streaming stopped, reason not-negotiated (-4)"},
         "replay failed: Internal data stream error."},
        {{Kind::Other, "", "Error (9999): nonsense"}, "replay failed: unknown error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error.debug);
        EXPECT_EQ(replayFailure(c.error, 2500), c.expected);
    }
}

TEST(PlayAnswerFilterTest, LeavesOutAnswersToEarlierPlays) {
    struct Packet {
        uint8_t cseq;
        bool discontinuity;
        bool kept;
    };
    const struct {
        const char* what;
        std::vector<std::vector<Packet>> plays; // the packets after each PLAY
    } cases[] = {
        {"a camera that numbers its answers",
         {{{4, true, true}, {4, false, true}},
          {{4, false, false}, {4, false, false}, {6, true, true}, {4, false, false}, {6, false, true}},
          {{6, false, false}, {4, false, false}, {8, true, true}}}},
        {"a camera that answers every PLAY with the same byte",
         {{{0, true, true}, {0, false, true}}, {{0, true, true}, {0, false, true}}, {{0, false, true}}}},
        {"the byte wraps", {{{255, true, true}}, {{255, false, false}, {1, true, true}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlayAnswerFilter filter;
        for (std::size_t play = 0; play < c.plays.size(); ++play) {
            filter.newPlay();
            for (std::size_t i = 0; i < c.plays[play].size(); ++i) {
                const Packet& p = c.plays[play][i];
                EXPECT_EQ(filter.keep(p.cseq, p.discontinuity), p.kept) << "PLAY " << play << ", packet " << i;
            }
        }
    }
}

} // namespace
} // namespace playback
