// The playback controller on a fake source and player: what it asks the
// player for each command, what it refuses, and which late reports it drops.
#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <thread>

#include "fake_player.h"
#include "tavolin/playback_controller.h"

namespace tavolin {
namespace {

using playback::PlayerMode;
using testing::FakeSource;
using testing::PlayerLog;

constexpr int64_t kMidnight = 1'700'000'000'000;
constexpr int64_t kDayLength = 24LL * 3600 * 1000;
constexpr int64_t kStart = kMidnight + 3'600'000;

// What the controller posts, run when the test says (the GUI thread's turn).
class PostQueue {
public:
    PlaybackController::Post post() {
        return [this](std::function<void()> call) {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
        };
    }
    // Runs what was posted until `done` holds (the search thread's answers
    // come when they come).
    template <class Done>
    void runUntil(Done done) {
        for (int i = 0; i < 5000 && !done(); ++i) {
            if (!runOne()) std::this_thread::yield();
        }
    }
    bool runOne() {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex_);
            if (calls_.empty()) return false;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
        return true;
    }
    void runAll() {
        while (runOne()) {}
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
};

struct Fixture {
    explicit Fixture(PlaybackOffer offer = {true, {}}, PlaybackDay day = defaultDay()) {
        controller =
            std::make_unique<PlaybackController>(std::make_unique<FakeSource>(offer, std::move(day), log), posts.post(),
                                                 playback::PlayerOutput{}, kMidnight, kDayLength, kStart);
        controller->start();
        posts.runUntil([this] {
            const auto a = controller->availability();
            return a == PlaybackAvailability::Ready || a == PlaybackAvailability::Unavailable;
        });
    }
    static PlaybackDay defaultDay() {
        PlaybackDay day;
        day.recordings = {{kMidnight, kMidnight + kDayLength, SpanKind::Recording}};
        day.events = {{kStart - 60'000, MarkKind::Motion}, {kStart + 60'000, MarkKind::Motion}};
        return day;
    }
    // The player's thread reports a status, then the GUI thread runs it.
    void report(PlayerMode mode, bool playWanted = false) {
        playback::PlayerStatus s;
        s.mode = mode;
        s.playWanted = playWanted;
        log->output.callbacks.status(s);
        posts.runAll();
    }
    void show(int64_t timeMs) {
        playback::PictureShown p;
        p.timeMs = timeMs;
        log->output.callbacks.picture(p);
        posts.runAll();
    }
    std::vector<std::string> takeCalls() { return std::exchange(log->calls, {}); }

    std::shared_ptr<PlayerLog> log = std::make_shared<PlayerLog>();
    PostQueue posts;
    std::unique_ptr<PlaybackController> controller;
};

std::string at(int64_t t) { return std::to_string(t); }

TEST(PlaybackControllerTest, ACameraWithoutReplayGreysEveryCommandWithItsReason) {
    Fixture f({false, "The camera has no replay service"});
    PlaybackController& c = *f.controller;
    EXPECT_EQ(c.availability(), PlaybackAvailability::Unavailable);
    EXPECT_EQ(c.reason(), "The camera has no replay service");
    EXPECT_FALSE(c.commandsEnabled());
    c.seek(kStart);
    c.play();
    c.stepForward();
    EXPECT_FALSE(c.setSpeed(2));
    EXPECT_FALSE(c.nextEvent());
    EXPECT_TRUE(f.log->calls.empty());
}

TEST(PlaybackControllerTest, TheDayFoundFillsTheTimelineAndShowsThePictureAtTheStart) {
    Fixture f;
    PlaybackController& c = *f.controller;
    EXPECT_EQ(c.availability(), PlaybackAvailability::Ready);
    EXPECT_EQ(c.timeline().spans().size(), 1u);
    EXPECT_EQ(c.timeline().events().size(), 2u);
    EXPECT_EQ(c.reason(), "searched from " + at(kMidnight));
    EXPECT_EQ(f.takeCalls(), (std::vector<std::string>{"open " + at(kStart)}));
}

TEST(PlaybackControllerTest, CommandsGoToThePlayerAndEventsAreFoundFromThePictureShown) {
    Fixture f;
    PlaybackController& c = *f.controller;
    f.report(PlayerMode::Paused);
    f.show(kStart + 40);
    f.takeCalls();
    c.togglePlay();
    c.togglePlay();
    c.stepForward();
    EXPECT_TRUE(c.setSpeed(4));
    EXPECT_FALSE(c.setSpeed(-2)); // reverse not offered
    EXPECT_FALSE(c.setSpeed(3));
    EXPECT_TRUE(c.nextEvent());
    f.report(PlayerMode::Paused);
    f.show(kStart + 60'000);
    EXPECT_TRUE(c.previousEvent()); // skips the event shown
    f.report(PlayerMode::Paused);
    f.show(kStart - 60'000);
    EXPECT_FALSE(c.previousEvent());
    c.jump(-PlaybackController::kJumpMs);
    EXPECT_EQ(f.takeCalls(),
              (std::vector<std::string>{"play", "pause", "step", "speed 4.000000", "seek " + at(kStart + 60'000),
                                        "seek " + at(kStart - 60'000), "seek " + at(kStart - 70'000)}));
}

TEST(PlaybackControllerTest, ADragSeeksOnceAtATimeAndEndsWhereThePointerStopped) {
    Fixture f;
    PlaybackController& c = *f.controller;
    f.report(PlayerMode::Paused);
    f.takeCalls();
    c.scrubTo(kStart + 1000);
    c.scrubTo(kStart + 2000); // the first is still seeking: held
    c.scrubTo(kStart + 3000); // replaces the one held
    EXPECT_EQ(c.playheadMs(), kStart + 3000);
    EXPECT_EQ(f.takeCalls(), (std::vector<std::string>{"seek " + at(kStart + 1000)}));
    f.report(PlayerMode::Seeking);
    EXPECT_TRUE(f.takeCalls().empty());
    f.report(PlayerMode::Paused);
    EXPECT_EQ(f.takeCalls(), (std::vector<std::string>{"seek " + at(kStart + 3000)}));
    f.report(PlayerMode::Paused);
    EXPECT_TRUE(f.takeCalls().empty());
}

TEST(PlaybackControllerTest, AFailedPlayerIsOpenedAgainAndReportsOfAReplacedOneAreDropped) {
    Fixture f;
    PlaybackController& c = *f.controller;
    const auto oldStatus = f.log->output.callbacks.status;
    f.report(PlayerMode::Failed);
    f.takeCalls();
    c.seek(kStart + 5000);
    EXPECT_EQ(f.takeCalls(), (std::vector<std::string>{"open " + at(kStart + 5000)}));
    playback::PlayerStatus late;
    late.mode = PlayerMode::Failed;
    oldStatus(late);
    f.posts.runAll();
    EXPECT_EQ(c.status().mode, PlayerMode::Opening);
    f.report(PlayerMode::Playing, true);
    EXPECT_TRUE(c.playing());
}

TEST(PlaybackControllerTest, AClipOutsideTheRecordingsPlaysInAPlayerOfItsOwn) {
    constexpr int64_t kMinute = 60'000;
    PlaybackDay day;
    day.recordings = {{kMidnight, kStart + 10 * kMinute, SpanKind::Recording}};
    day.clips = {{kStart + 5 * kMinute, kStart + 15 * kMinute, SpanKind::Clip},
                 {kStart + 20 * kMinute, kStart + 30 * kMinute, SpanKind::Clip}};
    Fixture f({true, {}}, day);
    PlaybackController& c = *f.controller;
    f.report(PlayerMode::Paused);
    c.seek(kStart + 6 * kMinute); // a clip over a recording: the camera's
    f.report(PlayerMode::Paused);
    c.seek(kStart + 12 * kMinute); // the clip alone
    f.report(PlayerMode::Paused);
    c.seek(kStart + 13 * kMinute); // the same clip
    f.report(PlayerMode::Paused);
    c.seek(kStart + 25 * kMinute); // the next clip
    f.report(PlayerMode::Paused);
    c.seek(kStart + 40 * kMinute); // nothing there: the camera's
    EXPECT_EQ(f.takeCalls(), (std::vector<std::string>{
                                 "open " + at(kStart), "seek " + at(kStart + 6 * kMinute),
                                 "open " + at(kStart + 12 * kMinute) + " clip", "seek " + at(kStart + 13 * kMinute),
                                 "open " + at(kStart + 25 * kMinute) + " clip", "open " + at(kStart + 40 * kMinute)}));
}

TEST(PlaybackControllerTest, ExportSavesTheMinuteFromTheClipHoldingItOrElseTheCamerasRecording) {
    constexpr int64_t kMinute = 60'000;
    PlaybackDay day;
    day.recordings = {{kStart, kStart + 10 * kMinute, SpanKind::Recording}};
    day.clips = {{kStart + 5 * kMinute, kStart + 7 * kMinute, SpanKind::Clip},
                 {kStart + 20 * kMinute, kStart + 20 * kMinute + 90'000, SpanKind::Clip}};
    Fixture f({true, {}}, day);
    PlaybackController& c = *f.controller;
    const std::pair<int64_t, ExportPlan> rows[] = {
        // A recording alone: the camera's minute.
        {kStart + kMinute, {{kStart + kMinute, kStart + 2 * kMinute}, SpanKind::Recording}},
        // A clip holding the whole minute, over a recording: the clip's.
        {kStart + 5 * kMinute, {{kStart + 5 * kMinute, kStart + 6 * kMinute}, SpanKind::Clip}},
        // The minute runs past the clip, the camera recorded: the camera's.
        {kStart + 6 * kMinute + 1, {{kStart + 6 * kMinute + 1, kStart + 7 * kMinute + 1}, SpanKind::Recording}},
        // A clip alone: up to its end.
        {kStart + 21 * kMinute, {{kStart + 21 * kMinute, kStart + 21 * kMinute + 30'000}, SpanKind::Clip}},
    };
    for (const auto& [shown, expected] : rows) {
        c.seek(shown);
        EXPECT_TRUE(c.exportPlan() == expected) << "shown " << shown - kStart;
    }
}

TEST(PlaybackControllerTest, ExportRunsOnceAtATimeSaysWhereItWentAndClosingCancelsIt) {
    Fixture f;
    PlaybackController& c = *f.controller;
    f.report(PlayerMode::Paused);
    ASSERT_TRUE(c.exportMinute());
    EXPECT_FALSE(c.exportMinute());
    f.posts.runUntil([&c] { return !c.exporting(); });
    EXPECT_EQ(c.exportMessage(), "Saved the minute from the picture shown (60 s, 3 pictures, from the camera's "
                                 "recording) to /clips/" +
                                     at(kStart) + ".mkv");
    f.log->exportWaitsForCancel = true;
    ASSERT_TRUE(c.exportMinute());
    f.controller.reset(); // returns once the export saw its cancel flag
    f.posts.runAll();     // its late answer finds the controller gone
}

TEST(PlaybackControllerTest, OnlyTheLastDayAskedForFillsTheTimeline) {
    Fixture f;
    PlaybackController& c = *f.controller;
    c.showDay(kMidnight + kDayLength, kDayLength);
    c.showDay(kMidnight + 2 * kDayLength, kDayLength);
    f.posts.runUntil([&c] { return c.reason() == "searched from " + at(kMidnight + 2 * kDayLength); });
    // The answer for the middle day may come after; it must not be shown.
    for (int i = 0; i < 100; ++i) f.posts.runAll();
    EXPECT_EQ(c.reason(), "searched from " + at(kMidnight + 2 * kDayLength));
    EXPECT_EQ(c.timeline().dayStart(), kMidnight + 2 * kDayLength);
}

} // namespace
} // namespace tavolin
