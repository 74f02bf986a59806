#include "onvif/ptz_worker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace onvif {
namespace {

// A camera whose calls can be held, as a slow camera holds them, and that
// remembers what reached it.
class HeldCamera final : public PtzCamera {
public:
    bool move(double pan, double tilt, double zoom) override {
        return record("move " + std::to_string(int(pan * 100)) + " " + std::to_string(int(tilt * 100)) + " " +
                      std::to_string(int(zoom * 100)));
    }
    bool stop(bool panTilt, bool zoom) override {
        return record(std::string("stop") + (panTilt ? " pantilt" : "") + (zoom ? " zoom" : ""));
    }
    bool setPreset(int n) override { return record("set " + std::to_string(n)); }
    bool gotoPreset(int n) override { return record("goto " + std::to_string(n)); }
    bool setRelay(bool active) override { return record(active ? "relay on" : "relay off"); }

    void hold() {
        std::lock_guard lock(mutex_);
        held_ = true;
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            held_ = false;
        }
        changed_.notify_all();
    }
    // Waits until `count` calls have started.
    bool awaitCalls(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return calls_.size() >= count; });
    }
    std::vector<std::string> calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    bool record(const std::string& call) {
        std::unique_lock lock(mutex_);
        calls_.push_back(call);
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        return true;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    std::vector<std::string> calls_;
};

PtzRecord move(double pan, double tilt) {
    PtzRecord r;
    r.operation = PtzOperation::Move;
    r.pan = pan;
    r.tilt = tilt;
    return r;
}

PtzRecord stopAll() {
    PtzRecord r;
    r.operation = PtzOperation::Stop;
    r.stopPanTilt = true;
    return r;
}

PtzRecord preset(PtzOperation op, int n) {
    PtzRecord r;
    r.operation = op;
    r.preset = n;
    return r;
}

class PtzWorkerTest : public ::testing::Test {
protected:
    HeldCamera camera;
};

TEST_F(PtzWorkerTest, MovesWaitingBehindASlowCallMergeIntoTheLatest) {
    PtzWorker worker(camera);
    camera.hold();
    ASSERT_TRUE(worker.submit(move(-0.2, 0))); // reaches the camera and hangs there
    ASSERT_TRUE(camera.awaitCalls(1));
    // While the camera holds that call, the caller is never held.
    for (double pan : {-0.4, -0.6, -0.8, -1.0}) ASSERT_TRUE(worker.submit(move(pan, 0.2)));
    camera.release();
    ASSERT_TRUE(worker.waitIdle(5000));
    EXPECT_EQ(camera.calls(), (std::vector<std::string>{"move -20 0 0", "move -100 20 0"}));
    EXPECT_EQ(worker.merged(), 3);
}

TEST_F(PtzWorkerTest, StopsAreNeverDroppedAndKeepTheirPlace) {
    PtzWorker worker(camera);
    camera.hold();
    ASSERT_TRUE(worker.submit(move(0.2, 0)));
    ASSERT_TRUE(camera.awaitCalls(1));
    worker.submit(move(0.4, 0));
    worker.submit(stopAll());
    worker.submit(move(0, 0.6)); // a move after a stop does not merge across it
    worker.submit(move(0, 0.8));
    worker.submit(stopAll());
    worker.submit(preset(PtzOperation::GotoPreset, 2));
    worker.submitRelay(true);
    camera.release();
    ASSERT_TRUE(worker.waitIdle(5000));
    EXPECT_EQ(camera.calls(), (std::vector<std::string>{"move 20 0 0", "move 40 0 0", "stop pantilt", "move 0 80 0",
                                                        "stop pantilt", "goto 2", "relay on"}));
}

TEST_F(PtzWorkerTest, StopIsTakenEvenWhenTheQueueIsFull) {
    PtzWorker worker(camera);
    camera.hold();
    worker.submit(preset(PtzOperation::SetPreset, 1));
    ASSERT_TRUE(camera.awaitCalls(1));
    int refused = 0;
    for (int i = 0; i < 100; ++i) {
        if (!worker.submit(preset(PtzOperation::GotoPreset, 1 + i % 8))) ++refused;
    }
    EXPECT_GT(refused, 0);
    EXPECT_TRUE(worker.submit(stopAll()));
    camera.release();
    ASSERT_TRUE(worker.waitIdle(5000));
    EXPECT_EQ(camera.calls().back(), "stop pantilt");
}

TEST_F(PtzWorkerTest, StoppedWorkerDropsWhatWaits) {
    {
        PtzWorker worker(camera);
        camera.hold();
        worker.submit(move(0.2, 0));
        ASSERT_TRUE(camera.awaitCalls(1));
        worker.submit(preset(PtzOperation::GotoPreset, 1));
        worker.stop();
        EXPECT_FALSE(worker.submit(stopAll()));
        camera.release(); // the call in progress ends; the destructor joins
    }
    EXPECT_EQ(camera.calls(), (std::vector<std::string>{"move 20 0 0"}));
}

TEST_F(PtzWorkerTest, AWaitedCallRunsInTurnAndHearsItsResult) {
    PtzWorker worker(camera);
    camera.hold();
    ASSERT_TRUE(worker.submit(move(0.2, 0)));
    ASSERT_TRUE(camera.awaitCalls(1));
    worker.submit(stopAll());
    // Given after the stop: it reaches the camera after it, and no move
    // merges into it.
    std::thread pointing([&] { EXPECT_TRUE(worker.runAndWait([&] { return camera.setPreset(9); }, 5000)); });
    ASSERT_TRUE(camera.awaitCalls(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    worker.submit(move(0.4, 0));
    camera.release();
    pointing.join();
    ASSERT_TRUE(worker.waitIdle(5000));
    EXPECT_EQ(camera.calls(), (std::vector<std::string>{"move 20 0 0", "stop pantilt", "set 9", "move 40 0 0"}));
    EXPECT_FALSE(worker.runAndWait([] { return false; }, 5000)) << "a failed call says so";
    // A call still waiting when the worker stops is told at once.
    camera.hold();
    worker.submit(move(0.2, 0));
    ASSERT_TRUE(camera.awaitCalls(5));
    std::thread dropped([&] { EXPECT_FALSE(worker.runAndWait([] { return true; }, 60000)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    worker.stop();
    dropped.join();
    camera.release();
}

TEST(PtzRecordTest, DecodesOnlyWellFormedRecords) {
    const uint8_t diagonal[] = {'O', 'V', 1, 0xC4, 0x3C, 0, 0}; // -60, +60
    const auto move = decodePtzRecord(diagonal, sizeof diagonal);
    ASSERT_TRUE(move.has_value());
    EXPECT_EQ(move->operation, PtzOperation::Move);
    EXPECT_DOUBLE_EQ(move->pan, -0.6);
    EXPECT_DOUBLE_EQ(move->tilt, 0.6);

    const uint8_t zoomStop[] = {'O', 'V', 2, 0, 0, 1, 0};
    const auto stop = decodePtzRecord(zoomStop, sizeof zoomStop);
    ASSERT_TRUE(stop.has_value());
    EXPECT_FALSE(stop->stopPanTilt);
    EXPECT_TRUE(stop->stopZoom);

    const std::vector<std::vector<uint8_t>> bad = {
        {0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D}, // Pelco bytes
        {'O', 'V', 1, 0x7F, 0, 0, 0},               // velocity 1.27
        {'O', 'V', 2, 0, 0, 0, 0},                  // a stop of nothing
        {'O', 'V', 4, 0, 0, 0, 0},                  // preset 0
        {'O', 'V', 9, 0, 0, 0, 1},
        {'O', 'V', 1, 0, 0, 0},
    };
    for (const auto& bytes : bad) EXPECT_FALSE(decodePtzRecord(bytes.data(), bytes.size()).has_value());
    EXPECT_FALSE(decodePtzRecord(nullptr, 7).has_value());
}

} // namespace
} // namespace onvif
