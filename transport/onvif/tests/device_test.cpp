#include "onvif/device.h"

#include "onvif/username_token.h"
#include "onvif/xml.h"

#include "fake_soap_transport.h"

#include <gtest/gtest.h>

#include <map>

namespace onvif {
namespace {

using test::FakeSoapTransport;
using test::SeenRequest;

// The camera's clock, as system_date_time.xml tells it.
constexpr std::time_t kCameraUtc = 1709251198; // 2024-02-29T23:59:58Z
constexpr const char* kPassword = "s3cret-Pass";

// A camera as the client meets it: a token checked against its own clock,
// HTTP digest taken instead when told so.
struct ScriptedCamera {
    bool tokensRefused = false;
    bool everythingRefused = false;
    std::map<std::string, SoapReply> replies;

    static bool tokenValid(const SeenRequest& r) {
        const auto document = parseXml(r.envelope);
        const pugi::xml_node token = descendant(*document, "UsernameToken");
        const std::string created = textOf(child(token, "Created"));
        const std::string nonce = base64Decode(textOf(child(token, "Nonce")));
        return textOf(child(token, "Password")) == passwordDigest(nonce, created, kPassword) &&
               created == formatUtc(kCameraUtc);
    }

    SoapReply answer(const SeenRequest& r) const {
        if (r.operation == "GetSystemDateAndTime")
            return SoapReply{true, 200, test::dataFile("system_date_time.xml"), {}};
        if (everythingRefused) return SoapReply{true, 401, "", {}};
        if (!r.httpDigest && (tokensRefused || !tokenValid(r))) return test::faultReply("ter:NotAuthorized");
        const auto it = replies.find(r.operation);
        if (it != replies.end()) return it->second;
        if (r.operation == "GetCapabilities")
            return SoapReply{true, 200, test::dataFile("capabilities_foreign_xaddrs.xml"), {}};
        return test::okReply("<x:" + r.operation + "Response xmlns:x=\"urn:x\"/>");
    }
};

class DeviceTest : public ::testing::Test {
protected:
    DeviceTest()
        : transport([this](const SeenRequest& r) { return camera.answer(r); }),
          device(transport, DeviceSettings{"127.0.0.1", 8000, "admin", kPassword, 2000}, [this] { return ourUtc; }) {}

    std::vector<SeenRequest> requestsFor(const std::string& operation) const {
        std::vector<SeenRequest> out;
        for (const SeenRequest& r : transport.requests()) {
            if (r.operation == operation) out.push_back(r);
        }
        return out;
    }

    ScriptedCamera camera;
    std::time_t ourUtc = kCameraUtc;
    FakeSoapTransport transport;
    Device device;
};

TEST_F(DeviceTest, ConnectReadsTheClockUnauthenticatedAndRewritesEveryServiceAddress) {
    ourUtc = kCameraUtc - 600;
    ASSERT_TRUE(device.connect()) << device.lastError();
    EXPECT_EQ(device.clockOffsetSeconds(), 600);

    const auto requests = transport.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].operation, "GetSystemDateAndTime");
    EXPECT_EQ(requests[0].url, "http://127.0.0.1:8000/onvif/device_service");
    EXPECT_EQ(requests[0].envelope.find("UsernameToken"), std::string::npos);

    const ServiceAddresses s = device.services();
    EXPECT_EQ(s.media, "http://127.0.0.1:8899/onvif/media_service");
    EXPECT_EQ(s.ptz, "http://127.0.0.1:8899/onvif/ptz_service");
    EXPECT_EQ(s.events, "http://127.0.0.1:8899/onvif/events_service");
    EXPECT_EQ(s.deviceIo, "http://127.0.0.1:8899/onvif/deviceio_service");
}

// The token is created on the camera's clock, so a camera whose clock is
// ten minutes off (either way) still takes it.
TEST_F(DeviceTest, SkewedCameraClockStillAuthenticates) {
    for (long long skew : {-600LL, 0LL, 600LL}) {
        ourUtc = kCameraUtc - skew;
        ASSERT_TRUE(device.connect()) << skew << ": " << device.lastError();
        EXPECT_TRUE(device.profiles().has_value()) << skew;
        EXPECT_FALSE(device.usesHttpDigest());
    }
}

TEST_F(DeviceTest, TokenRefusedFallsBackToHttpDigestAndStaysThere) {
    camera.tokensRefused = true;
    camera.replies["GetProfiles"] = SoapReply{true, 200, test::dataFile("profiles_vendor_prefixes.xml"), {}};
    ASSERT_TRUE(device.connect()) << device.lastError();
    EXPECT_TRUE(device.usesHttpDigest());
    ASSERT_TRUE(device.profiles().has_value());

    const auto profiles = requestsFor("GetProfiles");
    ASSERT_EQ(profiles.size(), 1u); // no second token attempt once digest worked
    EXPECT_TRUE(profiles[0].httpDigest);
    EXPECT_EQ(profiles[0].envelope.find("UsernameToken"), std::string::npos);
}

TEST_F(DeviceTest, RefusedCredentialsFailAndThePasswordIsNowhere) {
    camera.everythingRefused = true;
    EXPECT_FALSE(device.connect());
    EXPECT_NE(device.lastError().find("refused"), std::string::npos) << device.lastError();
    EXPECT_EQ(device.lastError().find(kPassword), std::string::npos);
    for (const SeenRequest& r : transport.requests()) EXPECT_EQ(r.envelope.find(kPassword), std::string::npos);
}

TEST_F(DeviceTest, ServicesListServesWhenCapabilitiesFail) {
    camera.replies["GetCapabilities"] = test::faultReply("ter:ActionNotSupported");
    camera.replies["GetServices"] = test::okReply(
        "<tds:GetServicesResponse xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\"><tds:Service><tds:Namespace>"
        "http://www.onvif.org/ver10/media/wsdl</tds:Namespace><tds:XAddr>http://192.168.7.7/media</tds:XAddr>"
        "</tds:Service></tds:GetServicesResponse>");
    ASSERT_TRUE(device.connect()) << device.lastError();
    EXPECT_EQ(device.services().media, "http://127.0.0.1/media");
    EXPECT_TRUE(device.services().ptz.empty());
    EXPECT_FALSE(device.continuousMove("p", 0.2, 0, 0)); // no PTZ service, nothing sent
    EXPECT_TRUE(requestsFor("ContinuousMove").empty());
}

TEST_F(DeviceTest, StreamAddressAsksForUnicastRtspAndGetsTheConfiguredHost) {
    camera.replies["GetStreamUri"] = test::okReply(
        "<trt:GetStreamUriResponse xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\"><trt:MediaUri><tt:Uri "
        "xmlns:tt=\"http://www.onvif.org/ver10/schema\">rtsp://172.16.0.9:8554/h264?profile=sub</tt:Uri>"
        "</trt:MediaUri></trt:GetStreamUriResponse>");
    ASSERT_TRUE(device.connect());
    EXPECT_EQ(device.streamUri("SubStreamProfile").value_or(""), "rtsp://127.0.0.1:8554/h264?profile=sub");
    const auto sent = requestsFor("GetStreamUri");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(test::elementText(sent[0].envelope, "Stream"), "RTP-Unicast");
    EXPECT_EQ(test::elementText(sent[0].envelope, "Protocol"), "RTSP");
    EXPECT_EQ(test::elementText(sent[0].envelope, "ProfileToken"), "SubStreamProfile");
}

TEST_F(DeviceTest, PresetsAreFoundByTheirName) {
    camera.replies["GetPresets"] = test::okReply(
        "<tptz:GetPresetsResponse xmlns:tptz=\"http://www.onvif.org/ver20/ptz/wsdl\" "
        "xmlns:tt=\"http://www.onvif.org/ver10/schema\"><tptz:Preset token=\"1\"><tt:Name>Home</tt:Name></tptz:Preset>"
        "<tptz:Preset token=\"17\"><tt:Name>Tavolin 3</tt:Name></tptz:Preset></tptz:GetPresetsResponse>");
    camera.replies["SetPreset"] =
        test::okReply("<tptz:SetPresetResponse xmlns:tptz=\"http://www.onvif.org/ver20/ptz/wsdl\"><tptz:PresetToken>18"
                      "</tptz:PresetToken></tptz:SetPresetResponse>");
    ASSERT_TRUE(device.connect());

    EXPECT_TRUE(device.gotoPreset("p", 3));
    EXPECT_FALSE(device.gotoPreset("p", 4)); // never stored: nothing to go to
    const auto gotos = requestsFor("GotoPreset");
    ASSERT_EQ(gotos.size(), 1u);
    EXPECT_EQ(test::elementText(gotos[0].envelope, "PresetToken"), "17");

    EXPECT_TRUE(device.setPreset("p", 3)); // overwrites its own preset
    EXPECT_TRUE(device.setPreset("p", 5)); // a new one
    const auto sets = requestsFor("SetPreset");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(test::elementText(sets[0].envelope, "PresetToken"), "17");
    EXPECT_EQ(test::elementText(sets[0].envelope, "PresetName"), "Tavolin 3");
    EXPECT_EQ(test::elementText(sets[1].envelope, "PresetToken"), "");
    EXPECT_EQ(test::elementText(sets[1].envelope, "PresetName"), "Tavolin 5");
}

TEST_F(DeviceTest, MoveSendsOneVelocityForBothAxes) {
    ASSERT_TRUE(device.connect());
    EXPECT_TRUE(device.continuousMove("p", -0.6, 0.4, 0.0));
    const auto moves = requestsFor("ContinuousMove");
    ASSERT_EQ(moves.size(), 1u);
    const auto document = parseXml(moves[0].envelope);
    const pugi::xml_node panTilt = descendant(*document, "PanTilt");
    EXPECT_STREQ(panTilt.attribute("x").value(), "-0.60");
    EXPECT_STREQ(panTilt.attribute("y").value(), "0.40");
    EXPECT_FALSE(descendant(*document, "Zoom"));
    EXPECT_EQ(moves[0].url, "http://127.0.0.1:8899/onvif/ptz_service");
}

TEST_F(DeviceTest, RelayUsesTheFirstOutputOfTheIoService) {
    camera.replies["GetRelayOutputs"] = test::okReply(
        "<tmd:GetRelayOutputsResponse xmlns:tmd=\"http://www.onvif.org/ver10/deviceIO/wsdl\"><tmd:RelayOutputs "
        "token=\"AlarmOut_0\"/><tmd:RelayOutputs token=\"AlarmOut_1\"/></tmd:GetRelayOutputsResponse>");
    ASSERT_TRUE(device.connect());
    EXPECT_TRUE(device.setRelay(true));
    EXPECT_TRUE(device.setRelay(false));
    EXPECT_EQ(requestsFor("GetRelayOutputs").size(), 1u); // looked up once
    const auto sets = requestsFor("SetRelayOutputState");
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].url, "http://127.0.0.1:8899/onvif/deviceio_service");
    EXPECT_EQ(test::elementText(sets[0].envelope, "RelayOutputToken"), "AlarmOut_0");
    EXPECT_EQ(test::elementText(sets[0].envelope, "LogicalState"), "active");
    EXPECT_EQ(test::elementText(sets[1].envelope, "LogicalState"), "inactive");
}

TEST_F(DeviceTest, UnansweredCallReportsWhyAndAbortEndsTheRest) {
    ASSERT_TRUE(device.connect());
    transport.abort();
    EXPECT_FALSE(device.profiles().has_value());
    EXPECT_NE(device.lastError().find("no answer"), std::string::npos) << device.lastError();
}

} // namespace
} // namespace onvif
