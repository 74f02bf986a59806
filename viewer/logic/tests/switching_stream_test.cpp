// A place's stream switching between a camera's streams, on fake streams, a
// fake set of surfaces and a manual clock: the old stream stays on the
// screen until the new one's first picture, a failed switch keeps the old
// one and is tried again later, and a place that shrinks waits before it
// switches down.
#include "stream/switching_stream.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <map>
#include <set>

#include "fake_stream.h"
#include "stream/stream_catalogues.h"
#include "stream/stream_surfaces.h"

namespace tavolin::ui::test {
namespace {

// Hands out handles from 1 and remembers what was shown and removed.
class RecordingSurfaces final : public StreamSurfaces {
public:
    uint32_t addSurface() override { return ++last; }
    void showSurface(uint32_t handle) override { shown.push_back(handle); }
    void removeSurface(uint32_t handle) override { removed.insert(handle); }
    QSize pictureSize(uint32_t handle) const override {
        const auto it = pictures.find(handle);
        return it == pictures.end() ? QSize() : it->second;
    }

    uint32_t last = 0;
    std::vector<uint32_t> shown;
    std::set<uint32_t> removed;
    std::map<uint32_t, QSize> pictures;
};

const QSize kWall(480, 270);
const QSize kScreen(1920, 1080);

class SwitchingStreamTest : public ::testing::Test {
protected:
    SwitchingStreamTest()
        : catalogues([this](const StreamSettings&, std::stop_token) -> std::optional<std::vector<onvif::Profile>> {
              ++fetches;
              onvif::Profile main{"main", "Main", "H264", 1920, 1080, true, "source"};
              onvif::Profile sub{"sub", "Sub", "H264", 640, 360, true, "source"};
              return std::vector<onvif::Profile>{main, sub};
          }) {}

    ~SwitchingStreamTest() override {
        streams.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // An ONVIF camera on the automatic channel, in a place needing `needed`.
    SwitchingStream& open(QSize needed, bool playAudio = false) {
        StreamSettings settings;
        settings.streamingType = 5;
        settings.render.width = needed.width();
        settings.render.height = needed.height();
        settings.playAudio = playAudio;
        SwitchingStream::Place place{&catalogues, &surfaces,
                                     [this](const StreamSettings& s) -> std::unique_ptr<LiveStream> {
                                         auto stream = std::make_unique<FakeStream>(s, log);
                                         made.push_back(stream.get());
                                         return stream;
                                     },
                                     timers.factory()};
        streams.push_back(std::make_unique<SwitchingStream>(settings, place));
        SwitchingStream& stream = *streams.back();
        const std::size_t before = made.size();
        stream.open();
        // The profiles come from a worker the first time.
        EXPECT_TRUE(QTest::qWaitFor([&] { return made.size() > before; }, 5000));
        return stream;
    }

    // The newest stream connects and shows a picture of `picture`.
    void showPicture(QSize picture) {
        FakeStream* s = made.back();
        surfaces.pictures[s->settings.render.window] = picture;
        emit s->connected();
        emit s->pictureShown();
    }

    std::atomic<int> fetches{0};
    StreamCatalogues catalogues;
    RecordingSurfaces surfaces;
    ManualTimers timers;
    std::vector<std::string> log;
    std::vector<FakeStream*> made;
    std::vector<std::unique_ptr<SwitchingStream>> streams;
};

TEST_F(SwitchingStreamTest, TheCamerasProfilesAreAskedForOnceAndEachPlaceTakesWhatFitsIt) {
    open(kWall);
    EXPECT_EQ(made.back()->settings.connection.channel, 2); // the 640x360 profile
    open(kScreen);
    EXPECT_EQ(made.back()->settings.connection.channel, 1);
    EXPECT_EQ(fetches.load(), 1);
    EXPECT_EQ(surfaces.shown, (std::vector<uint32_t>{1, 2})); // each shown from the start
}

TEST_F(SwitchingStreamTest, TheOldStreamStaysShownUntilTheNewOnesFirstPicture) {
    SwitchingStream& stream = open(kWall, true);
    QSignalSpy connected(&stream, &LiveStream::connected);
    QSignalSpy pictured(&stream, &LiveStream::pictureShown);
    showPicture(QSize(480, 270));
    FakeStream* small = made.back();

    stream.fitPicturesInto(kScreen); // opened in the single view
    ASSERT_EQ(made.size(), 2u);
    FakeStream* large = made.back();
    EXPECT_EQ(large->settings.connection.channel, 1);
    EXPECT_EQ(large->settings.render.width, 1920);
    EXPECT_FALSE(large->settings.playAudio); // heard only once shown
    EXPECT_EQ(stream.switchingTo(), 1);
    emit large->connected();
    EXPECT_EQ(surfaces.shown, (std::vector<uint32_t>{1}));
    EXPECT_EQ(log.back(), "open");

    showPicture(QSize(1920, 1080));
    EXPECT_EQ(surfaces.shown, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(stream.shownOption(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"open", "fit 1920x1080", "open", "audio in 1", "close"}));
    // The connection and its first picture were told once, for the first stream.
    EXPECT_EQ(connected.count(), 1);
    EXPECT_EQ(pictured.count(), 1);
    emit small->closed();
    EXPECT_EQ(surfaces.removed, (std::set<uint32_t>{1}));
}

TEST_F(SwitchingStreamTest, TheNewStreamsWordThatTheCameraCannotBeTalkedToIsToldOnceItIsShown) {
    SwitchingStream& stream = open(kWall);
    QSignalSpy unavailable(&stream, &LiveStream::audioOutUnavailable);
    showPicture(QSize(480, 270));
    stream.fitPicturesInto(kScreen);
    FakeStream* large = made.back();
    emit large->connected();
    emit large->audioOutUnavailable(QStringLiteral("no audio back channel"));
    EXPECT_EQ(unavailable.count(), 0); // the small stream is still the one shown
    showPicture(QSize(1920, 1080));
    ASSERT_EQ(unavailable.count(), 1);
    EXPECT_EQ(unavailable.front().front().toString(), QStringLiteral("no audio back channel"));
}

TEST_F(SwitchingStreamTest, AFailedSwitchKeepsTheOldStreamAndIsTriedAgainLater) {
    SwitchingStream& stream = open(kWall);
    QSignalSpy lost(&stream, &LiveStream::networkLost);
    showPicture(QSize(480, 270));
    stream.fitPicturesInto(kScreen);
    emit made.back()->failed(QStringLiteral("refused"));
    EXPECT_EQ(stream.shownOption(), 0);
    EXPECT_EQ(stream.switchingTo(), -1);
    EXPECT_EQ(surfaces.shown, (std::vector<uint32_t>{1}));

    timers.advance(SwitchingStream::kFirstRetryMs - 1);
    EXPECT_EQ(made.size(), 2u);
    timers.advance(1);
    ASSERT_EQ(made.size(), 3u);
    emit made.back()->networkLost(); // lost before its first picture: failed too
    timers.advance(2 * SwitchingStream::kFirstRetryMs - 1);
    EXPECT_EQ(made.size(), 3u); // waits longer the second time
    timers.advance(1);
    EXPECT_EQ(made.size(), 4u);
    EXPECT_EQ(lost.count(), 0);
}

TEST_F(SwitchingStreamTest, AShrinkingPlaceWaitsBeforeSwitchingDownSoResizingDoesNotFlap) {
    SwitchingStream& stream = open(kScreen);
    showPicture(kScreen);
    stream.fitPicturesInto(kWall);
    timers.advance(SwitchingStream::kShrinkDelayMs - 1);
    stream.fitPicturesInto(kScreen); // back before the delay ran out
    stream.fitPicturesInto(kWall);
    timers.advance(SwitchingStream::kShrinkDelayMs - 1);
    EXPECT_EQ(made.size(), 1u);
    timers.advance(1);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made.back()->settings.connection.channel, 2);
    // Growing again while the small one connects keeps the large one.
    stream.fitPicturesInto(kScreen);
    EXPECT_EQ(stream.switchingTo(), -1);
    EXPECT_EQ(stream.shownOption(), 1);
}

TEST_F(SwitchingStreamTest, AStreamFailingBeforeItsFirstPictureGivesWayToASmallerOneAndIsTriedAgain) {
    SwitchingStream& stream = open(kScreen);
    QSignalSpy failed(&stream, &LiveStream::failed);
    QSignalSpy connected(&stream, &LiveStream::connected);
    QSignalSpy notes(&stream, &LiveStream::note);
    ASSERT_EQ(made.back()->settings.connection.channel, 1);
    emit made.back()->failed(QStringLiteral("connection refused"));
    // The small one is shown at once, and the user reads why.
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made.back()->settings.connection.channel, 2);
    EXPECT_EQ(surfaces.shown, (std::vector<uint32_t>{1, 2}));
    ASSERT_EQ(notes.count(), 1);
    EXPECT_EQ(notes[0][0].toString(), QStringLiteral("the 1920x1080 stream failed (connection refused); a smaller one "
                                                     "is shown, and it is tried again later"));
    showPicture(QSize(640, 360));
    EXPECT_EQ(failed.count(), 0);
    EXPECT_EQ(connected.count(), 1);
    EXPECT_EQ(stream.shownOption(), 0);

    timers.advance(SwitchingStream::kFirstRetryMs);
    ASSERT_EQ(made.size(), 3u);
    EXPECT_EQ(made.back()->settings.connection.channel, 1);
    showPicture(kScreen);
    EXPECT_EQ(stream.shownOption(), 1);
}

TEST_F(SwitchingStreamTest, APlaceNeedingTheConnectionAnotherShowsGetsItOnceThatHasClosed) {
    SwitchingStream& first = open(kScreen);
    showPicture(kScreen);
    FakeStream* firstLeg = made.back();
    QSignalSpy lost(&first, &LiveStream::networkLost);
    log.clear();
    open(kScreen); // the single view over a wall cell on the same stream
    EXPECT_EQ(log, (std::vector<std::string>{"close"}));
    emit firstLeg->closed();
    EXPECT_EQ(log, (std::vector<std::string>{"close", "open"}));
    EXPECT_EQ(first.shownOption(), -1); // its last picture stays on its surface
    EXPECT_EQ(surfaces.removed, (std::set<uint32_t>{1}));
    EXPECT_EQ(lost.count(), 0);
}

} // namespace
} // namespace tavolin::ui::test
