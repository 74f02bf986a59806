#include "aim/calibration.h"

#include <gtest/gtest.h>

namespace aim {
namespace {

// A measurement of a 256x144 sample: the content moved (dx, dy) pixels.
Measurement moved(double pan, double tilt, double dx, double dy, double peak = 0.5, double zoom = 0.0) {
    return {zoom, pan, tilt, Shift{dx, dy, peak}, 256, 144};
}

TEST(CalibrationFit, RatesAndSignsComeFromTheMeasuredShifts) {
    const struct {
        const char* what;
        std::vector<Measurement> measurements;
        std::optional<AxisRates> rates;
    } cases[] = {
        // Panning right moves the content left: the view travels right.
        {"ordinary axes", {moved(0.1, 0, -25.6, 0), moved(0, 0.1, 0, 14.4)}, AxisRates{2.0, 2.0}},
        {"inverted pan", {moved(0.1, 0, 25.6, 0), moved(0, 0.1, 0, 14.4)}, AxisRates{-2.0, 2.0}},
        {"inverted tilt", {moved(0.1, 0, -25.6, 0), moved(0, 0.1, 0, -14.4)}, AxisRates{2.0, -2.0}},
        {"two sizes of move: least squares",
         {moved(0.05, 0, -12.8, 0), moved(0.1, 0, -25.6, 0), moved(0, 0.2, 0, 14.4)},
         AxisRates{2.0, 1.0}},
        {"a noisy measurement is refused, the others fit",
         {moved(0.1, 0, -25.6, 0), moved(0.1, 0, 90, 0, 0.02), moved(0, 0.1, 0, 14.4)},
         AxisRates{2.0, 2.0}},
        {"only noise", {moved(0.1, 0, -25.6, 0, 0.01), moved(0, 0.1, 0, 14.4, 0.01)}, std::nullopt},
        {"the picture did not move", {moved(0.1, 0, -0.2, 0), moved(0, 0.1, 0, 14.4)}, std::nullopt},
        {"no tilt measured", {moved(0.1, 0, -25.6, 0)}, std::nullopt},
    };
    for (const auto& c : cases) {
        const Fit fit = fitPoint(c.measurements);
        ASSERT_EQ(fit.point.has_value(), c.rates.has_value()) << c.what << ": " << fit.why;
        if (!fit.point) {
            EXPECT_FALSE(fit.why.empty()) << c.what;
            continue;
        }
        EXPECT_NEAR(fit.point->rates.pan, c.rates->pan, 1e-9) << c.what;
        EXPECT_NEAR(fit.point->rates.tilt, c.rates->tilt, 1e-9) << c.what;
    }
}

Calibration zoomTable() {
    // A lens whose magnification follows its position, 1x to 8x: the rates
    // grow straight with it.
    Calibration c;
    c.add({0.0, {2.0, -2.0}});
    c.add({1.0, {16.0, -16.0}});
    return c;
}

TEST(CalibrationZoom, RatesFollowTheMagnificationBetweenAndPastThePoints) {
    Calibration c;
    c.add({0.0, {2.0, -2.0}});
    c.add({0.5, {9.0, -9.0}});
    const struct {
        double zoom;
        double pan;
    } cases[] = {
        {0.0, 2.0}, {0.5, 9.0}, {0.25, 5.5}, {1.0, 16.0}, {-1.0, 0.2},
    };
    for (const auto& k : cases) {
        const auto rates = c.ratesAt(k.zoom);
        ASSERT_TRUE(rates);
        EXPECT_NEAR(rates->pan, k.pan, 1e-9) << k.zoom;
        EXPECT_NEAR(rates->tilt, -k.pan, 1e-9) << "signs kept at " << k.zoom;
    }
    Calibration one;
    one.add({0.3, {1.5, 1.5}});
    EXPECT_EQ(one.ratesAt(0.9)->pan, 1.5) << "one point holds everywhere";
    EXPECT_FALSE(Calibration().ratesAt(0.0));
}

TEST(CalibrationZoom, MagnifyingFindsTheZoomPositionWhereRatesAreThatMuchLarger) {
    const Calibration c = zoomTable();
    // Twice as large a picture from the widest: rates 2 -> 4, at 1 + 7z = 2.
    EXPECT_NEAR(*c.zoomMagnifying(0.0, 2.0), 1.0 / 7.0, 1e-6);
    EXPECT_NEAR(*c.zoomMagnifying(3.0 / 7.0, 0.5), 1.0 / 7.0, 1e-6) << "zooming out, 4x to 2x";
    EXPECT_NEAR(*c.zoomMagnifying(0.0, 20.0), 1.0, 1e-6) << "held at tele";
    Calibration one;
    one.add({0.0, {1.0, 1.0}});
    EXPECT_FALSE(one.zoomMagnifying(0.0, 2.0)) << "one point tells nothing of the zoom";
}

TEST(CalibrationText, RoundTripsAndRefusesWhatIsNotOne) {
    Calibration c = zoomTable();
    c.unit = MoveUnit::Second;
    c.speed = 3;
    c.zoomDoublingsPerSecond = 0.75;
    const auto back = Calibration::fromText(c.toText());
    ASSERT_TRUE(back) << c.toText();
    EXPECT_EQ(*back, c);
    EXPECT_LE(c.toText().size(), 200u);
    for (const char* bad : {"", "X 0 0 0:1,1", "R 0 0", "R 9 0 0:1,1", "R 0 0 0:1", "R 0 0 2:1,1", "R 0 0 0:1,1x",
                            "R 0 -1 0:1,1", "R 0 0 0:nan,1", "R 0 0 0;1,1"}) {
        EXPECT_FALSE(Calibration::fromText(bad)) << bad;
    }
}

TEST(CalibrationText, KeepsAtMostSixPointsNearestTheLatest) {
    Calibration c;
    for (int i = 0; i <= 10; ++i) c.add({i / 10.0, {1.0 + i, 1.0}});
    EXPECT_EQ(c.points().size(), Calibration::kMaxPoints);
    EXPECT_DOUBLE_EQ(c.points().back().zoom, 1.0);
    c.add({1.004, {9.0, 9.0}});
    EXPECT_EQ(c.points().size(), Calibration::kMaxPoints) << "the same zoom replaces its point";
}

} // namespace
} // namespace aim
