// Pointing the simulated cameras: the head goes to positions and moves by
// translations through its faults, and the ONVIF camera offers and takes
// the spaces of its kind.
#include "camsim/camera_head.h"
#include "camsim/onvif_camera.h"

#include "onvif_test_client.h"

#include <gtest/gtest.h>

#include <string>

namespace camsim {
namespace {

constexpr char kPtz[] = "xmlns=\"http://www.onvif.org/ver20/ptz/wsdl\"";
constexpr char kSchemaXmlns[] = "xmlns=\"http://www.onvif.org/ver10/schema\"";
constexpr char kFovSpace[] = "http://www.onvif.org/ver10/tptz/PanTiltSpaces/TranslationSpaceFov";

TEST(PointingHead, PositionsRoundTripAndFaultsTurnWhatTheyMove) {
    const struct {
        const char* what;
        HeadFaults faults;
        double x, y, zoom; // the window the position 0.4, -0.2, 0.5 gives
    } cases[] = {
        {"well-behaved", {}, 0.7, 0.6, 4.5},
        {"inverted pan", {true, false, false}, 0.3, 0.6, 4.5},
        {"inverted tilt", {false, true, false}, 0.7, 0.4, 4.5},
        {"curved zoom", {false, false, true}, 0.7, 0.6, 2.8284271},
    };
    for (const auto& c : cases) {
        platform::ManualClock clock;
        CameraHead head(1, &clock);
        head.setFaults(c.faults);
        head.moveToPosition({0.4, -0.2, 0.5});
        EXPECT_TRUE(head.state().goingTo) << c.what;
        clock.advanceMs(5000);
        EXPECT_FALSE(head.state().goingTo) << c.what;
        const ViewWindow w = head.window();
        EXPECT_NEAR(w.x, c.x, 1e-6) << c.what;
        EXPECT_NEAR(w.y, c.y, 1e-6) << c.what;
        EXPECT_NEAR(w.zoom, c.zoom, 1e-6) << c.what;
        const HeadPosition p = head.position();
        EXPECT_NEAR(p.pan, 0.4, 1e-6) << c.what << ": reported as it was asked";
        EXPECT_NEAR(p.tilt, -0.2, 1e-6) << c.what;
        EXPECT_NEAR(p.zoom, 0.5, 1e-6) << c.what;
        // The field of view is the picture's own: no fault turns it.
        head.moveByFieldOfView(0.5, 0.5, 0.8);
        clock.advanceMs(5000);
        EXPECT_NEAR(head.window().x, c.x + 0.5 * w.width() / 2, 1e-6) << c.what;
        EXPECT_NEAR(head.window().y, c.y - 0.5 * w.height() / 2, 1e-6) << c.what;
        EXPECT_NEAR(head.window().zoom, c.zoom / 0.8, 1e-6) << c.what;
        double sx = 0, sy = 0;
        head.centreScenePoint(sx, sy);
        EXPECT_EQ(sx, head.window().x) << c.what;
    }
}

TEST(PointingHead, AMoveCommandEndsTheWayToAPosition) {
    platform::ManualClock clock;
    CameraHead head(1, &clock);
    head.moveByGeneric(0.4, 0, 0);
    clock.advanceMs(100);
    PtzCommand stop;
    head.apply(stop);
    const ViewWindow stopped = head.window();
    clock.advanceMs(2000);
    EXPECT_EQ(head.window(), stopped);
    EXPECT_GT(stopped.x, 0.5);
    EXPECT_LT(stopped.x, 0.7);
}

class OnvifPointingTest : public ::testing::TestWithParam<OnvifPtzSpaces> {
protected:
    void SetUp() override {
        OnvifOptions o;
        o.ptzSpaces = GetParam();
        camera_ = std::make_unique<OnvifCamera>(o, std::make_shared<CameraHead>(1, &clock_),
                                                std::make_shared<PlaceholderStreamSource>(8554));
        ASSERT_TRUE(camera_->start());
    }
    test::SoapAnswer call(const std::string& body) {
        test::PostOptions o;
        o.path = "/onvif/ptz_service";
        return test::post(camera_->port(),
                          test::envelope(body, test::usernameToken("admin", "admin", test::nowSeconds())), o);
    }
    std::string relative(const std::string& space, double x, double y) {
        return std::string("<RelativeMove ") + kPtz + "><ProfileToken>profile_main</ProfileToken><Translation>" +
               "<PanTilt " + kSchemaXmlns + " x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\"" +
               (space.empty() ? "" : " space=\"" + space + "\"") + "/></Translation></RelativeMove>";
    }

    platform::ManualClock clock_;
    std::unique_ptr<OnvifCamera> camera_;
};

TEST_P(OnvifPointingTest, SpacesAndMovesFollowTheCameraKind) {
    const OnvifPtzSpaces kind = GetParam();
    const std::string nodes = call(std::string("<GetNodes ") + kPtz + "/>").body;
    EXPECT_EQ(nodes.find(kFovSpace) != std::string::npos, kind == OnvifPtzSpaces::FieldOfView);
    EXPECT_EQ(nodes.find("AbsolutePanTiltPositionSpace") != std::string::npos, kind != OnvifPtzSpaces::ContinuousOnly);

    const int fov = call(relative(kFovSpace, 0.5, 0)).status;
    EXPECT_EQ(fov, kind == OnvifPtzSpaces::FieldOfView ? 200 : 500);
    const int generic = call(relative("", 0.2, 0)).status;
    EXPECT_EQ(generic, kind == OnvifPtzSpaces::ContinuousOnly ? 500 : 200);
    const int absolute = call(std::string("<AbsoluteMove ") + kPtz + "><ProfileToken>profile_main</ProfileToken>" +
                              "<Position><PanTilt " + kSchemaXmlns + " x=\"0\" y=\"0.1\"/><Zoom " + kSchemaXmlns +
                              " x=\"0\"/></Position></AbsoluteMove>")
                             .status;
    EXPECT_EQ(absolute, kind == OnvifPtzSpaces::ContinuousOnly ? 500 : 200);
    if (kind == OnvifPtzSpaces::ContinuousOnly) return;
    const std::string going =
        call(std::string("<GetStatus ") + kPtz + "><ProfileToken>profile_main</ProfileToken></GetStatus>").body;
    EXPECT_NE(going.find("MOVING"), std::string::npos);
    clock_.advanceMs(5000);
    const std::string there =
        call(std::string("<GetStatus ") + kPtz + "><ProfileToken>profile_main</ProfileToken></GetStatus>").body;
    EXPECT_EQ(there.find("MOVING"), std::string::npos);
    EXPECT_TRUE(there.find("y=\"0.1") != std::string::npos || there.find("y=\"0.0999") != std::string::npos) << there;
    EXPECT_EQ(call(relative(kFovSpace, 1.5, 0)).status, kind == OnvifPtzSpaces::FieldOfView ? 400 : 500)
        << "beyond the picture's edge";
}

INSTANTIATE_TEST_SUITE_P(EachKind, OnvifPointingTest,
                         ::testing::Values(OnvifPtzSpaces::FieldOfView, OnvifPtzSpaces::Generic,
                                           OnvifPtzSpaces::ContinuousOnly));

} // namespace
} // namespace camsim
