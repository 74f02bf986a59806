// The simulated ONVIF camera's services as a client sees them, and what they
// do to the camera head behind them.
#include "camsim/onvif_camera.h"

#include "onvif_test_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace camsim {
namespace {

using test::envelope;

constexpr char kMedia[] = "xmlns=\"http://www.onvif.org/ver10/media/wsdl\"";
constexpr char kPtz[] = "xmlns=\"http://www.onvif.org/ver20/ptz/wsdl\"";
constexpr char kDevice[] = "xmlns=\"http://www.onvif.org/ver10/device/wsdl\"";
constexpr char kEvents[] = "xmlns=\"http://www.onvif.org/ver10/events/wsdl\"";

class OnvifCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        head_ = std::make_shared<CameraHead>(1, &clock_);
        streams_ = std::make_shared<PlaceholderStreamSource>(8554);
        OnvifOptions o;
        o.maxPullWaitMs = 2000;
        camera_ = std::make_unique<OnvifCamera>(o, head_, streams_);
        ASSERT_TRUE(camera_->start());
    }

    test::SoapAnswer call(const std::string& body, const std::string& path = "/onvif/device_service") {
        test::PostOptions o;
        o.path = path;
        return test::post(camera_->port(), envelope(body, test::usernameToken("admin", "admin", test::nowSeconds())),
                          o);
    }
    // Calls and parses; fails the test unless the camera answered 200.
    pugi::xml_document ok(const std::string& body, const std::string& path = "/onvif/device_service") {
        const test::SoapAnswer a = call(body, path);
        EXPECT_EQ(a.status, 200) << body << "\n" << a.body;
        pugi::xml_document doc;
        EXPECT_TRUE(a.parse(doc));
        return doc;
    }
    std::string move(double x, double y) {
        return std::string("<ContinuousMove ") + kPtz +
               "><ProfileToken>profile_main</ProfileToken><Velocity><PanTilt "
               "xmlns=\"http://www.onvif.org/ver10/schema\" "
               "x=\"" +
               std::to_string(x) + "\" y=\"" + std::to_string(y) + "\"/></Velocity></ContinuousMove>";
    }

    // The motion object stands still at 9.5 s of its cycle: no motion yet.
    platform::ManualClock clock_{9500};
    std::shared_ptr<CameraHead> head_;
    std::shared_ptr<PlaceholderStreamSource> streams_;
    std::unique_ptr<OnvifCamera> camera_;
};

TEST_F(OnvifCameraTest, ProfilesDifferInSizeAndEachHasItsStream) {
    const pugi::xml_document profiles = ok(std::string("<GetProfiles ") + kMedia + "/>");
    const auto widths = test::findAll(profiles, "Width");
    ASSERT_EQ(test::findAll(profiles, "Profiles").size(), 2u);
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_STRNE(widths[0].child_value(), widths[1].child_value());
    const pugi::xml_document uri =
        ok(std::string("<GetStreamUri ") + kMedia +
           "><StreamSetup><Stream xmlns=\"http://www.onvif.org/ver10/schema\">RTP-Unicast</Stream><Transport "
           "xmlns=\"http://www.onvif.org/ver10/schema\"><Protocol>RTSP</Protocol></Transport></StreamSetup>"
           "<ProfileToken>profile_sub</ProfileToken></GetStreamUri>");
    EXPECT_EQ(test::findText(uri, "Uri"), "rtsp://127.0.0.1:8554/profile_sub");
    ok(std::string("<SetSynchronizationPoint ") + kMedia +
       "><ProfileToken>profile_sub</ProfileToken></SetSynchronizationPoint>");
    EXPECT_EQ(streams_->keyFramesRequested(), 1);
    const test::SoapAnswer unknown =
        call(std::string("<GetStreamUri ") + kMedia + "><ProfileToken>nope</ProfileToken></GetStreamUri>");
    EXPECT_EQ(unknown.status, 400);
    EXPECT_NE(unknown.body.find("ter:NoProfile"), std::string::npos);
}

TEST_F(OnvifCameraTest, ContinuousMovePansTheHeadUntilStop) {
    const ViewWindow start = head_->window();
    ok(move(1.0, 0.0));
    clock_.advanceMs(200);
    const ViewWindow moved = head_->window();
    EXPECT_GT(moved.x, start.x);
    EXPECT_DOUBLE_EQ(moved.y, start.y);
    ok(std::string("<Stop ") + kPtz + "><ProfileToken>profile_main</ProfileToken></Stop>");
    const ViewWindow stopped = head_->window();
    clock_.advanceMs(500);
    EXPECT_EQ(head_->window(), stopped);
    // Positive y tilts up: the window's centre rises.
    ok(move(0.0, 0.5));
    clock_.advanceMs(200);
    EXPECT_LT(head_->window().y, stopped.y);
}

TEST_F(OnvifCameraTest, MoveWithATimeoutStopsByItself) {
    ok(std::string("<ContinuousMove ") + kPtz +
       "><ProfileToken>profile_main</ProfileToken><Velocity><PanTilt xmlns=\"http://www.onvif.org/ver10/schema\" "
       "x=\"-0.5\" y=\"0\"/></Velocity><Timeout>PT0.3S</Timeout></ContinuousMove>");
    clock_.advanceMs(400);
    // The camera looks at its timeouts every few milliseconds of real time.
    for (int i = 0; i < 100 && head_->state().pan != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(head_->state().pan, 0);
}

TEST_F(OnvifCameraTest, PresetReturnsToTheStoredPicture) {
    ok(move(1.0, 0.0));
    clock_.advanceMs(300);
    ok(std::string("<Stop ") + kPtz + "><ProfileToken>profile_main</ProfileToken></Stop>");
    const ViewWindow stored = head_->window();
    const pugi::xml_document set = ok(std::string("<SetPreset ") + kPtz +
                                      "><ProfileToken>profile_main</ProfileToken><PresetName>Tavolin 1</PresetName>"
                                      "</SetPreset>");
    const std::string token = test::findText(set, "PresetToken");
    ASSERT_FALSE(token.empty());
    ok(move(-1.0, -1.0));
    clock_.advanceMs(300);
    ASSERT_NE(head_->window(), stored);
    ok(std::string("<GotoPreset ") + kPtz + "><ProfileToken>profile_main</ProfileToken><PresetToken>" + token +
       "</PresetToken></GotoPreset>");
    EXPECT_EQ(head_->window(), stored);
    const pugi::xml_document list =
        ok(std::string("<GetPresets ") + kPtz + "><ProfileToken>profile_main</ProfileToken></GetPresets>");
    EXPECT_EQ(test::findText(list, "Name"), "Tavolin 1");
    // A second preset of the same name is refused; removing frees the name.
    EXPECT_EQ(call(std::string("<SetPreset ") + kPtz +
                   "><ProfileToken>profile_main</ProfileToken><PresetName>Tavolin 1</PresetName></SetPreset>")
                  .status,
              400);
    ok(std::string("<RemovePreset ") + kPtz + "><ProfileToken>profile_main</ProfileToken><PresetToken>" + token +
       "</PresetToken></RemovePreset>");
    EXPECT_EQ(camera_->presetNames()[0], "");
    EXPECT_EQ(call(std::string("<GotoPreset ") + kPtz + "><ProfileToken>profile_main</ProfileToken><PresetToken>" +
                   token + "</PresetToken></GotoPreset>")
                  .status,
              400);
}

TEST_F(OnvifCameraTest, RelayOutputDrivesTheLamp) {
    const std::string set =
        std::string("<SetRelayOutputState ") + kDevice + "><RelayOutputToken>relay_1</RelayOutputToken><LogicalState>";
    ok(set + "active</LogicalState></SetRelayOutputState>");
    EXPECT_TRUE(head_->state().lamp);
    ok(set + "inactive</LogicalState></SetRelayOutputState>");
    EXPECT_FALSE(head_->state().lamp);
    EXPECT_EQ(call(set + "on</LogicalState></SetRelayOutputState>").status, 400);
}

TEST_F(OnvifCameraTest, InputAndMotionChangesReachAPullPoint) {
    const pugi::xml_document sub = ok(std::string("<CreatePullPointSubscription ") + kEvents +
                                          "><InitialTerminationTime>PT60S</InitialTerminationTime>"
                                          "</CreatePullPointSubscription>",
                                      "/onvif/event_service");
    const std::string address = test::findText(sub, "Address");
    const std::string path = address.substr(address.find("/onvif/"));
    const std::string pull = std::string("<PullMessages ") + kEvents +
                             "><Timeout>PT2S</Timeout><MessageLimit>10</MessageLimit></PullMessages>";
    // First the state as it is: every property once, "Initialized".
    const pugi::xml_document initial = ok(pull, path);
    EXPECT_EQ(test::findAll(initial, "NotificationMessage").size(), 3u);

    clock_.setMs(10500); // the object moves again
    head_->pulseInputs(1, 1000);
    // The camera samples its head every few milliseconds: the two changes
    // may come in one answer or in two.
    std::vector<std::string> seen;
    const auto saw = [&](const char* what) { return std::find(seen.begin(), seen.end(), what) != seen.end(); };
    for (int i = 0; i < 3 && !(saw("input_1=true") && saw("video_src_1=true")); ++i) {
        const pugi::xml_document changed = ok(pull, path);
        for (const pugi::xml_node& m : test::findAll(changed, "NotificationMessage")) {
            const pugi::xml_node source = m.select_node(".//*[local-name()='Source']/*").node();
            const pugi::xml_node data = m.select_node(".//*[local-name()='Data']/*").node();
            if (!source) continue;
            seen.push_back(std::string(source.attribute("Value").value()) + "=" + data.attribute("Value").value());
        }
    }
    EXPECT_TRUE(saw("input_1=true"));
    EXPECT_TRUE(saw("video_src_1=true"));

    ok(std::string("<Unsubscribe xmlns=\"http://docs.oasis-open.org/wsn/b-2\"/>"), path);
    EXPECT_EQ(call(pull, path).status, 400);
}

TEST_F(OnvifCameraTest, LogKeepsArrivalOrderAndShowsASlowAnswer) {
    camera_->setAnswerDelayMs(300);
    std::thread first([&] { call(move(0.5, 0)); });
    for (int i = 0; i < 400 && camera_->requestLog().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::thread second(
        [&] { call(std::string("<Stop ") + kPtz + "><ProfileToken>profile_main</ProfileToken></Stop>"); });
    first.join();
    second.join();
    const auto log = camera_->requestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].operation, "ContinuousMove");
    EXPECT_EQ(log[1].operation, "Stop");
    EXPECT_EQ(log[0].service, "ptz");
    EXPECT_LT(log[0].arrivalMs, log[1].arrivalMs);
    for (const auto& r : log) EXPECT_GE(r.answerMs - r.arrivalMs, 300);
    EXPECT_EQ(head_->state().pan, 0);
}

TEST_F(OnvifCameraTest, BadRequestsGetAClearRefusal) {
    struct Case {
        const char* what;
        std::string body;
        int status;
    };
    // Without credentials: the HTTP challenge comes before the body is read.
    const std::vector<Case> cases = {
        {"not XML", "<<<", 401},
        {"not SOAP", "<Envelope><Body><GetProfiles/></Body></Envelope>", 401},
        {"SOAP 1.1", "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body/></e:Envelope>", 401},
        {"entity bomb",
         "<!DOCTYPE a [<!ENTITY x \"xxxxxxxxxx\"><!ENTITY y \"&x;&x;&x;&x;&x;&x;\">]>" + envelope("<a>&y;</a>"), 401},
        {"unknown operation", envelope(std::string("<Reboot ") + kDevice + "/>"), 401},
        {"too large", std::string(300 * 1024, ' ') + envelope("<a/>"), 413},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(test::post(camera_->port(), c.body).status, c.status) << c.what;
    }
    EXPECT_EQ(call(std::string("<Reboot ") + kDevice + "/>").status, 500);
    EXPECT_EQ(call(move(2.0, 0)).status, 400) << "velocity beyond 1";
    EXPECT_EQ(call(std::string("<ContinuousMove ") + kPtz +
                   "><ProfileToken>profile_main</ProfileToken><Velocity><PanTilt "
                   "xmlns=\"http://www.onvif.org/ver10/schema\" x=\"nan\" y=\"0\"/></Velocity></ContinuousMove>")
                  .status,
              400);
}

} // namespace
} // namespace camsim
