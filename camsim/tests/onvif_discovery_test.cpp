// What the simulated ONVIF camera answers to WS-Discovery probes.
#include "onvif/discovery_message.h"

#include "onvif_test_client.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

std::string probe(const std::string& messageId, const std::string& types, const std::string& scopes = {}) {
    return "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
           "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
           "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
           "xmlns:nvt=\"http://www.onvif.org/ver10/network/wsdl\" "
           "xmlns:dev=\"http://www.onvif.org/ver10/device/wsdl\"><s:Header>"
           "<a:Action s:mustUnderstand=\"1\">http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>"
           "<a:MessageID>" +
           messageId +
           "</a:MessageID><a:To s:mustUnderstand=\"1\">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>"
           "</s:Header><s:Body><d:Probe>" +
           (types.empty() ? "" : "<d:Types>" + types + "</d:Types>") +
           (scopes.empty() ? "" : "<d:Scopes>" + scopes + "</d:Scopes>") + "</d:Probe></s:Body></s:Envelope>";
}

class DiscoveryAnswerTest : public ::testing::Test {
protected:
    onvif::DiscoveryIdentity identity_{"urn:uuid:3f0c2a9e-1b2c-4d5e-8f90-123456789abc",
                                       "http://127.0.0.1:8080/onvif/device_service",
                                       {"onvif://www.onvif.org/type/video_encoder",
                                        "onvif://www.onvif.org/name/" + onvif::scopeText("Camera 1"),
                                        "onvif://www.onvif.org/hardware/camsim-ptz"}};
};

TEST_F(DiscoveryAnswerTest, MatchingProbeGetsProbeMatchesRelatedToIt) {
    const auto answer = onvif::answerProbe(probe("uuid:probe-42", "nvt:NetworkVideoTransmitter"), identity_);
    ASSERT_TRUE(answer);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(answer->c_str()));
    EXPECT_EQ(test::findText(doc, "RelatesTo"), "uuid:probe-42");
    EXPECT_NE(test::findText(doc, "MessageID"), "uuid:probe-42");
    EXPECT_EQ(test::findText(doc, "XAddrs"), identity_.xaddr);
    EXPECT_EQ(test::findText(doc, "Address"), identity_.endpoint);
    const std::string scopes = test::findText(doc, "Scopes");
    EXPECT_NE(scopes.find("onvif://www.onvif.org/name/Camera%201"), std::string::npos);
    EXPECT_NE(scopes.find("onvif://www.onvif.org/hardware/camsim-ptz"), std::string::npos);
    EXPECT_EQ(test::findText(doc, "Action"), "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches");
}

TEST_F(DiscoveryAnswerTest, OnlyProbesForThisKindOfDeviceAreAnswered) {
    struct Case {
        const char* what;
        std::string datagram;
        bool answered;
    };
    const std::vector<Case> cases = {
        {"no types: any device", probe("uuid:1", ""), true},
        {"device type", probe("uuid:2", "dev:Device"), true},
        {"both types", probe("uuid:3", "nvt:NetworkVideoTransmitter dev:Device"), true},
        {"a printer", probe("uuid:4", "nvt:Printer"), false},
        {"our type in another namespace", probe("uuid:5", "d:NetworkVideoTransmitter"), false},
        {"our scope", probe("uuid:6", "", "onvif://www.onvif.org/type"), true},
        {"another name", probe("uuid:7", "", "onvif://www.onvif.org/name/Other"), false},
        {"no message id", probe("", "nvt:NetworkVideoTransmitter"), false},
        {"not XML", "\x01\x02garbage", false},
        {"a ProbeMatches, not a Probe", *onvif::answerProbe(probe("uuid:8", ""), identity_), false},
    };
    for (const Case& c : cases) EXPECT_EQ(onvif::answerProbe(c.datagram, identity_).has_value(), c.answered) << c.what;
}

} // namespace
} // namespace camsim
