// PTZ end to end: the stream client's pan request, through the shipped
// Pelco-D file and the protocol version 2 plug-in, turns the simulated
// camera's head, and the decoded picture shows the scene moved.
#include "camsim/v2_camera.h"
#include "end_to_end_fixture.h"

#include <cmath>
#include <cstdlib>

namespace {

using namespace ostrel::test;

constexpr int32_t kPtzAddress = 2;

class PtzEndToEndTest : public EndToEndTest<camsim::V2Camera> {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        camsim::CameraOptions o = loopbackCamera(1);
        o.scene.enabled = true;
        o.ptzAddress = kPtzAddress;
        ASSERT_TRUE(startCamera(o));
        camera->head().setMotionDetection(false, {}); // nothing moves but the head
        MediaConfig c = loopbackConfig(2);
        std::strcpy(c.password, "admin");
        c.controlPort = camera->controlPort();
        c.streamingPort = camera->videoPort();
        c.httpPort = camera->httpPort();
        ASSERT_EQ(open(2, c, false), 1);
        ASSERT_TRUE(camera->waitControlLogin(5000));
        PTZEnableInfo info{};
        info.sourceType = OSTREL_PTZ_SOURCE_FILE;
        std::strncpy(info.fileName, SHIPPED_PTZ_DIR "/Pelco-D.ptz", sizeof info.fileName - 1);
        info.addressId = kPtzAddress;
        ASSERT_EQ(M_KEnablePTZProtocol(handle, 1, &info), 1);
    }

    // Waits for `n` more pictures to be drawn.
    void waitPictures(int n) { ASSERT_TRUE(rendered.waitFor(rendered.value() + n)); }

    static int luma(const platform::RecordingSurface::Snapshot& s, int x, int y) {
        const uint8_t* p = s.pixels.data() + s.stride * static_cast<std::size_t>(y) + 4u * x;
        return (p[0] + 2 * p[1] + p[2]) / 4;
    }

    // The horizontal shift that best lays `before` over `after`, from the
    // middle rows (clear of the name, clock and status lines).
    static int bestShift(const platform::RecordingSurface::Snapshot& before,
                         const platform::RecordingSurface::Snapshot& after) {
        int best = 0;
        double bestDiff = 1e18;
        for (int shift = -150; shift <= 150; ++shift) {
            double sum = 0;
            int n = 0;
            for (int y = before.height / 4; y < before.height * 3 / 4; y += 2) {
                for (int x = 30; x < before.width - 30; ++x) {
                    const int ax = x + shift;
                    if (ax < 0 || ax >= after.width) continue;
                    sum += std::abs(luma(before, x, y) - luma(after, ax, y));
                    ++n;
                }
            }
            if (n > before.width * 4 && sum / n < bestDiff) {
                bestDiff = sum / n;
                best = shift;
            }
        }
        return best;
    }
};

TEST_F(PtzEndToEndTest, PanLeftThenStopMovesTheDecodedPicture) {
    waitPictures(10);
    const auto before = surface->snapshot();
    ASSERT_EQ(before.width, 352);
    const camsim::ViewWindow start = camera->head().window();

    ASSERT_EQ(M_KPTZ_LEFT(handle, 5), 1);
    ASSERT_TRUE(waitUntil([&] { return camera->head().state().pan == -1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(M_KPTZ_STOP(handle, 0), 1);
    ASSERT_TRUE(waitUntil([&] { return camera->head().state().pan == 0; }));
    const camsim::ViewWindow stopped = camera->head().window();
    ASSERT_LT(stopped.x, start.x);

    waitPictures(15);
    const auto after = surface->snapshot();
    // Left pan: what was at x is now further right, by the window's move.
    const int expected = static_cast<int>(std::lround((start.x - stopped.x) / stopped.width() * after.width));
    const int found = bestShift(before, after);
    EXPECT_GT(found, 10);
    EXPECT_NEAR(found, expected, 3);

    // Stopped means stopped: later pictures show the same window.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(camera->head().window(), stopped);
}

} // namespace
