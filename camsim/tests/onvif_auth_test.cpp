// Who the simulated ONVIF camera lets in: username tokens against its own
// (possibly skewed) clock, HTTP digest as the other way, the clock itself
// for everybody.
#include "camsim/onvif_camera.h"

#include "onvif_test_client.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

using test::envelope;
using test::post;
using test::usernameToken;

const std::string kDeviceInformation = "<GetDeviceInformation xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>";

class OnvifAuthTest : public ::testing::Test {
protected:
    void SetUp() override {
        OnvifOptions o;
        o.user = "operator";
        o.password = "s3cret";
        o.tokenWindowSeconds = 60;
        camera_ = std::make_unique<OnvifCamera>(o);
        ASSERT_TRUE(camera_->start());
    }
    test::SoapAnswer withToken(const std::string& user, const std::string& password, int64_t created,
                               const std::string& nonce = {}) {
        return post(camera_->port(), envelope(kDeviceInformation, usernameToken(user, password, created, nonce)));
    }
    std::unique_ptr<OnvifCamera> camera_;
};

struct TokenCase {
    const char* what;
    const char* user;
    const char* password;
    int createdOffsetSeconds; // from the system clock
    bool skewedCamera;        // the camera's clock runs 600 s ahead
    int status;
};

class OnvifTokenTest : public OnvifAuthTest, public ::testing::WithParamInterface<TokenCase> {};

TEST_P(OnvifTokenTest, TokenIsCheckedAgainstTheCamerasClock) {
    const TokenCase& c = GetParam();
    if (c.skewedCamera) camera_->setFault(OnvifFault::SkewedClock);
    const test::SoapAnswer a = withToken(c.user, c.password, test::nowSeconds() + c.createdOffsetSeconds);
    EXPECT_EQ(a.status, c.status) << c.what;
    if (c.status == 200) {
        EXPECT_NE(a.body.find("Simulated PTZ Dome"), std::string::npos);
    } else {
        EXPECT_NE(a.body.find("NotAuthorized"), std::string::npos) << c.what;
    }
    ASSERT_EQ(camera_->requestLog().size(), 1u);
    EXPECT_EQ(camera_->requestLog()[0].authenticated, c.status == 200);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OnvifTokenTest,
    ::testing::Values(TokenCase{"right user and password", "operator", "s3cret", 0, false, 200},
                      TokenCase{"wrong password", "operator", "secret", 0, false, 400},
                      TokenCase{"wrong user", "admin", "s3cret", 0, false, 400},
                      TokenCase{"created 50 s behind, inside the window", "operator", "s3cret", -50, false, 200},
                      TokenCase{"created 90 s ahead, outside the window", "operator", "s3cret", 90, false, 400},
                      TokenCase{"skewed camera, client ignores the offset", "operator", "s3cret", 0, true, 400},
                      TokenCase{"skewed camera, client applies the offset", "operator", "s3cret", 600, true, 200}));

TEST_F(OnvifAuthTest, NonceIsAcceptedOnce) {
    const std::string nonce = "0123456789abcdef";
    EXPECT_EQ(withToken("operator", "s3cret", test::nowSeconds(), nonce).status, 200);
    EXPECT_EQ(withToken("operator", "s3cret", test::nowSeconds(), nonce).status, 400);
}

TEST_F(OnvifAuthTest, ClockAnswersWithoutCredentialsAndShowsTheSkew) {
    camera_->setFault(OnvifFault::SkewedClock);
    const test::SoapAnswer a = post(
        camera_->port(), envelope("<tds:GetSystemDateAndTime xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\"/>"));
    ASSERT_EQ(a.status, 200);
    pugi::xml_document doc;
    ASSERT_TRUE(a.parse(doc));
    const pugi::xml_node utc = test::findAll(doc, "UTCDateTime").at(0);
    std::tm tm{};
    tm.tm_year = std::stoi(test::findText(doc, "Year")) - 1900;
    tm.tm_mon = std::stoi(test::findText(doc, "Month")) - 1;
    tm.tm_mday = std::stoi(test::findText(doc, "Day"));
    tm.tm_hour = std::stoi(test::findText(doc, "Hour"));
    tm.tm_min = std::stoi(test::findText(doc, "Minute"));
    tm.tm_sec = std::stoi(test::findText(doc, "Second"));
    ASSERT_TRUE(utc);
    EXPECT_NEAR(static_cast<double>(timegm(&tm) - test::nowSeconds()), 600.0, 3.0);
}

// HTTP authentication comes before the body is read, as on real cameras: an
// HTTP client that starts digest with a bodiless request (libcurl does) gets
// the challenge too.
TEST_F(OnvifAuthTest, NoCredentialsGetADigestChallengeThatADigestAnswerPasses) {
    const std::string body = envelope(kDeviceInformation);
    for (const std::string& first : {std::string(), std::string("<<<"), body}) {
        const test::SoapAnswer a = post(camera_->port(), first);
        EXPECT_EQ(a.status, 401) << first;
        EXPECT_EQ(a.header("WWW-Authenticate").rfind("Digest ", 0), 0u) << first;
    }
    const test::SoapAnswer challenge = post(camera_->port(), "");
    const std::string www = challenge.header("WWW-Authenticate");
    const auto field = [&](const std::string& name) {
        const std::size_t at = www.find(name + "=\"");
        return www.substr(at + name.size() + 2, www.find('"', at + name.size() + 2) - at - name.size() - 2);
    };
    const std::string realm = field("realm"), nonce = field("nonce");
    const auto answer = [&](const std::string& password) {
        const std::string ha1 = test::md5Hex("operator:" + realm + ":" + password);
        const std::string ha2 = test::md5Hex("POST:/onvif/device_service");
        const std::string response = test::md5Hex(ha1 + ":" + nonce + ":00000001:c0ffee:auth:" + ha2);
        test::PostOptions o;
        o.headers = {"Authorization: Digest username=\"operator\", realm=\"" + realm + "\", nonce=\"" + nonce +
                     "\", uri=\"/onvif/device_service\", qop=auth, nc=00000001, cnonce=\"c0ffee\", response=\"" +
                     response + "\""};
        return post(camera_->port(), body, o);
    };
    EXPECT_EQ(answer("wrong").status, 401);
    EXPECT_EQ(answer("s3cret").status, 200);
}

TEST(OnvifAuthModeTest, TokenOnlyCameraRefusesWithoutAChallenge) {
    OnvifOptions o;
    o.auth = OnvifAuth::UsernameToken;
    OnvifCamera camera(o);
    ASSERT_TRUE(camera.start());
    for (const std::string& body : {envelope(kDeviceInformation), std::string()}) {
        const test::SoapAnswer a = post(camera.port(), body);
        EXPECT_EQ(a.status, 400) << body;
        EXPECT_TRUE(a.header("WWW-Authenticate").empty());
    }
}

} // namespace
} // namespace camsim
