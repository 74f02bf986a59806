// The day's timeline as tables: zoom bounds, pixels and times, what lies
// under a pixel, the events before and after a time, and each column's bin.
#include <gtest/gtest.h>

#include <vector>

#include "tavolin/timeline_model.h"

namespace tavolin {
namespace {

constexpr int64_t kDay = 1'700'000'000'000; // any midnight
constexpr int64_t kMin = 60'000;
constexpr int64_t kHour = 60 * kMin;

// 1440 pixels over the day: one pixel a minute.
TimelineModel dayModel(int width = 1440) {
    TimelineModel m;
    m.setDay(kDay);
    m.setWidth(width);
    return m;
}

TEST(TimelineModelTest, ZoomStaysBetweenAMinuteAndTheDayInsideTheDay) {
    struct Case {
        const char* name;
        double factor;
        int64_t around;
        int64_t length;
        int64_t from;
    };
    const Case cases[] = {
        {"in twice around noon keeps noon in the middle", 2, kDay + 12 * kHour, 12 * kHour, kDay + 6 * kHour},
        {"in around the start keeps the start at the left", 4, kDay, 6 * kHour, kDay},
        {"in around the end keeps the end at the right", 4, kDay + 24 * kHour, 6 * kHour, kDay + 18 * kHour},
        {"far in stops at a minute", 1e6, kDay + 12 * kHour, kMin, kDay + 12 * kHour - kMin / 2},
        {"out stops at the day", 0.1, kDay + 12 * kHour, 24 * kHour, kDay},
        {"a factor of zero changes nothing", 0, kDay + 3 * kHour, 24 * kHour, kDay},
    };
    for (const Case& c : cases) {
        TimelineModel m = dayModel();
        m.zoom(c.factor, c.around);
        EXPECT_EQ(m.viewLength(), c.length) << c.name;
        EXPECT_EQ(m.viewFrom(), c.from) << c.name;
    }
}

TEST(TimelineModelTest, PanAndKeepInViewStopAtTheDaysEnds) {
    TimelineModel m = dayModel();
    m.setViewLength(kHour, kDay + 12 * kHour); // 11:30 to 12:30
    EXPECT_EQ(m.viewFrom(), kDay + 11 * kHour + 30 * kMin);
    m.pan(-48 * kHour);
    EXPECT_EQ(m.viewFrom(), kDay);
    m.pan(48 * kHour);
    EXPECT_EQ(m.viewTo(), kDay + 24 * kHour);
    m.keepInView(kDay + 2 * kHour); // before the view: it comes in near the right
    EXPECT_EQ(m.viewFrom(), kDay + kHour + 6 * kMin);
    m.keepInView(kDay + 5 * kHour); // after: near the left
    EXPECT_EQ(m.viewFrom(), kDay + 5 * kHour - 6 * kMin);
    m.keepInView(kDay + 5 * kHour + 30 * kMin); // inside: stays
    EXPECT_EQ(m.viewFrom(), kDay + 5 * kHour - 6 * kMin);
}

TEST(TimelineModelTest, PixelsAndTimesConvertBothWaysHeldToTheStrip) {
    struct Case {
        double x;
        int64_t time;
    };
    TimelineModel m = dayModel();
    const Case cases[] = {
        {0, kDay}, {1, kDay + kMin}, {720, kDay + 12 * kHour}, {1440, kDay + 24 * kHour}, {0.5, kDay + kMin / 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(m.timeAt(c.x), c.time) << c.x;
        EXPECT_DOUBLE_EQ(m.xOf(c.time), c.x) << c.x;
    }
    EXPECT_EQ(m.timeAt(-30), kDay);
    EXPECT_EQ(m.timeAt(5000), kDay + 24 * kHour);
    m.setViewLength(kMin, kDay + 6 * kHour); // 1440 pixels a minute, 06:00 kept a quarter in
    const int64_t from = m.viewFrom();
    EXPECT_EQ(from, kDay + 6 * kHour - kMin / 4);
    EXPECT_EQ(m.timeAt(720), from + 30'000);
    EXPECT_EQ(m.timeAt(721), from + 30'042); // 60000 / 1440 ms a pixel, rounded
}

TEST(TimelineModelTest, HitFindsTheNearestEventWithinTheToleranceAndTheSpansUnderThePixel) {
    TimelineModel m = dayModel();
    m.setSpans(SpanKind::Recording, {{kDay + 10 * kMin, kDay + 20 * kMin}, {kDay + 30 * kMin, kDay + 40 * kMin}});
    m.setSpans(SpanKind::Clip, {{kDay + 15 * kMin, kDay + 35 * kMin}});
    m.setEvents({{kDay + 50 * kMin, MarkKind::Motion},
                 {kDay + 12 * kMin, MarkKind::Input},
                 {kDay + 14 * kMin, MarkKind::Motion}});
    // Events kept by time: 12, 14, 50 minutes; spans by start: the first
    // recording (0), the clip (1), the second recording (2).
    struct Case {
        double x;
        std::optional<std::size_t> event, recording, clip;
    };
    const Case cases[] = {
        {5, {}, {}, {}},  // nothing
        {11, 0, 0, {}},   // 12 is a pixel away
        {13, 0, 0, {}},   // 12 and 14 as near: the earlier
        {13.5, 1, 0, {}}, // 14 nearer
        {17, 1, 0, 1},    // 14 three pixels away, a clip over the recording
        {18, {}, 0, 1},   // 14 four pixels away: too far
        {20, {}, {}, 1},  // the recording ends where the pixel begins
        {30, {}, 2, 1},   // the second recording
        {36, {}, 2, {}},  // the clip ended
        {50, 2, {}, {}},  // on the event
    };
    for (const Case& c : cases) {
        const TimelineHit hit = m.hitAt(c.x);
        EXPECT_EQ(hit.timeMs, m.timeAt(c.x)) << c.x;
        EXPECT_EQ(hit.event, c.event) << c.x;
        EXPECT_EQ(hit.recording, c.recording) << c.x;
        EXPECT_EQ(hit.clip, c.clip) << c.x;
    }
    EXPECT_EQ(m.spans()[*m.hitAt(17).clip].kind, SpanKind::Clip);
}

TEST(TimelineModelTest, PreviousAndNextEventSkipTheOneJustShown) {
    TimelineModel m = dayModel();
    const int64_t a = kDay + 10 * kMin, b = kDay + 20 * kMin;
    m.setEvents({{b, MarkKind::Motion}, {a, MarkKind::Motion}});
    struct Case {
        int64_t time;
        std::optional<int64_t> previous, next;
    };
    const Case cases[] = {
        {kDay, {}, a},    {a, {}, b}, // at an event: the next is after it
        {a + 40, {}, b},              // a picture just after it: previous goes before it
        {a + 1000, a, b},             // a second after: back to it
        {b - 1, a, b},    {b, a, {}}, {b + 5 * kMin, b, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m.previousEvent(c.time), c.previous) << c.time - kDay;
        EXPECT_EQ(m.nextEvent(c.time), c.next) << c.time - kDay;
    }
}

TEST(TimelineModelTest, BinsMarkEachColumnsSpansAndCountItsEvents) {
    TimelineModel m = dayModel(24);                                                  // an hour a column
    m.setSpans(SpanKind::Recording, {{kDay + 2 * kHour, kDay + 4 * kHour},           // columns 2 and 3
                                     {kDay + 3 * kHour, kDay + 5 * kHour + 1},       // overlapping, into 5
                                     {kDay + 7 * kHour + 10, kDay + 7 * kHour + 20}, // narrower than a column
                                     {kDay - kHour, kDay + kHour},                   // from the day before
                                     {kDay + 9 * kHour, kDay + 9 * kHour}});         // empty: left out
    m.setSpans(SpanKind::Clip, {{kDay + 23 * kHour, kDay + 26 * kHour}});            // into the next day
    m.setEvents({{kDay + 2 * kHour, MarkKind::Motion},
                 {kDay + 2 * kHour + 5, MarkKind::Input},
                 {kDay + 3 * kHour - 1, MarkKind::Motion},
                 {kDay + 24 * kHour, MarkKind::Motion},
                 {kDay - 1, MarkKind::Other}});
    const auto& bins = m.bins();
    ASSERT_EQ(bins.size(), 24u);
    std::vector<int> recording, clip;
    for (int i = 0; i < 24; ++i) {
        if (bins[i].recording) recording.push_back(i);
        if (bins[i].clip) clip.push_back(i);
    }
    EXPECT_EQ(recording, (std::vector<int>{0, 2, 3, 4, 5, 7}));
    EXPECT_EQ(clip, (std::vector<int>{23}));
    EXPECT_EQ(bins[2], (TimelineBin{true, false, 3, 0b011}));
    EXPECT_EQ(bins[23].events, 0u); // the next midnight is outside the view
    EXPECT_EQ(bins[0].events, 0u);

    // Zoomed on 02:00-03:00, the same events spread over the columns.
    m.setViewLength(kHour, kDay + 12 * kHour);
    m.pan(-(9 * kHour + 30 * kMin));
    ASSERT_EQ(m.viewFrom(), kDay + 2 * kHour);
    EXPECT_EQ(m.bins()[0].events, 2u);
    EXPECT_EQ(m.bins()[23].events, 1u);
    EXPECT_TRUE(m.bins()[12].recording);
}

} // namespace
} // namespace tavolin
