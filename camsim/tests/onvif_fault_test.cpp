// Each way the simulated ONVIF camera can misbehave, as a client meets it.
#include "camsim/onvif_camera.h"

#include "onvif_test_client.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

namespace camsim {
namespace {

const std::string kDeviceInformation = "<GetDeviceInformation xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>";
const std::string kCapabilities = "<GetCapabilities xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>";
const std::string kClock = "<GetSystemDateAndTime xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>";
const std::string kStreamUri = "<GetStreamUri xmlns=\"http://www.onvif.org/ver10/media/wsdl\"><ProfileToken>"
                               "profile_main</ProfileToken></GetStreamUri>";

const std::string kEventsNs = "xmlns=\"http://www.onvif.org/ver10/events/wsdl\"";
const std::string kSubscribe = "<CreatePullPointSubscription " + kEventsNs + "/>";
const std::string kPull = "<PullMessages " + kEventsNs +
                          "><Timeout>PT5S</Timeout><MessageLimit>100</MessageLimit>"
                          "</PullMessages>";

struct FaultCase {
    const char* name;
    OnvifFault fault;
    // Calls the camera and checks what it did.
    std::function<void(OnvifCamera& camera)> check;
};

test::SoapAnswer call(OnvifCamera& camera, const std::string& body, int timeoutMs = 5000,
                      const std::string& path = "/onvif/device_service") {
    test::PostOptions o;
    o.timeoutMs = timeoutMs;
    o.path = path;
    return test::post(camera.port(), test::envelope(body, test::usernameToken("admin", "admin", test::nowSeconds())),
                      o);
}

class OnvifFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(OnvifFaultTest, CameraMisbehavesAsChosen) {
    OnvifCamera camera;
    ASSERT_TRUE(camera.start());
    OnvifFaultSettings settings;
    settings.trickleMs = 20;
    camera.setFault(GetParam().fault, settings);
    GetParam().check(camera);
    camera.setFault(OnvifFault::None);
    EXPECT_EQ(call(camera, kDeviceInformation).status, 200) << "well again once the fault is off";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, OnvifFaultTest,
    ::testing::Values(FaultCase{"Stall", OnvifFault::Stall,
                                [](OnvifCamera& camera) {
                                    EXPECT_EQ(call(camera, kClock, 300).status, 0);
                                    ASSERT_EQ(camera.requestLog().size(), 1u);
                                    EXPECT_EQ(camera.requestLog()[0].operation, "GetSystemDateAndTime");
                                    EXPECT_EQ(camera.requestLog()[0].answerMs, 0);
                                }},
                      FaultCase{"Trickle", OnvifFault::Trickle,
                                [](OnvifCamera& camera) {
                                    // An answer of a kilobyte or more takes tens of seconds at
                                    // 20 ms a byte: after 300 ms only the first bytes are there.
                                    EXPECT_EQ(call(camera, kClock, 300).status, 0);
                                    EXPECT_TRUE(camera.waitForAnswers(1, 1000));
                                }},
                      FaultCase{"SoapFault", OnvifFault::SoapFault,
                                [](OnvifCamera& camera) {
                                    const test::SoapAnswer a = call(camera, kDeviceInformation);
                                    EXPECT_EQ(a.status, 500);
                                    pugi::xml_document doc;
                                    ASSERT_TRUE(a.parse(doc));
                                    EXPECT_FALSE(test::findAll(doc, "Fault").empty());
                                    EXPECT_EQ(test::findText(doc, "Value"), "SOAP-ENV:Receiver");
                                    EXPECT_EQ(call(camera, kClock).status, 200) << "the clock still answers";
                                }},
                      FaultCase{"ForeignXAddrs", OnvifFault::ForeignXAddrs,
                                [](OnvifCamera& camera) {
                                    const std::string host =
                                        "http://10.254.0.9:" + std::to_string(camera.port()) + "/onvif/";
                                    pugi::xml_document doc;
                                    ASSERT_TRUE(call(camera, kCapabilities).parse(doc));
                                    const auto addresses = test::findAll(doc, "XAddr");
                                    ASSERT_GE(addresses.size(), 4u);
                                    for (const auto& a : addresses)
                                        EXPECT_EQ(std::string(a.child_value()).rfind(host, 0), 0u);
                                    pugi::xml_document uri;
                                    ASSERT_TRUE(call(camera, kStreamUri).parse(uri));
                                    EXPECT_EQ(test::findText(uri, "Uri").rfind("rtsp://10.254.0.9:", 0), 0u);
                                }},
                      // The input tokens of every pull are new: the initial
                      // state's two, then 32 per pull, none named twice.
                      FaultCase{"TokenFlood", OnvifFault::TokenFlood,
                                [](OnvifCamera& camera) {
                                    pugi::xml_document created;
                                    ASSERT_TRUE(call(camera, kSubscribe, 5000, "/onvif/event_service").parse(created));
                                    const std::string address = test::findText(created, "Address");
                                    const std::string path = address.substr(address.find("/onvif/"));
                                    std::set<std::string> tokens;
                                    for (int pull = 0; pull < 2; ++pull) {
                                        pugi::xml_document pulled;
                                        ASSERT_TRUE(call(camera, kPull, 5000, path).parse(pulled));
                                        for (const auto& item : test::findAll(pulled, "SimpleItem")) {
                                            if (std::string(item.attribute("Name").value()) == "InputToken")
                                                tokens.insert(item.attribute("Value").value());
                                        }
                                    }
                                    EXPECT_EQ(tokens.size(), 2u + 2 * 32);
                                    EXPECT_EQ(camera.pullCount(), 2);
                                }},
                      FaultCase{"HugeReply", OnvifFault::HugeReply,
                                [](OnvifCamera& camera) {
                                    const test::SoapAnswer a = call(camera, kDeviceInformation);
                                    EXPECT_EQ(a.status, 200);
                                    EXPECT_GE(a.body.size(), 2u << 20);
                                    pugi::xml_document doc;
                                    ASSERT_TRUE(a.parse(doc)) << "still a well-formed envelope";
                                    EXPECT_EQ(test::findText(doc, "Model"), "Simulated PTZ Dome");
                                }}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace camsim
