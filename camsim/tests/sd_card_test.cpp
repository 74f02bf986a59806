// The SD card's layout: the picture grid, the ring cut into recordings, the
// faults that cut pictures out or stop the recording, and the events at
// their known times.
#include "camsim/sd_card.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

constexpr int64_t kHourMs = 3600000;
// 2026-12-09T19:40:00.250Z: a quarter of a second into a second.
constexpr int64_t kNow = 1796845200250;

SdCard cardWith(int recordingsPerDay, int eventsPerDay, int frameRate = 25, int keyInterval = 0) {
    SdCardOptions o;
    o.recordingsPerDay = recordingsPerDay;
    o.eventsPerDay = eventsPerDay;
    o.frameRate = frameRate;
    o.keyInterval = keyInterval;
    return SdCard(o);
}

struct GridCase {
    int frameRate, keyInterval;
    int64_t ns;
    int64_t atOrBefore, keyBefore, keyAfter;
};

class PictureGridTest : public ::testing::TestWithParam<GridCase> {};

TEST_P(PictureGridTest, PlacesATimeBetweenItsPictures) {
    const GridCase& g = GetParam();
    const SdCard card = cardWith(24, 0, g.frameRate, g.keyInterval);
    EXPECT_EQ(card.pictureAtOrBefore(g.ns), g.atOrBefore);
    EXPECT_LE(card.pictureNs(g.atOrBefore), g.ns);
    EXPECT_GT(card.pictureNs(g.atOrBefore + 1), g.ns);
    EXPECT_EQ(card.keyPictureAtOrBefore(g.ns), g.keyBefore);
    EXPECT_EQ(card.keyPictureAtOrAfter(g.ns), g.keyAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, PictureGridTest,
    ::testing::Values(GridCase{25, 0, 1000000000, 25, 25, 25}, // on a key picture: one a second
                      GridCase{25, 0, 999999999, 24, 0, 25}, GridCase{25, 0, 1500000000, 37, 25, 50},
                      GridCase{30, 0, 33333333, 1, 0, 30}, // 1/30 s falls just after picture 1
                      GridCase{30, 0, 33333332, 0, 0, 30}, GridCase{30, 15, 1600000000, 48, 45, 60},
                      GridCase{10, 5, 1796845200250000000, 17968452002, 17968452000, 17968452005}));

TEST(SdCardTest, RingIsCutIntoRecordingsOnKeyPicturesWhoseTokensStayAsItMoves) {
    const SdCard card = cardWith(24, 0);
    const auto now = card.recordings(kNow);
    ASSERT_EQ(now.size(), 25u);                                    // 24 hours back, starting mid-hour
    EXPECT_EQ(now.front().span.fromMs, kNow - 24 * kHourMs + 750); // the next key picture
    EXPECT_EQ(now.front().span.toMs, 1796760000000);               // 2026-12-08T20:00:00Z
    EXPECT_EQ(now.front().token, "REC-" + std::to_string(1796760000000 / kHourMs - 1));
    for (std::size_t i = 1; i < now.size(); ++i) EXPECT_EQ(now[i].span.fromMs, now[i - 1].span.toMs);
    EXPECT_EQ(now.back().span.toMs, kNow + 30); // the end of the newest picture (25 a second)
    EXPECT_TRUE(now.back().recording);
    EXPECT_FALSE(now[now.size() - 2].recording);
    EXPECT_EQ(card.data(kNow), (CardSpan{now.front().span.fromMs, now.back().span.toMs}));

    const auto later = card.recordings(kNow + kHourMs);
    ASSERT_EQ(later.size(), 25u);
    EXPECT_EQ(later.front().token, now[1].token);
    EXPECT_EQ(later[later.size() - 2].span, (CardSpan{now.back().span.fromMs, now.back().span.fromMs + kHourMs}));
    EXPECT_EQ(card.recording(now.front().token, kNow + kHourMs), std::nullopt); // overwritten
    EXPECT_EQ(card.recording("REC-x", kNow), std::nullopt);
    EXPECT_EQ(card.recording("REC-999999999999999", kNow), std::nullopt);
}

TEST(SdCardTest, GapCutsPicturesOutAndRecordingsWithoutAnyDisappear) {
    SdCard card = cardWith(24 * 60, 0); // a recording a minute
    const int64_t minute = (kNow - 10 * 60000) / 60000 * 60000;
    card.setGap(CardSpan{minute - 30250, minute + 60500}); // key pictures: minute - 30 s to minute + 61 s
    const auto all = card.recordings(kNow);
    const auto at = [&](int64_t ms) {
        for (const CardRecording& r : all) {
            if (r.span.fromMs <= ms && ms < r.span.toMs) return r;
        }
        return CardRecording{};
    };
    EXPECT_EQ(at(minute - 60000).gaps, (std::vector<CardSpan>{{minute - 30000, minute}}));
    EXPECT_TRUE(at(minute).token.empty()); // its minute is all gone
    EXPECT_EQ(at(minute + 60000).gaps, (std::vector<CardSpan>{{minute + 60000, minute + 61000}}));
    const auto events = card.events(minute - 60000, minute + 120000, kNow);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, CardEventKind::DataGone);
    EXPECT_EQ(events[0].timeMs, minute - 30000);
    EXPECT_EQ(events[0].recordingToken, at(minute - 60000).token);
    EXPECT_EQ(events[1].kind, CardEventKind::DataBack);
    EXPECT_EQ(events[1].timeMs, minute + 61000);
    EXPECT_EQ(events[1].recordingToken, at(minute + 60000).token);
}

TEST(SdCardTest, StoppedCardEndsItsNewestRecordingThere) {
    SdCard card = cardWith(24, 0);
    card.stopRecordingAt(kNow - 30 * 60000);
    const auto all = card.recordings(kNow);
    EXPECT_EQ(all.back().span.toMs, kNow - 30 * 60000 + 30); // the end of the last picture before the stop
    EXPECT_FALSE(all.back().recording);
    card.stopRecordingAt(kNow + 60000); // not yet
    EXPECT_TRUE(card.recordings(kNow).back().recording);
    card.clearFaults();
    EXPECT_EQ(card.data(kNow).toMs, kNow + 30);
}

TEST(SdCardTest, EventsComeAtKnownTimesInTheRecordingThatHoldsThem) {
    const SdCard card = cardWith(24, 96); // every 15 minutes, 5 minutes into the slot
    const int64_t hour = kNow / kHourMs * kHourMs - 2 * kHourMs;
    const auto events = card.events(hour, hour + kHourMs, kNow);
    const int64_t slot = 15 * 60000, into = 5 * 60000;
    const std::vector<std::pair<int64_t, CardEventKind>> expected = {
        {hour + into, CardEventKind::MotionStart},
        {hour + into + 8000, CardEventKind::MotionEnd},
        {hour + slot + into, CardEventKind::MotionStart},
        {hour + slot + into + 8000, CardEventKind::MotionEnd},
        {hour + 2 * slot + into, CardEventKind::MotionStart},
        {hour + 2 * slot + into + 8000, CardEventKind::MotionEnd},
        {hour + 3 * slot + into, CardEventKind::InputOn}, // every fourth is an input
        {hour + 3 * slot + into + 2000, CardEventKind::InputOff},
    };
    ASSERT_EQ(events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(events[i].timeMs, expected[i].first) << i;
        EXPECT_EQ(events[i].kind, expected[i].second) << i;
        EXPECT_EQ(events[i].recordingToken, "REC-" + std::to_string(hour / kHourMs)) << i;
    }
    EXPECT_EQ(card.motionAt(hour + into + 4000), std::optional<double>(0.5));
    EXPECT_EQ(card.motionAt(hour + into + 8000), std::nullopt);
    EXPECT_EQ(card.motionAt(hour + 3 * slot + into + 1000), std::nullopt);            // an input, no motion
    EXPECT_TRUE(card.events(kNow - 48 * kHourMs, kNow - 25 * kHourMs, kNow).empty()); // before the ring
}

} // namespace
} // namespace camsim
