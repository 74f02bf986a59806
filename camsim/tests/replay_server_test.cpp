// The SD card's replay on the wire: what a client asking as ONVIF's
// streaming specification says gets, read by GStreamer's RTSP connection
// and RTP buffer, the pictures decoded by libavcodec.
#include "../src/replay/replay_server.h"
#include "../src/replay/recorded_scene.h"
#include "camsim/simulated_camera.h"

#include "onvif_test_client.h"
#include "replay_test_client.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace camsim {
namespace {

constexpr char kUser[] = "admin";
constexpr char kPassword[] = "replay pass";
constexpr int64_t kPictureMs = 100; // 10 pictures a second, a key picture every second

// "clock=20261209T180100Z-" for a whole second.
std::string clockValue(int64_t unixMs) {
    std::string value = "clock=";
    for (char c : replay::dateText(unixMs) + "T" + replay::timeText(unixMs).substr(0, 8)) {
        if (c != '-' && c != ':') value += c;
    }
    if (unixMs % 1000 != 0) value += "." + replay::timeText(unixMs).substr(9);
    return value + "Z-";
}

std::string rangeFrom(int64_t unixMs) { return "Range: " + clockValue(unixMs); }

int64_t timeOf(const std::vector<test::ReplayPacket>& picture) {
    return picture.empty() || !picture.front().stamp ? -1 : picture.front().stamp->unixMs();
}

class ReplayServerTest : public ::testing::Test {
protected:
    ReplayServerTest() : card(std::make_shared<SdCard>(options())), server(card, kUser, kPassword) {}

    static SdCardOptions options() {
        SdCardOptions o;
        o.width = 320;
        o.height = 240;
        o.frameRate = 10;
        return o;
    }
    void SetUp() override { ASSERT_TRUE(server.start()) << server.error(); }

    // A recording the card finished, a minute into it.
    CardRecording finished() const {
        const auto all = card->recordings(card->nowMs());
        return all.at(all.size() - 2);
    }
    std::unique_ptr<test::ReplayTestClient> client(const std::string& token) {
        return std::make_unique<test::ReplayTestClient>(server.uri(token), kUser, kPassword);
    }

    std::shared_ptr<SdCard> card;
    replay::ReplayServer server;
};

TEST_F(ReplayServerTest, PlayStartsAtTheKeyPictureAtOrBeforeTheAskedTime) {
    const CardRecording r = finished();
    const int64_t key = r.span.fromMs + 60000, asked = key + 500;
    auto c = client(r.token);
    ASSERT_TRUE(c->describeAndSetup());
    const test::RtspAnswer play = c->play({"Require: onvif-replay", rangeFrom(asked), "Rate-Control: no"});
    ASSERT_EQ(play.status, 200);
    EXPECT_EQ(play.header("range"), clockValue(key));
    EXPECT_EQ(play.header("rate-control"), "no");
    const std::string cseq = play.header("cseq");

    for (int i = 0; i <= 10; ++i) {
        SCOPED_TRACE(i);
        const auto picture = c->nextPicture(3000);
        ASSERT_FALSE(picture.empty());
        ASSERT_TRUE(std::all_of(picture.begin(), picture.end(), [](const auto& p) { return p.stamp.has_value(); }));
        EXPECT_EQ(timeOf(picture), key + i * kPictureMs);
        EXPECT_EQ(picture.front().stamp->clean, i % 10 == 0); // a key picture every second
        EXPECT_EQ(picture.front().stamp->discontinuity, i == 0);
        EXPECT_EQ(picture.front().stamp->cseq, static_cast<uint8_t>(std::stoi(cseq)));
        // The picture shows the time its header gives.
        EXPECT_EQ(c->decodedTime(picture), std::optional<int64_t>(timeOf(picture)));
    }
}

TEST_F(ReplayServerTest, IntraFramesSendKeyPicturesOnlyAtTheAskedScale) {
    const CardRecording r = finished();
    const int64_t key = r.span.fromMs + 60000;
    auto c = client(r.token);
    ASSERT_TRUE(c->describeAndSetup());
    const test::RtspAnswer play =
        c->play({"Require: onvif-replay", rangeFrom(key), "Rate-Control: no", "Frames: intra", "Scale: 4"});
    ASSERT_EQ(play.status, 200);
    EXPECT_EQ(play.header("scale"), "4.000");
    for (int i = 0; i < 3; ++i) {
        const auto picture = c->nextPicture(3000);
        ASSERT_FALSE(picture.empty());
        EXPECT_TRUE(picture.front().stamp && picture.front().stamp->clean);
        EXPECT_EQ(timeOf(picture), key + i * 1000);
    }
}

TEST_F(ReplayServerTest, GapEndsOneSectionAndTheNextStartsAtItsEnd) {
    const CardRecording r = finished();
    const int64_t key = r.span.fromMs + 60000;
    card->setGap(CardSpan{key + 300, key + 1800}); // on key pictures: key + 1 s to key + 2 s
    auto c = client(r.token);
    ASSERT_TRUE(c->describeAndSetup());
    ASSERT_EQ(c->play({"Require: onvif-replay", rangeFrom(key), "Rate-Control: no"}).status, 200);
    std::vector<test::ReplayPacket> before, after;
    for (int i = 0; i < 12 && (after.empty() || timeOf(after) < key + 1000); ++i) {
        before = std::move(after);
        after = c->nextPicture(3000);
        ASSERT_FALSE(after.empty());
    }
    EXPECT_EQ(timeOf(before), key + 900);
    EXPECT_TRUE(before.back().stamp && before.back().stamp->end);
    EXPECT_EQ(timeOf(after), key + 2000);
    EXPECT_TRUE(after.front().stamp && after.front().stamp->discontinuity && after.front().stamp->clean);
    EXPECT_EQ(c->decodedTime(after), std::optional<int64_t>(key + 2000));
}

TEST_F(ReplayServerTest, RecordingThatStopsWhilePlayedEndsWithTheLastPicture) {
    const int64_t now = card->nowMs();
    card->stopRecordingAt(now + 600);
    const CardRecording newest = card->recordings(now).back();
    ASSERT_TRUE(newest.recording);
    auto c = client(newest.token);
    ASSERT_TRUE(c->describeAndSetup());
    ASSERT_EQ(c->play({"Require: onvif-replay", rangeFrom(now - 300), "Rate-Control: no"}).status, 200);
    std::vector<test::ReplayPacket> last;
    int pictures = 0;
    while (last.empty() || !last.back().stamp || !last.back().stamp->terminal) {
        auto picture = c->nextPicture(2000);
        if (picture.empty()) break;
        last = std::move(picture);
        ++pictures;
    }
    // Pictures came as the clock reached them, up to the stop.
    EXPECT_GE(pictures, 7);
    EXPECT_GT(timeOf(last), now + 600 - 2 * kPictureMs);
    EXPECT_LT(timeOf(last), now + 600);
    EXPECT_TRUE(last.back().stamp && last.back().stamp->end && last.back().stamp->terminal);
}

TEST_F(ReplayServerTest, RefusesWhatItDoesNotOffer) {
    const CardRecording r = finished();
    EXPECT_EQ(client("REC-1")->request("DESCRIBE", server.uri("REC-1")).status, 404);

    auto bare = client(r.token);
    EXPECT_FALSE(bare->describeAndSetup({}));
    EXPECT_EQ(bare->lastSetup().status, 551); // no "Require: onvif-replay"

    auto reverse = client(r.token);
    ASSERT_TRUE(reverse->describeAndSetup());
    EXPECT_EQ(reverse->play({"Require: onvif-replay", rangeFrom(r.span.fromMs), "Scale: -1"}).status, 501);
    EXPECT_EQ(reverse->play({"Require: onvif-replay", rangeFrom(r.span.fromMs), "Scale: nan"}).status, 400);

    server.refuseReplay(true);
    auto refused = client(r.token);
    EXPECT_FALSE(refused->describeAndSetup());
    EXPECT_EQ(refused->lastSetup().status, 551);
    EXPECT_EQ(refused->lastSetup().header("unsupported"), "onvif-replay");
}

// The wiring of a whole simulated camera: the replay service's address for
// a recording the search lists plays behind the camera's own login.
TEST(SimulatedCameraReplayTest, ReplayAddressPlaysTheRecordingBehindTheCamerasLogin) {
    SimulatedCameraSettings s;
    s.streamingType = kOnvifStreamingType;
    s.options.user = kUser;
    s.options.password = kPassword;
    s.rtsp.frameRate = 10;
    s.rtsp.audio = false;
    s.onvifProfiles = {{"profile_main", "Main", "H264", 320, 240, 10, 500, 10}};
    s.sdCard = SdCardOptions{};
    SimulatedCamera camera(s);
    ASSERT_TRUE(camera.start()) << camera.error();
    // The second recording: the first starts where the ring ends, which moves
    // on with the clock while the test runs.
    const CardRecording r = camera.sdCard()->recordings(camera.sdCard()->nowMs()).at(1);
    const std::string body =
        "<GetReplayUri xmlns=\"http://www.onvif.org/ver10/replay/wsdl\"><StreamSetup/><RecordingToken>" + r.token +
        "</RecordingToken></GetReplayUri>";
    test::PostOptions post;
    post.path = "/onvif/replay_service";
    const test::SoapAnswer answer = test::post(
        camera.onvif()->port(), test::envelope(body, test::usernameToken(kUser, kPassword, test::nowSeconds())), post);
    pugi::xml_document doc;
    ASSERT_TRUE(answer.parse(doc)) << answer.body;
    test::ReplayTestClient client(test::findText(doc, "Uri"), kUser, kPassword);
    ASSERT_TRUE(client.describeAndSetup());
    ASSERT_EQ(client.play({"Require: onvif-replay", rangeFrom(r.span.fromMs)}).status, 200);
    const auto picture = client.nextPicture(3000);
    ASSERT_FALSE(picture.empty());
    EXPECT_EQ(timeOf(picture), r.span.fromMs);
}

} // namespace
} // namespace camsim
