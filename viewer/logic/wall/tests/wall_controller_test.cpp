// The wall's streams, reconnects, audio and keys against recorded stream
// calls and a manual clock: no widgets, no cameras.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tavolin/wall_controller.h"

namespace tavolin {
namespace {

// Records what the wall asked of its streams, as "open 3", "open 3 audio",
// "close 3", "audio 3 on".
class RecordedStreams final : public WallStreams {
public:
    void open(int position, bool playAudio) override {
        calls.push_back("open " + std::to_string(position) + (playAudio ? " audio" : ""));
    }
    void close(int position) override { calls.push_back("close " + std::to_string(position)); }
    void setAudio(int position, bool play) override {
        calls.push_back("audio " + std::to_string(position) + (play ? " on" : " off"));
    }
    std::vector<std::string> take() { return std::exchange(calls, {}); }

    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

class WallControllerTest : public ::testing::Test {
protected:
    // Cameras 0..9 have a host; 10..15 none.
    WallControllerTest() {
        for (int i = 0; i < kCameraCount; ++i) {
            records_[i] = defaultCameraRecord(i);
            setText(records_[i].host, i < 10 ? "127.0.0.1" : "");
        }
    }

    WallController& start(WallLayout layout = WallLayout::Grid2x2, int page = 0) {
        return start(WallSettings{.layout = layout, .page = page});
    }
    WallController& start(WallSettings settings) {
        wall_ = std::make_unique<WallController>(records_, streams_, clock_, std::move(settings));
        wall_->start();
        return *wall_;
    }
    // The stream of `position` fails and is gone.
    void fail(int position) {
        wall_->streamFailed(position);
        wall_->streamClosed(position);
    }

    std::array<CameraRecord, kCameraCount> records_{};
    RecordedStreams streams_;
    platform::ManualClock clock_;
    std::unique_ptr<WallController> wall_;
};

TEST_F(WallControllerTest, OnlyTheShownPageRunsAndHiddenCellsClose) {
    WallController& wall = start();
    EXPECT_EQ(streams_.take(), (Calls{"open 0", "open 1", "open 2", "open 3"}));
    wall.key(WallKey::PageDown);
    EXPECT_EQ(streams_.take(),
              (Calls{"close 0", "close 1", "close 2", "close 3", "open 4", "open 5", "open 6", "open 7"}));
    for (int p : {0, 1, 2, 3}) wall.streamClosed(p);
    EXPECT_TRUE(streams_.take().empty());

    wall.key(WallKey::Sixteen); // all ten on one page
    EXPECT_EQ(streams_.take(), (Calls{"open 0", "open 1", "open 2", "open 3", "open 8", "open 9"}));
    EXPECT_EQ(wall.cellStatus(10).state, CellState::Empty);

    // A camera whose old stream is still closing opens once it is gone.
    wall.key(WallKey::One); // only the selected camera 4 stays
    EXPECT_EQ(streams_.take().size(), 9u);
    wall.streamClosed(1);
    wall.key(WallKey::Sixteen);
    EXPECT_EQ(streams_.take(), Calls{"open 1"});
    wall.streamClosed(5);
    EXPECT_EQ(streams_.take(), Calls{"open 5"});

    wall.stop(); // those still closing are not closed twice
    EXPECT_EQ(streams_.take(), (Calls{"close 1", "close 4", "close 5"}));
}

TEST_F(WallControllerTest, EachCameraReconnectsOnItsOwnBackOff) {
    WallController& wall = start();
    streams_.take();
    for (int p : {0, 1, 2, 3}) {
        wall.streamConnected(p);
        wall.pictureShown(p);
    }
    wall.streamLost(2, "the camera closed the connection");
    wall.streamFailed(2, "stale"); // stale news of the stream that is closing
    wall.pictureShown(2);
    wall.streamLost(42);
    EXPECT_EQ(streams_.take(), Calls{"close 2"});
    wall.streamClosed(2);
    // The cell says why, until pictures come again.
    EXPECT_EQ(wall.cellStatus(2).reason, "the camera closed the connection");
    EXPECT_EQ(wall.cellStatus(1).reason, "");
    for (int expectedMs : {1000, 2000, 4000, 8000}) {
        SCOPED_TRACE(expectedMs);
        EXPECT_EQ(wall.cellStatus(2).state, CellState::Reconnecting);
        EXPECT_EQ(wall.cellStatus(2).secondsLeft, expectedMs / 1000);
        clock_.advanceMs(expectedMs - 1);
        wall.tick();
        EXPECT_TRUE(streams_.take().empty());
        clock_.advanceMs(1);
        wall.tick();
        EXPECT_EQ(streams_.take(), Calls{"open 2"});
        EXPECT_EQ(wall.cellStatus(2).state, CellState::Connecting);
        wall.streamConnected(2); // connects, but no picture: keeps backing off
        EXPECT_EQ(wall.cellStatus(2).state, CellState::NoPicture);
        wall.streamLost(2);
        wall.streamClosed(2);
        streams_.take();
    }
    clock_.advanceMs(16000);
    wall.tick();
    wall.pictureShown(2);
    EXPECT_EQ(wall.cellStatus(2).state, CellState::Showing);
    EXPECT_EQ(wall.cellStatus(2).reason, "");
    fail(2);
    EXPECT_EQ(wall.cellStatus(2).secondsLeft, 1) << "a picture starts the back-off again";
    for (int p : {0, 1, 3}) EXPECT_EQ(wall.cellStatus(p).state, CellState::Showing);
}

TEST_F(WallControllerTest, PagingBackNeverBringsAnAttemptForward) {
    WallController& wall = start();
    for (int i = 0; i < 3; ++i) { // waits of 1, 2, then 4 s
        fail(1);
        clock_.advanceMs(wall.cellStatus(1).secondsLeft * 1000);
        wall.tick();
    }
    fail(1);
    ASSERT_EQ(wall.cellStatus(1).secondsLeft, 8);
    wall.key(WallKey::PageDown);
    wall.key(WallKey::PageUp);
    streams_.take();
    EXPECT_EQ(wall.cellStatus(1).state, CellState::Reconnecting);
    clock_.advanceMs(8000);
    wall.tick();
    EXPECT_EQ(streams_.take(), Calls{"open 1"});
}

TEST_F(WallControllerTest, AudioComesFromTheSelectedCellAloneWhenItsAudioInIsOn) {
    records_[0].playAudio = 1;
    records_[3].playAudio = 1;
    WallController& wall = start();
    EXPECT_EQ(streams_.take(), (Calls{"open 0 audio", "open 1", "open 2", "open 3"}));
    wall.key(WallKey::Right); // camera 1: Audio In off
    EXPECT_EQ(streams_.take(), Calls{"audio 0 off"});
    wall.key(WallKey::Down); // camera 3
    EXPECT_EQ(streams_.take(), Calls{"audio 3 on"});
    EXPECT_EQ(wall.openSingleView(), 3);
    EXPECT_EQ(streams_.take(), Calls{"audio 3 off"}) << "the single view plays its own audio";
    wall.singleViewTookOver();
    EXPECT_EQ(streams_.take(), Calls{"close 3"});
}

TEST_F(WallControllerTest, TheSingleViewTakesItsCameraWhileTheOthersRun) {
    WallController& wall = start();
    streams_.take();
    EXPECT_EQ(wall.click(2), WallAction::OpenSingle);
    EXPECT_EQ(wall.openSingleView(), 2);
    // The cell's picture shows in the single view until its own comes.
    EXPECT_TRUE(streams_.take().empty());
    wall.singleViewTookOver();
    EXPECT_EQ(streams_.take(), Calls{"close 2"});
    wall.streamClosed(2);
    wall.tick();
    EXPECT_TRUE(streams_.take().empty());
    wall.singleViewClosed();
    EXPECT_EQ(streams_.take(), Calls{"open 2"});
}

TEST_F(WallControllerTest, ReturnOpensTheSelectedCameraOrOnAnEmptyWallTheMenu) {
    EXPECT_EQ(start().key(WallKey::Return), WallAction::OpenSingle);
    EXPECT_EQ(wall_->key(WallKey::Left), WallAction::None);
    for (int i = 0; i < kCameraCount; ++i) setText(records_[i].host, "");
    EXPECT_EQ(start().key(WallKey::Return), WallAction::OpenMenu);
    EXPECT_EQ(wall_->click(0), WallAction::None);
}

// What a camera reports shows on its cell for the period after the one it
// came in (so a short event still shows for a whole period), and only where
// the camera's record shows events.
TEST_F(WallControllerTest, EventsShowForThePeriodAfterTheyCameWhereTheCameraShowsThem) {
    records_[0].showEvents = 1;
    WallController& wall = start();
    wall.motion(0, 1, 0, 0, 0);
    wall.input(0, 0, 1);
    wall.motion(1, 1, 1, 1, 1); // camera 1 does not show its events
    wall.motion(kCameraCount, 1, 1, 1, 1);
    clock_.advanceMs(WallController::kEventPeriodMs - 1);
    wall.tick();
    EXPECT_EQ(wall.cellStatus(0).indicators, WallIndicators{});
    clock_.advanceMs(1);
    wall.tick();
    EXPECT_EQ(wall.cellStatus(0).indicators, (WallIndicators{true, false, false, false, false, true}));
    EXPECT_EQ(wall.cellStatus(1).indicators, WallIndicators{});
    wall.input(0, 1, 0);
    clock_.advanceMs(WallController::kEventPeriodMs);
    wall.tick();
    EXPECT_EQ(wall.cellStatus(0).indicators, (WallIndicators{false, false, false, false, true, false}));
    clock_.advanceMs(WallController::kEventPeriodMs);
    wall.tick();
    EXPECT_EQ(wall.cellStatus(0).indicators, WallIndicators{});
}

TEST_F(WallControllerTest, SwitchingLayoutsKeepsTheStreamsOfCamerasInBoth) {
    using Cells = std::vector<std::optional<int>>;
    WallSettings settings{.layout = WallLayout::Grid2x2};
    settings.arrangements = {{"Gate", WallLayout::BigAndFive, Cells{5, 0, 1, std::nullopt, 2, 3}},
                             {"Yard", WallLayout::Grid2x2, Cells{std::nullopt, 9, 8, 5}}};
    WallController& wall = start(settings);
    EXPECT_EQ(streams_.take(), (Calls{"open 0", "open 1", "open 2", "open 3"}));

    ASSERT_TRUE(wall.showLayout(1));
    EXPECT_EQ(streams_.take(), Calls{"open 5"}); // 0..3 moved cells, still running
    EXPECT_EQ(wall.grid().cameraAt(0), 5);
    EXPECT_EQ(wall.grid().layout(), WallLayout::BigAndFive);

    ASSERT_TRUE(wall.showLayout(2));
    EXPECT_EQ(streams_.take(), (Calls{"close 0", "close 1", "close 2", "close 3", "open 8", "open 9"}));
    EXPECT_FALSE(wall.showLayout(3));
    EXPECT_TRUE(streams_.take().empty());
}

TEST_F(WallControllerTest, ArrangingAllCamerasMakesANewLayoutOfThePage) {
    WallController& wall = start();
    streams_.take();
    ASSERT_TRUE(wall.swapCells(0, 3));
    EXPECT_TRUE(streams_.take().empty()); // both keep their streams
    EXPECT_EQ(wall.shownLayout(), 1);
    EXPECT_EQ(wall.layoutName(1), "Layout 1");
    EXPECT_EQ(wall.grid().cameraAt(0), 3);

    ASSERT_TRUE(wall.putCamera(7, 1));
    EXPECT_EQ(streams_.take(), (Calls{"close 1", "open 7"}));
    ASSERT_TRUE(wall.emptyCell(2));
    EXPECT_EQ(streams_.take(), Calls{"close 2"});
    EXPECT_FALSE(wall.emptyCell(2));
    EXPECT_FALSE(wall.putCamera(12, 2)); // no host: not a wall camera
    EXPECT_EQ(wall.layoutCount(), 2);

    ASSERT_TRUE(wall.showLayout(0)); // the list's order is as it was
    EXPECT_EQ(wall.grid().cameraAt(0), 0);
    const WallSettings kept = wall.settings();
    EXPECT_EQ(kept.arrangements.at(0).cells, (std::vector<std::optional<int>>{3, 7, std::nullopt, 0}));
    EXPECT_EQ(kept.shown, 0);
}

TEST_F(WallControllerTest, TheTourMovesOnHoldsOnMotionAndStopsOnInput) {
    WallSettings settings{.layout = WallLayout::Grid2x2};
    settings.arrangements = {WallArrangement::of("Gate", WallLayout::Single, {6})};
    settings.tour.seconds = 5;
    records_[6].showEvents = 1;
    WallController& wall = start(settings);
    ASSERT_TRUE(wall.startTour());
    EXPECT_EQ(wall.shownLayout(), 0);
    clock_.advanceMs(5'000);
    EXPECT_EQ(wall.tick(), WallAction::Redraw);
    EXPECT_EQ(wall.shownLayout(), 1);

    wall.motion(6, 1, 0, 0, 0);
    clock_.advanceMs(5'000);
    EXPECT_EQ(wall.tick(), WallAction::None); // held while camera 6 moves
    clock_.advanceMs(4'999);
    EXPECT_EQ(wall.tick(), WallAction::None); // a full period after the motion
    clock_.advanceMs(1);
    EXPECT_EQ(wall.tick(), WallAction::Redraw);
    EXPECT_EQ(wall.shownLayout(), 0);

    EXPECT_TRUE(wall.interruptTour());
    EXPECT_FALSE(wall.interruptTour()); // the next input is the wall's again
    clock_.advanceMs(5'000);
    EXPECT_EQ(wall.tick(), WallAction::None);
    EXPECT_EQ(wall.shownLayout(), 0);
}

} // namespace
} // namespace tavolin
