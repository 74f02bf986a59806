#include "aim/move_planner.h"

#include <gtest/gtest.h>

namespace aim {
namespace {

using Kind = MovePlan::Kind;

Calibration generic() {
    Calibration c;
    c.add({0.0, {2.0, -4.0}}); // the tilt axis inverted
    c.add({1.0, {16.0, -32.0}});
    return c;
}

Calibration timed() {
    Calibration c;
    c.unit = MoveUnit::Second;
    c.speed = 3;
    c.zoomDoublingsPerSecond = 1.0;
    c.add({0.0, {0.5, 0.25}});
    return c;
}

TEST(MovePlanner, ChoosesTheMoveTheCameraOffers) {
    const Capabilities fov{true, true, true, true, true, true};
    const Capabilities fovPanTiltOnly{true, false, true, true, true, true};
    const Capabilities genericOnly{false, false, true, true, true, true};
    const Capabilities directionsOnly{};
    const Calibration g = generic();
    const Calibration t = timed();
    const struct {
        const char* what;
        Target target;
        Capabilities camera;
        const Calibration* calibration;
        bool refused;
        Kind kind;
        double pan, tilt, zoom;
    } cases[] = {
        {"field of view: the point itself", {{0.5, -0.25}}, fov, nullptr, false, Kind::FovRelative, 0.5, -0.25, 1.0},
        {"field of view with a box: the view's ratio",
         {{0.5, 0.5}, 4.0},
         fov,
         nullptr,
         false,
         Kind::FovRelative,
         0.5,
         0.5,
         0.25},
        {"a box without the zoom space: generic with the calibration",
         {{0.5, 0.5}, 2.0},
         fovPanTiltOnly,
         &g,
         false,
         Kind::GenericRelative,
         0.25,
         -0.125,
         1.0 / 7.0},
        {"generic: units from the rates, an inverted axis turned",
         {{0.5, 0.5}},
         genericOnly,
         &g,
         false,
         Kind::GenericRelative,
         0.25,
         -0.125,
         0.0},
        {"generic, not calibrated", {{0.5, 0.5}}, genericOnly, nullptr, false, Kind::None, 0, 0, 0},
        {"relative refused, calibrated in translation units", {{0.5, 0.5}}, genericOnly, &g, true, Kind::None, 0, 0, 0},
        {"field of view refused, timed calibration", {{0.5, 0.5}}, fov, &t, true, Kind::Timed, 0, 0, 0},
        {"direction commands only", {{0.5, 0.5}}, directionsOnly, &t, false, Kind::Timed, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const MovePlan plan = planMove(c.target, c.camera, c.calibration, 0.0, c.refused);
        ASSERT_EQ(plan.kind, c.kind) << c.what << ": " << plan.why;
        if (plan.kind == Kind::None) {
            EXPECT_FALSE(plan.why.empty()) << c.what;
        } else if (plan.kind != Kind::Timed) {
            EXPECT_NEAR(plan.pan, c.pan, 1e-9) << c.what;
            EXPECT_NEAR(plan.tilt, c.tilt, 1e-9) << c.what;
            EXPECT_NEAR(plan.zoom, c.zoom, 1e-6) << c.what;
        }
    }
}

TEST(MovePlanner, TimedMovesRunBothAxesThenTheLongerOneThenTheZoom) {
    const struct {
        const char* what;
        double pan, tilt, zoom;
        std::vector<TimedStep> steps;
    } cases[] = {
        {"pan only", 0.4, 0, 0, {{1, 0, 0, 400}}},
        {"both, tilt longer and down", 0.2, -0.5, 0, {{1, -1, 0, 200}, {0, -1, 0, 300}}},
        {"both, pan longer and left", -0.6, 0.1, 0, {{-1, 1, 0, 100}, {-1, 0, 0, 500}}},
        {"equal", 0.3, 0.3, 0, {{1, 1, 0, 300}}},
        {"a step too short for a camera is left out", 0.3, 0.01, 0, {{1, 0, 0, 300}}},
        {"a box: the zoom after the turn", 0.1, 0, 1.5, {{1, 0, 0, 100}, {0, 0, 1, 1500}}},
        {"nothing to do", 0.005, -0.005, 0, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(timedSteps(c.pan, c.tilt, c.zoom), c.steps) << c.what;
    // The plan's times come from the rates: 0.5 field-of-view units a second
    // of pan, and one doubling a second of zoom for a box four times smaller.
    const Calibration t = timed();
    const MovePlan plan = planMove({{0.25, 0.0}, 4.0}, Capabilities{}, &t, std::nullopt);
    EXPECT_EQ(plan.speed, 3);
    EXPECT_EQ(plan.steps, (std::vector<TimedStep>{{1, 0, 0, 500}, {0, 0, 1, 2000}}));
}

} // namespace
} // namespace aim
