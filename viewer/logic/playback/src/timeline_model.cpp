#include "tavolin/timeline_model.h"

#include <algorithm>
#include <cmath>

namespace tavolin {

namespace {

bool byStart(const TimelineSpan& a, const TimelineSpan& b) { return a.fromMs < b.fromMs; }
bool byTime(const TimelineEvent& a, const TimelineEvent& b) { return a.timeMs < b.timeMs; }

} // namespace

void TimelineModel::setDay(int64_t dayStartMs, int64_t dayLengthMs) {
    dayStart_ = dayStartMs;
    dayLength_ = std::max(kMinViewMs, dayLengthMs);
    viewFrom_ = dayStart_;
    viewLength_ = dayLength_;
    binsValid_ = false;
}

void TimelineModel::setWidth(int pixels) {
    width_ = std::max(1, pixels);
    binsValid_ = false;
}

void TimelineModel::setSpans(SpanKind kind, std::vector<TimelineSpan> spans) {
    std::erase_if(spans_, [kind](const TimelineSpan& s) { return s.kind == kind; });
    for (TimelineSpan& s : spans) {
        if (s.toMs <= s.fromMs) continue;
        s.kind = kind;
        spans_.push_back(s);
    }
    std::stable_sort(spans_.begin(), spans_.end(), byStart);
    binsValid_ = false;
}

void TimelineModel::setEvents(std::vector<TimelineEvent> events) {
    events_ = std::move(events);
    std::stable_sort(events_.begin(), events_.end(), byTime);
    binsValid_ = false;
}

void TimelineModel::clampView() {
    viewLength_ = std::clamp(viewLength_, kMinViewMs, dayLength_);
    viewFrom_ = std::clamp(viewFrom_, dayStart_, dayEnd() - viewLength_);
    binsValid_ = false;
}

void TimelineModel::setViewLength(int64_t lengthMs, int64_t aroundMs) {
    const double share = static_cast<double>(aroundMs - viewFrom_) / static_cast<double>(viewLength_);
    viewLength_ = std::clamp(lengthMs, kMinViewMs, dayLength_);
    viewFrom_ = aroundMs - std::llround(std::clamp(share, 0.0, 1.0) * static_cast<double>(viewLength_));
    clampView();
}

void TimelineModel::zoom(double factor, int64_t aroundMs) {
    if (!(factor > 0)) return;
    setViewLength(std::llround(static_cast<double>(viewLength_) / factor), aroundMs);
}

void TimelineModel::pan(int64_t deltaMs) {
    viewFrom_ += deltaMs;
    clampView();
}

void TimelineModel::keepInView(int64_t timeMs) {
    if (timeMs >= viewFrom_ && timeMs < viewTo()) return;
    // The time comes in at the left and the view runs on from it.
    viewFrom_ = timeMs < viewFrom_ ? timeMs - viewLength_ + viewLength_ / 10 : timeMs - viewLength_ / 10;
    clampView();
}

int64_t TimelineModel::timeAt(double x) const {
    const double share = std::clamp(x / width_, 0.0, 1.0);
    return viewFrom_ + std::llround(share * static_cast<double>(viewLength_));
}

double TimelineModel::xOf(int64_t timeMs) const {
    return static_cast<double>(timeMs - viewFrom_) * width_ / static_cast<double>(viewLength_);
}

std::optional<std::size_t> TimelineModel::spanAt(int64_t timeMs, SpanKind kind) const {
    // Spans are by start: only those starting at or before the time can hold it.
    const auto end = std::upper_bound(spans_.begin(), spans_.end(), TimelineSpan{timeMs, timeMs, kind}, byStart);
    for (auto it = spans_.begin(); it != end; ++it) {
        if (it->kind == kind && timeMs < it->toMs) return static_cast<std::size_t>(it - spans_.begin());
    }
    return std::nullopt;
}

TimelineHit TimelineModel::hitAt(double x, double tolerancePixels) const {
    TimelineHit hit;
    hit.timeMs = timeAt(x);
    const int64_t from = timeAt(x - tolerancePixels);
    const int64_t to = timeAt(x + tolerancePixels);
    auto it = std::lower_bound(events_.begin(), events_.end(), TimelineEvent{from, {}}, byTime);
    double nearest = tolerancePixels;
    for (; it != events_.end() && it->timeMs <= to; ++it) {
        const double distance = std::abs(xOf(it->timeMs) - x);
        if (distance <= nearest) {
            // The earlier of two at the same distance.
            if (hit.event && distance == nearest) continue;
            nearest = distance;
            hit.event = static_cast<std::size_t>(it - events_.begin());
        }
    }
    hit.recording = spanAt(hit.timeMs, SpanKind::Recording);
    hit.clip = spanAt(hit.timeMs, SpanKind::Clip);
    return hit;
}

std::optional<int64_t> TimelineModel::previousEvent(int64_t timeMs, int64_t marginMs) const {
    const auto it = std::upper_bound(events_.begin(), events_.end(), TimelineEvent{timeMs - marginMs, {}}, byTime);
    if (it == events_.begin()) return std::nullopt;
    return std::prev(it)->timeMs;
}

std::optional<int64_t> TimelineModel::nextEvent(int64_t timeMs) const {
    const auto it = std::upper_bound(events_.begin(), events_.end(), TimelineEvent{timeMs, {}}, byTime);
    if (it == events_.end()) return std::nullopt;
    return it->timeMs;
}

const std::vector<TimelineBin>& TimelineModel::bins() const {
    if (!binsValid_) computeBins();
    return bins_;
}

void TimelineModel::computeBins() const {
    bins_.assign(static_cast<std::size_t>(width_), TimelineBin{});
    const int last = width_ - 1;
    const auto column = [last](double x) { return std::clamp(static_cast<int>(std::floor(x)), 0, last); };
    // Spans as running counts: +1 where one begins, -1 after its last column,
    // so overlapping spans cost nothing more per column.
    std::vector<int> recordingSteps(static_cast<std::size_t>(width_) + 1, 0);
    std::vector<int> clipSteps(static_cast<std::size_t>(width_) + 1, 0);
    for (const TimelineSpan& s : spans_) {
        if (s.toMs <= viewFrom_ || s.fromMs >= viewTo()) continue;
        const int first = column(xOf(std::max(s.fromMs, viewFrom_)));
        // A span narrower than a pixel still marks the one it falls in.
        const int lastColumn = std::max(first, column(std::ceil(xOf(std::min(s.toMs, viewTo()))) - 1));
        std::vector<int>& steps = s.kind == SpanKind::Recording ? recordingSteps : clipSteps;
        ++steps[static_cast<std::size_t>(first)];
        --steps[static_cast<std::size_t>(lastColumn) + 1];
    }
    int recordings = 0;
    int clips = 0;
    for (std::size_t i = 0; i < bins_.size(); ++i) {
        recordings += recordingSteps[i];
        clips += clipSteps[i];
        bins_[i].recording = recordings > 0;
        bins_[i].clip = clips > 0;
    }
    auto it = std::lower_bound(events_.begin(), events_.end(), TimelineEvent{viewFrom_, {}}, byTime);
    for (; it != events_.end() && it->timeMs < viewTo(); ++it) {
        TimelineBin& bin = bins_[static_cast<std::size_t>(column(xOf(it->timeMs)))];
        ++bin.events;
        bin.markKinds |= static_cast<uint8_t>(1u << static_cast<unsigned>(it->kind));
    }
    binsValid_ = true;
}

} // namespace tavolin
