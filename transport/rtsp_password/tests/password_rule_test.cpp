// The password rule, once, as a table over the paths that ask it: the
// picture's preflight reads an answer's challenges as libavformat would
// answer them; GStreamer's RTSP source (back channel, replay) is handed the
// answer with the refused challenges taken out.
#include "rtsp_password/password_rule.h"
#include "rtsp_password/rtsp_challenges.h"

#include <transport/streaming_types.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace rtsp_password {
namespace {

struct Row {
    const char* name;
    Authentication policy;
    std::vector<std::string> challenges;
    Answer picture; // what the preflight lets libavformat do
    Answer source;  // what is left for GStreamer's RTSP source
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

constexpr auto kDigestOnly = Authentication::DigestOnly;
constexpr auto kAsAsked = Authentication::AsTheCameraAsks;
const std::string kDigest = "Digest realm=\"cam\", nonce=\"4f2a\"";
const std::string kBasic = "Basic realm=\"cam\"";

class PasswordRuleTest : public ::testing::TestWithParam<Row> {
protected:
    GstRTSPMessage* unauthorized(const std::vector<std::string>& challenges) {
        gst_rtsp_message_new_response(&response_, GST_RTSP_STS_UNAUTHORIZED, nullptr, nullptr);
        for (const std::string& c : challenges)
            gst_rtsp_message_add_header(response_, GST_RTSP_HDR_WWW_AUTHENTICATE, c.c_str());
        return response_;
    }
    void TearDown() override { gst_rtsp_message_free(response_); }
    GstRTSPMessage* response_ = nullptr;
};

TEST_P(PasswordRuleTest, EveryPathAnswersAsTheRuleSays) {
    const Row& row = GetParam();
    EXPECT_EQ(answerTo(row.policy, unauthorized(row.challenges)), row.picture) << "picture";

    GstRTSPMessage* seen = response_;
    EXPECT_EQ(keepAnswerableChallenges(row.policy, seen), row.source) << "source";
    // What the source reads afterwards offers nothing it may not answer.
    EXPECT_EQ(answerTo(row.policy, seen), row.source == Answer::Refuse ? Answer::NoPassword : row.source);
    if (row.policy == kAsAsked) {
        EXPECT_EQ(challengesOf(seen), row.challenges);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Challenges, PasswordRuleTest,
    ::testing::Values(
        Row{"DigestAnswered", kDigestOnly, {kDigest}, Answer::Digest, Answer::Digest},
        Row{"BasicAloneRefused", kDigestOnly, {kBasic}, Answer::Refuse, Answer::Refuse},
        Row{"BasicInAnyCaseRefused", kDigestOnly, {"BASIC realm=cam"}, Answer::Refuse, Answer::Refuse},
        Row{"DigestBesideBasicWins", kDigestOnly, {kBasic, kDigest}, Answer::Digest, Answer::Digest},
        Row{"NothingAskedNothingSent", kDigestOnly, {}, Answer::NoPassword, Answer::NoPassword},
        Row{"UnknownSchemeGetsNothing", kDigestOnly, {"Bearer x"}, Answer::NoPassword, Answer::NoPassword},
        // GStreamer takes a word that starts with "Basic" for it.
        Row{"BasicPrefixIsBasicToTheSource", kDigestOnly, {"Basically"}, Answer::NoPassword, Answer::Refuse},
        // libavformat reads the first challenge of a header;
        // the source would read both, and gets neither.
        Row{"OneHeaderDigestThenBasic", kDigestOnly, {kDigest + ", " + kBasic}, Answer::Digest, Answer::Refuse},
        Row{"OneHeaderBasicThenDigest", kDigestOnly, {kBasic + ", " + kDigest}, Answer::Refuse, Answer::Refuse},
        Row{"PlainCameraMayAskForBasic", kAsAsked, {kBasic}, Answer::Basic, Answer::Basic},
        Row{"PlainCameraPrefersDigest", kAsAsked, {kBasic, kDigest}, Answer::Digest, Answer::Digest}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PasswordPolicyTest, StreamingTypesSayWhoseAnswerIsDigestOnly) {
    EXPECT_EQ(authenticationFor(transport::kOnvifStreamingType), kDigestOnly);
    for (int32_t type : {1, 2, 3, transport::kRtspStreamingType, 0, 9})
        EXPECT_EQ(authenticationFor(type), kAsAsked) << type;
}

TEST(PasswordPolicyTest, RefusalIsOneLineNamingTheCamera) {
    const std::string line = basicRefusal("rtsp://127.0.0.1:8554/h264");
    EXPECT_EQ(line.rfind("rtsp://127.0.0.1:8554/h264: ", 0), 0u) << line;
    EXPECT_NE(line.find("Basic authentication"), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
}

} // namespace
} // namespace rtsp_password
