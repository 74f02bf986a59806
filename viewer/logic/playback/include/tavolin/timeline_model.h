// The playback timeline of one day without widgets: what part of the day is
// shown (the whole day down to one minute around a point), the camera's
// recordings and Tavolin's clips as spans, events as marks, and which time,
// span or event lies under a pixel. Each pixel column's content is worked
// out once per change of view, width or content, so a paint only reads it.
// Times are milliseconds since 1970, UTC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tavolin {

enum class SpanKind : uint8_t { Recording, Clip };
enum class MarkKind : uint8_t { Motion, Input, Other };

struct TimelineSpan {
    int64_t fromMs = 0;
    int64_t toMs = 0; // after fromMs; a span ending where the next begins does not overlap it
    SpanKind kind = SpanKind::Recording;
    bool operator==(const TimelineSpan&) const = default;
};

struct TimelineEvent {
    int64_t timeMs = 0;
    MarkKind kind = MarkKind::Other;
    bool operator==(const TimelineEvent&) const = default;
};

// What one pixel column holds.
struct TimelineBin {
    bool recording = false;
    bool clip = false;
    uint32_t events = 0;
    uint8_t markKinds = 0; // bit (1 << MarkKind) for each kind of event in it
    bool operator==(const TimelineBin&) const = default;
};

// What lies under a pixel.
struct TimelineHit {
    int64_t timeMs = 0;
    std::optional<std::size_t> event;     // the nearest event within the tolerance (index into events())
    std::optional<std::size_t> recording; // a recording span holding timeMs (index into spans())
    std::optional<std::size_t> clip;      // a clip span holding timeMs
};

class TimelineModel {
public:
    static constexpr int64_t kDayMs = 24LL * 60 * 60 * 1000;
    static constexpr int64_t kMinViewMs = 60 * 1000;

    // Shows the whole of the day beginning at dayStartMs (a local midnight;
    // a day of a clock change is an hour longer or shorter).
    void setDay(int64_t dayStartMs, int64_t dayLengthMs = kDayMs);
    int64_t dayStart() const { return dayStart_; }
    int64_t dayEnd() const { return dayStart_ + dayLength_; }

    void setWidth(int pixels);
    int width() const { return width_; }

    // Replaces the spans of one kind, and the events; any order, kept sorted.
    void setSpans(SpanKind kind, std::vector<TimelineSpan> spans);
    void setEvents(std::vector<TimelineEvent> events);
    const std::vector<TimelineSpan>& spans() const { return spans_; }
    const std::vector<TimelineEvent>& events() const { return events_; }

    // The part of the day shown.
    int64_t viewFrom() const { return viewFrom_; }
    int64_t viewLength() const { return viewLength_; }
    int64_t viewTo() const { return viewFrom_ + viewLength_; }
    // Shows `lengthMs` (held between a minute and the day) with aroundMs
    // staying under the same pixel where it can; the view stays in the day.
    void setViewLength(int64_t lengthMs, int64_t aroundMs);
    // factor > 1 zooms in, < 1 out.
    void zoom(double factor, int64_t aroundMs);
    // Moves the view by deltaMs, stopping at the day's ends.
    void pan(int64_t deltaMs);
    // Moves the view, keeping its length, so that timeMs is in it (a playing
    // picture leaving the view brings it along).
    void keepInView(int64_t timeMs);

    // The time at pixel x (held to the strip), and the pixel of a time.
    int64_t timeAt(double x) const;
    double xOf(int64_t timeMs) const;
    TimelineHit hitAt(double x, double tolerancePixels = 3) const;

    // The event before (at least `marginMs` before, so that a picture shown
    // just after an event goes to the one before it) and after a time.
    std::optional<int64_t> previousEvent(int64_t timeMs, int64_t marginMs = 1000) const;
    std::optional<int64_t> nextEvent(int64_t timeMs) const;
    // The span of a kind holding a time.
    std::optional<std::size_t> spanAt(int64_t timeMs, SpanKind kind) const;

    // One bin per pixel column of the view.
    const std::vector<TimelineBin>& bins() const;

private:
    void clampView();
    void computeBins() const;

    int64_t dayStart_ = 0;
    int64_t dayLength_ = kDayMs;
    int64_t viewFrom_ = 0;
    int64_t viewLength_ = kDayMs;
    int width_ = 1;
    std::vector<TimelineSpan> spans_;   // by start
    std::vector<TimelineEvent> events_; // by time
    mutable std::vector<TimelineBin> bins_;
    mutable bool binsValid_ = false;
};

} // namespace tavolin
