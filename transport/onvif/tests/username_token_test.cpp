#include "onvif/username_token.h"

#include "onvif/envelope.h"

#include "fake_soap_transport.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace onvif {
namespace {

std::map<std::string, std::string> readVector() {
    std::map<std::string, std::string> values;
    std::istringstream in(test::dataFile("username_token_vector.txt"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

TEST(UsernameTokenTest, DigestMatchesAnIndependentlyWorkedVector) {
    const auto v = readVector();
    ASSERT_EQ(v.size(), 4u);
    const std::string nonce = base64Decode(v.at("nonce"));
    ASSERT_EQ(nonce.size(), 16u);
    EXPECT_EQ(passwordDigest(nonce, v.at("created"), v.at("password")), v.at("digest"));
}

TEST(UsernameTokenTest, TokenCarriesCameraTimeAndNoPassword) {
    const std::time_t cameraUtc = 1700000000; // 2023-11-14T22:13:20Z
    const UsernameToken a = makeUsernameToken("admin", "secret-word", cameraUtc);
    const UsernameToken b = makeUsernameToken("admin", "secret-word", cameraUtc);
    EXPECT_EQ(a.created, "2023-11-14T22:13:20Z");
    EXPECT_NE(a.nonce, b.nonce); // fresh per request
    EXPECT_EQ(a.passwordDigest, passwordDigest(base64Decode(a.nonce), a.created, "secret-word"));

    Request request(kMediaService, "GetProfiles");
    request.setUsernameToken(a);
    const std::string text = request.text();
    EXPECT_EQ(text.find("secret-word"), std::string::npos);
    EXPECT_EQ(test::elementText(text, "Username"), "admin");
    EXPECT_EQ(test::elementText(text, "Created"), a.created);
}

TEST(UsernameTokenTest, ValuesAreEscapedInTheEnvelope) {
    UsernameToken token{"a<b&\"c", "d", "n", "c"};
    Request request(kPtzService, "GotoPreset");
    request.setUsernameToken(token);
    request.add(request.operation(), "PresetToken", "</tptz:PresetToken><evil/>");
    const std::string text = request.text();
    EXPECT_EQ(test::elementText(text, "Username"), "a<b&\"c");
    EXPECT_EQ(test::elementText(text, "PresetToken"), "</tptz:PresetToken><evil/>");
    EXPECT_EQ(text.find("<evil/>"), std::string::npos);
}

TEST(Base64Test, RejectsWhatIsNotBase64) {
    EXPECT_EQ(base64Decode("abc"), "");
    EXPECT_EQ(base64Decode("a*c="), "");
    EXPECT_EQ(base64Decode(base64Encode(std::string("\0\x01\xff", 3))), std::string("\0\x01\xff", 3));
}

} // namespace
} // namespace onvif
