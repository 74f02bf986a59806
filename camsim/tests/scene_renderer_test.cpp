// Pictures drawn from the head's state: what moves, what lights up.
#include "camsim/scene_renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace camsim {
namespace {

constexpr int kW = 352, kH = 240;

class SceneRendererTest : public ::testing::Test {
protected:
    YuvImage draw() {
        YuvImage image(kW, kH);
        renderer.render(head, "", image.picture());
        return image;
    }
    static int luma(const YuvImage& im, int x, int y) { return im.plane(0)[y * im.stride(0) + x]; }

    // Mean luma difference between a band of `a` and the same band of `b`
    // taken `shift` pixels further right, away from the overlays.
    static double bandDifference(const YuvImage& a, const YuvImage& b, int shift) {
        double sum = 0;
        int n = 0;
        for (int y = kH / 4; y < kH / 2; ++y) {
            for (int x = 40; x < kW - 40; ++x) {
                const int bx = x + shift;
                if (bx < 0 || bx >= kW) continue;
                sum += std::abs(luma(a, x, y) - luma(b, bx, y));
                ++n;
            }
        }
        return n > 0 ? sum / n : 1e9;
    }
    static int bestShift(const YuvImage& a, const YuvImage& b) {
        int best = 0;
        double bestDiff = 1e18;
        for (int s = -120; s <= 120; ++s) {
            const double d = bandDifference(a, b, s);
            if (d < bestDiff) {
                bestDiff = d;
                best = s;
            }
        }
        return best;
    }
    static double lumaVariation(const YuvImage& im) {
        double sum = 0;
        for (int y = kH / 4; y < kH * 3 / 4; ++y) {
            for (int x = 40; x < kW - 41; ++x) sum += std::abs(luma(im, x, y) - luma(im, x + 1, y));
        }
        return sum;
    }

    platform::ManualClock clock{1000};
    CameraHead head{1, &clock};
    SceneRenderer renderer{kW, kH, "TEST", 0};
};

TEST_F(SceneRendererTest, PanningLeftShiftsThePictureRightByTheWindowMove) {
    const YuvImage before = draw();
    PtzCommand left;
    left.pan = -1;
    left.panSpeed = 0x20;
    head.apply(left);
    clock.advanceMs(250);
    head.apply(PtzCommand{});
    const YuvImage after = draw();
    const double moved = 0.5 - head.window().x;
    ASSERT_GT(moved, 0);
    const int expected = static_cast<int>(std::lround(moved / head.window().width() * kW));
    // The scene seen before at x is now at x + expected.
    const int found = bestShift(before, after);
    EXPECT_NEAR(found, expected, 2);
    EXPECT_GT(found, 10);
}

TEST_F(SceneRendererTest, LandmarkAtTheCentreIsWhereTheWindowPutsIt) {
    const YuvImage image = draw();
    for (const Landmark& m : SceneRenderer::landmarks(0)) {
        double px = 0, py = 0;
        SceneRenderer::sceneToPicture(head.window(), m.x, m.y, kW, kH, px, py);
        if (px < 60 || px > kW - 60 || py < 40 || py > kH - 40) continue;
        const Yuv want = toYuv(m.colour);
        EXPECT_NEAR(luma(image, static_cast<int>(px), static_cast<int>(py)), want.y, 3) << m.x << "," << m.y;
    }
}

TEST_F(SceneRendererTest, ZoomInMagnifiesAroundTheCentre) {
    const YuvImage wide = draw();
    PtzCommand tele;
    tele.zoom = 1;
    head.apply(tele);
    clock.advanceMs(1000);
    head.apply(PtzCommand{});
    ASSERT_NEAR(head.window().zoom, 2.0, 1e-9);
    const YuvImage narrow = draw();
    // A point a quarter picture right of centre at zoom 2 shows what an eighth
    // right of centre showed at zoom 1.
    int same = 0, total = 0;
    for (int y = kH / 2 - 10; y < kH / 2 + 10; ++y) {
        for (int dx = 8; dx < 80; dx += 4) {
            ++total;
            if (std::abs(luma(narrow, kW / 2 + 2 * dx, y) - luma(wide, kW / 2 + dx, kH / 2 + (y - kH / 2) / 2)) <= 4)
                ++same;
        }
    }
    EXPECT_GT(same, total * 8 / 10);
}

TEST_F(SceneRendererTest, LampIsLitOnlyWhileTheOutputIsOne) {
    int x = 0, y = 0;
    SceneRenderer::lampCentre(kW, kH, x, y);
    const int dark = luma(draw(), x, y);
    head.setOutput(true);
    const int lit = luma(draw(), x, y);
    EXPECT_GT(lit, dark + 80);
    head.setOutput(false);
    EXPECT_EQ(luma(draw(), x, y), dark);
}

TEST_F(SceneRendererTest, QuadModesShowFourDifferentInputsAndTheirSplit) {
    std::vector<YuvImage> inputs;
    for (int mode = 1; mode <= 4; ++mode) {
        head.setQuadMode(mode);
        inputs.push_back(draw());
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j) EXPECT_GT(bandDifference(inputs[i], inputs[j], 0), 10) << i << j;
    }
    head.setQuadMode(0);
    const YuvImage split = draw();
    EXPECT_GT(bandDifference(split, inputs[0], 0), 10);
}

TEST_F(SceneRendererTest, FocusSoftensAndIrisBrightens) {
    const YuvImage sharp = draw();
    PtzCommand c;
    c.focus = 1;
    c.iris = 1;
    head.apply(c);
    clock.advanceMs(1000);
    head.apply(PtzCommand{});
    const YuvImage soft = draw();
    EXPECT_LT(lumaVariation(soft), lumaVariation(sharp) * 0.7);
    long sumSharp = 0, sumSoft = 0;
    for (int x = 60; x < kW - 60; ++x) {
        sumSharp += luma(sharp, x, kH / 2);
        sumSoft += luma(soft, x, kH / 2);
    }
    EXPECT_GT(sumSoft, sumSharp + 8 * (kW - 120)); // some of the row is near white already
}

TEST_F(SceneRendererTest, MenuIsDrawnWhileOpen) {
    const YuvImage closed = draw();
    PtzCommand osd;
    osd.kind = PtzCommand::Kind::PresetGo;
    osd.preset = kOsdPreset;
    head.apply(osd);
    const YuvImage open = draw();
    EXPECT_GT(bandDifference(open, closed, 0), 10);
}

} // namespace
} // namespace camsim
