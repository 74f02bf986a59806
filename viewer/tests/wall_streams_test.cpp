// The wall's streams over fake streams: what a cell's stream opens with, audio
// that waits for the connection, news of a stream already given up, and the
// wall's end once the last stream has closed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "fake_stream.h"
#include "live/video_surface.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "tavolin/camera_record.h"
#include "wall/wall_cell.h"
#include "wall/wall_stream_set.h"

namespace tavolin::ui::test {
namespace {

TEST(CellStreamSettingsTest, AskForFittedPicturesOnTheCellWithoutSteering) {
    struct Case {
        const char* host;
        uint8_t showEvents;
        bool playAudio;
        int32_t connectionType; // 0: the record cannot connect, so nothing of it is sent
    };
    const Case cases[] = {{"127.0.0.1", 1, true, 2}, {"127.0.0.1", 0, false, 2}, {"1.2.3", 0, false, 0}};
    for (const Case& c : cases) {
        CameraRecord record = defaultCameraRecord(0);
        setText(record.host, c.host);
        record.ptzEnabled = 1;
        record.showEvents = c.showEvents;
        const StreamSettings s = cellStreamSettings(record, QSize(480, 270), 7, c.playAudio);
        EXPECT_EQ(s.connection.connectionType, c.connectionType) << c.host;
        EXPECT_EQ(s.render.window, 7u);
        EXPECT_EQ(s.render.width, 480);
        EXPECT_EQ(s.render.height, 270);
        EXPECT_NE(s.render.flags & OSTREL_RENDER_FIT_PICTURES, 0);
        EXPECT_EQ(s.events, c.showEvents != 0);
        EXPECT_EQ(s.playAudio, c.playAudio);
        EXPECT_FALSE(s.ptz.has_value());
    }
}

class WallStreamSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kCameraCount; ++i) {
            records[static_cast<std::size_t>(i)] = defaultCameraRecord(i);
            setText(records[static_cast<std::size_t>(i)].host, i < 2 ? "127.0.0.1" : "");
            // Two cameras, not one camera twice (which would share one connection).
            records[static_cast<std::size_t>(i)].streamingPort += static_cast<uint32_t>(i);
        }
        records[0].playAudio = 1;
        for (auto& cell : cells) cell = std::make_unique<WallCell>(nullptr);
        streams = std::make_unique<WallStreamSet>(
            records,
            [this](const StreamSettings& settings) -> std::unique_ptr<LiveStream> {
                auto stream = std::make_unique<FakeStream>(settings, log);
                made.push_back(stream.get());
                return stream;
            },
            [this](int position) {
                return position < 2 ? cells[static_cast<std::size_t>(position ^ swapped)].get() : nullptr;
            });
        controller = std::make_unique<WallController>(records, *streams, clock, WallSettings{});
        streams->setController(controller.get());
    }

    void TearDown() override {
        controller.reset();
        streams.reset();
        // Closed streams are deleted later; they log into this fixture.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::vector<std::string> log;
    std::vector<FakeStream*> made;
    platform::ManualClock clock;
    std::array<CameraRecord, kCameraCount> records{};
    std::array<std::unique_ptr<WallCell>, 2> cells;
    int swapped = 0; // 1: the two cameras trade cells
    std::unique_ptr<WallStreamSet> streams;
    std::unique_ptr<WallController> controller;
};

TEST_F(WallStreamSetTest, AudioOfTheSelectedCellWaitsForItsConnection) {
    controller->start();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_TRUE(made[0]->settings.playAudio);
    EXPECT_FALSE(made[1]->settings.playAudio);

    // The selection moves on before either stream stands: nothing is sent to
    // a stream that cannot take it yet.
    controller->key(WallKey::Right);
    records[1].playAudio = 1;
    controller->tick();
    EXPECT_EQ(log, (std::vector<std::string>{"open", "open"}));

    emit made[0]->connected();
    emit made[1]->connected();
    EXPECT_EQ(log, (std::vector<std::string>{"open", "open", "audio in 0", "audio in 1"}));
}

// A stream kept across a change of layout is told its cell's new size once,
// so the decoder keeps scaling to the cell instead of the paint doing it.
TEST_F(WallStreamSetTest, StreamsFollowTheSizeOfTheirCells) {
    cells[0]->resize(960, 540);
    cells[1]->resize(960, 540);
    controller->start();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0]->settings.render.width, 960);

    streams->fitPicturesToCells();
    cells[0]->resize(480, 270);
    streams->fitPicturesToCells();
    streams->fitPicturesToCells();
    cells[0]->resize(1920, 1080);
    streams->fitPicturesToCells();
    EXPECT_EQ(log, (std::vector<std::string>{"open", "open", "fit 480x270", "fit 1920x1080"}));
}

// A new layout may put a camera whose stream runs on into another cell: its
// pictures go there (they were drawn for the old cell and never painted).
TEST_F(WallStreamSetTest, ACameraMovedToAnotherCellShowsThere) {
    controller->start();
    const auto draw = [](FakeStream* stream) {
        const std::shared_ptr<platform::Surface> surface =
            platform::SurfaceRegistry::find(stream->settings.render.window);
        const uint8_t pixel[4] = {};
        surface->stretchDraw({1, 1, 32, 4, pixel}, {0, 0, 1, 1});
        surface->present();
    };
    draw(made[0]);
    const std::shared_ptr<VideoSurface> first = cells[0]->newestPicture();
    ASSERT_TRUE(first);
    swapped = 1;
    streams->fitPicturesToCells();
    EXPECT_EQ(cells[1]->newestPicture(), first);
}

TEST_F(WallStreamSetTest, NewsOfAStreamGivenUpChangesNothing) {
    controller->start();
    FakeStream* first = made[0];
    emit first->failed(QStringLiteral("refused"));
    EXPECT_EQ(controller->cellStatus(0).state, CellState::Reconnecting);
    // The stream asked to close still reports; none of it reaches the cell.
    emit first->connected();
    emit first->pictureShown();
    EXPECT_EQ(controller->cellStatus(0).state, CellState::Reconnecting);

    emit first->closed();
    QTest::qWait(0); // the closed stream is deleted from the event loop
    EXPECT_EQ(std::count(log.begin(), log.end(), "destroyed"), 1);
    clock.advanceMs(1000);
    controller->tick();
    ASSERT_EQ(made.size(), 3u);
    emit made[2]->connected();
    emit made[2]->pictureShown();
    EXPECT_EQ(controller->cellStatus(0).state, CellState::Showing);
}

TEST_F(WallStreamSetTest, LastStreamClosedEndsTheWall) {
    controller->start();
    QSignalSpy ended(streams.get(), &WallStreamSet::allClosed);
    controller->stop();
    EXPECT_EQ(streams->count(), 2);
    emit made[0]->closed();
    EXPECT_EQ(ended.count(), 0);
    emit made[1]->closed();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(streams->count(), 0);
}

} // namespace
} // namespace tavolin::ui::test
