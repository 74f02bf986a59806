// A request for Basic authentication is seen in libavformat's trace
// messages before libav can answer it, and never where it answers with
// digest.
#include "conversation_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ConversationCase {
    const char* name;
    std::vector<std::string> messages; // as libav logs them, line end removed
    bool basicAsked;
};

class ConversationWatchTest : public ::testing::TestWithParam<ConversationCase> {};

TEST_P(ConversationWatchTest, SeesARequestForBasic) {
    corvel::ConversationWatch watch;
    for (const std::string& m : GetParam().messages) watch.observe(m);
    EXPECT_EQ(watch.basicAsked(), GetParam().basicAsked);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConversationWatchTest,
    ::testing::Values(
        ConversationCase{"BasicChallengeAlone",
                         {"line='RTSP/1.0 401 Unauthorized'", "line='WWW-Authenticate: Basic realm=\"a\"'", "line=''"},
                         true},
        ConversationCase{"DigestBesideBasicIsAnsweredWithDigest",
                         {"line='RTSP/1.0 401 Unauthorized'", "line='www-authenticate: basic realm=\"a\"'",
                          "line='WWW-Authenticate: Digest realm=\"a\", nonce=\"1\"'", "line=''"},
                         false},
        ConversationCase{
            "BasicNamedFirstInOneHeader",
            {"line='RTSP/1.0 401 Unauthorized'", "line='WWW-Authenticate:Basic realm=\"a\", Digest'", "line=''"},
            true},
        ConversationCase{"CutAnswerDoesNotCarryItsChallengeIntoTheNext",
                         {"line='RTSP/1.0 401 Unauthorized'", "line='WWW-Authenticate: Basic realm=\"a\"'",
                          "line='RTSP/1.0 200 OK'", "line=''"},
                         false},
        ConversationCase{"BasicCredentialsAboutToBeSent",
                         {"Sending:\nSETUP rtsp://127.0.0.1/x RTSP/1.0\r\nAuthorization: Basic dXM6cHc=\r\n\r\n--"},
                         true}),
    [](const ::testing::TestParamInfo<ConversationCase>& info) { return std::string(info.param.name); });

} // namespace
