#include "camsim/sd_card.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace camsim {

namespace {

constexpr int64_t kSecondNs = 1000000000;
constexpr int64_t kMsNs = 1000000;
constexpr int64_t kDayMs = 86400000;
constexpr int64_t kDayNs = kDayMs * kMsNs;
constexpr int64_t kMaxMotionNs = 8 * kSecondNs;
constexpr int64_t kMaxInputNs = 2 * kSecondNs;
constexpr int kMaxRingHours = 24 * 7;
constexpr char kTokenPrefix[] = "REC-";

int64_t systemMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0); }

// Event j of a day cut into `perDay`: a third into its slot, so that no
// event sits on a recording's boundary.
struct EventGrid {
    int64_t periodNs;
    int64_t timeNs(int64_t j) const { return j * periodNs + periodNs / 3; }
    bool isInput(int64_t j) const { return j % 4 == 3; }
    int64_t durationNs(int64_t j) const { return std::min(isInput(j) ? kMaxInputNs : kMaxMotionNs, periodNs / 2); }
};

} // namespace

const char* cardEventName(CardEventKind kind) {
    switch (kind) {
    case CardEventKind::MotionStart: return "MotionStart";
    case CardEventKind::MotionEnd: return "MotionEnd";
    case CardEventKind::InputOn: return "InputOn";
    case CardEventKind::InputOff: return "InputOff";
    case CardEventKind::DataGone: return "DataGone";
    case CardEventKind::DataBack: return "DataBack";
    }
    return "";
}

SdCard::SdCard(SdCardOptions options)
    : options_(std::move(options)), frameRate_(std::clamp(options_.frameRate, 1, 60)),
      keyInterval_(options_.keyInterval > 0 ? options_.keyInterval : frameRate_),
      layout_{std::clamp(options_.recordingsPerDay, 1, 100000), std::clamp(options_.eventsPerDay, 0, 1000000),
              std::max(1, options_.maxResultsPerAnswer), std::nullopt, std::nullopt} {}

SdCardOptions SdCard::options() const { return options_; }

void SdCard::setClockOffsetMs(int64_t offsetMs) {
    std::lock_guard lock(mutex_);
    offsetMs_ = offsetMs;
}

int64_t SdCard::clockOffsetMs() const {
    std::lock_guard lock(mutex_);
    return offsetMs_;
}

int64_t SdCard::nowMs() const { return systemMs() + clockOffsetMs(); }

void SdCard::setGap(std::optional<CardSpan> gap) {
    std::lock_guard lock(mutex_);
    layout_.gap = gap;
}

void SdCard::stopRecordingAt(std::optional<int64_t> ms) {
    std::lock_guard lock(mutex_);
    layout_.stopMs = ms;
}

void SdCard::setLayout(int recordingsPerDay, int eventsPerDay) {
    std::lock_guard lock(mutex_);
    layout_.recordingsPerDay = std::clamp(recordingsPerDay, 1, 100000);
    layout_.eventsPerDay = std::clamp(eventsPerDay, 0, 1000000);
}

void SdCard::setMaxResultsPerAnswer(int results) {
    std::lock_guard lock(mutex_);
    layout_.maxResults = std::max(1, results);
}

void SdCard::clearFaults() {
    std::lock_guard lock(mutex_);
    layout_ = {std::clamp(options_.recordingsPerDay, 1, 100000), std::clamp(options_.eventsPerDay, 0, 1000000),
               std::max(1, options_.maxResultsPerAnswer), std::nullopt, std::nullopt};
}

int SdCard::maxResultsPerAnswer() const { return layout().maxResults; }

SdCard::Layout SdCard::layout() const {
    std::lock_guard lock(mutex_);
    return layout_;
}

int64_t SdCard::pictureNs(int64_t index) const {
    return index / frameRate_ * kSecondNs + index % frameRate_ * kSecondNs / frameRate_;
}

int64_t SdCard::pictureAtOrBefore(int64_t ns) const {
    const int64_t second = floorDiv(ns, kSecondNs), within = ns - second * kSecondNs;
    // The last r with floor(r * 1e9 / rate) <= within.
    return second * frameRate_ + ((within + 1) * frameRate_ - 1) / kSecondNs;
}

int64_t SdCard::keyPictureAtOrBefore(int64_t ns) const {
    const int64_t index = pictureAtOrBefore(ns);
    return index - (index % keyInterval_ + keyInterval_) % keyInterval_;
}

int64_t SdCard::keyPictureAtOrAfter(int64_t ns) const {
    const int64_t key = keyPictureAtOrBefore(ns);
    return pictureNs(key) < ns ? key + keyInterval_ : key;
}

int64_t SdCard::keyMsAtOrAfter(int64_t ms) const { return pictureNs(keyPictureAtOrAfter(ms * kMsNs)) / kMsNs; }

CardSpan SdCard::dataOf(const Layout& l, int64_t nowMs) const {
    const int64_t ringHours = std::clamp(options_.ringHours, 1, kMaxRingHours);
    CardSpan d;
    d.fromMs = keyMsAtOrAfter(nowMs - ringHours * 3600000);
    // Up to the end of the newest picture taken.
    d.toMs = pictureNs(pictureAtOrBefore(nowMs * kMsNs) + 1) / kMsNs;
    if (l.stopMs) {
        const int64_t stopNs = *l.stopMs * kMsNs;
        const int64_t first = pictureAtOrBefore(stopNs - 1) + 1; // first picture at or after the stop
        d.toMs = std::min(d.toMs, pictureNs(first) / kMsNs);
    }
    d.toMs = std::max(d.toMs, d.fromMs);
    return d;
}

CardSpan SdCard::data(int64_t nowMs) const { return dataOf(layout(), nowMs); }

int64_t SdCard::boundaryMs(const Layout& l, int64_t index) const {
    return keyMsAtOrAfter(index * kDayMs / l.recordingsPerDay);
}

std::optional<CardSpan> SdCard::gapOf(const Layout& l) const {
    if (!l.gap) return std::nullopt;
    const CardSpan g{keyMsAtOrAfter(l.gap->fromMs), keyMsAtOrAfter(l.gap->toMs)};
    if (g.toMs <= g.fromMs) return std::nullopt;
    return g;
}

bool SdCard::holds(const Layout& l, int64_t ms, int64_t nowMs) const {
    const CardSpan d = dataOf(l, nowMs);
    if (ms < d.fromMs || ms >= d.toMs) return false;
    const auto gap = gapOf(l);
    return !gap || ms < gap->fromMs || ms >= gap->toMs;
}

std::vector<CardRecording> SdCard::recordings(int64_t nowMs) const {
    const Layout l = layout();
    const CardSpan d = dataOf(l, nowMs);
    std::vector<CardRecording> out;
    if (d.toMs <= d.fromMs) return out;
    const auto gap = gapOf(l);
    const bool stillRecording = !l.stopMs || nowMs < *l.stopMs;
    // The recording that holds the oldest picture, found from its estimate.
    int64_t k = d.fromMs * l.recordingsPerDay / kDayMs;
    while (boundaryMs(l, k) > d.fromMs) --k;
    while (boundaryMs(l, k + 1) <= d.fromMs) ++k;
    for (; boundaryMs(l, k) < d.toMs; ++k) {
        CardRecording r;
        r.token = kTokenPrefix + std::to_string(k);
        r.span = {std::max(boundaryMs(l, k), d.fromMs), std::min(boundaryMs(l, k + 1), d.toMs)};
        if (gap && gap->fromMs <= r.span.fromMs && gap->toMs >= r.span.toMs) continue; // nothing left in it
        if (gap && gap->fromMs < r.span.toMs && gap->toMs > r.span.fromMs) {
            r.gaps.push_back({std::max(gap->fromMs, r.span.fromMs), std::min(gap->toMs, r.span.toMs)});
        }
        r.recording = stillRecording && r.span.toMs == d.toMs;
        out.push_back(std::move(r));
    }
    return out;
}

std::optional<CardRecording> SdCard::recording(const std::string& token, int64_t nowMs) const {
    if (token.rfind(kTokenPrefix, 0) != 0) return std::nullopt;
    const std::string number = token.substr(sizeof kTokenPrefix - 1);
    // Ten digits reach far past any ring (and keep the day's arithmetic in range).
    if (number.empty() || number.size() > 10 || number.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const Layout l = layout();
    const int64_t k = std::stoll(number);
    const CardSpan d = dataOf(l, nowMs);
    // Only a recording the ring holds part of.
    if (boundaryMs(l, k) >= d.toMs || boundaryMs(l, k + 1) <= d.fromMs) return std::nullopt;
    for (CardRecording& r : recordings(nowMs)) {
        if (r.token == token) return std::move(r);
    }
    return std::nullopt;
}

std::vector<CardEvent> SdCard::events(int64_t fromMs, int64_t toMs, int64_t nowMs) const {
    const Layout l = layout();
    const CardSpan d = dataOf(l, nowMs);
    const int64_t lo = std::max(fromMs, d.fromMs), hi = std::min(toMs, d.toMs);
    std::vector<CardEvent> out;
    if (hi <= lo) return out;
    const auto gap = gapOf(l);
    const auto tokenAt = [&](int64_t ms) {
        int64_t k = ms * l.recordingsPerDay / kDayMs;
        while (boundaryMs(l, k) > ms) --k;
        while (boundaryMs(l, k + 1) <= ms) ++k;
        return kTokenPrefix + std::to_string(k);
    };
    const auto keep = [&](int64_t ms, CardEventKind kind, int input) {
        if (ms < lo || ms >= hi || !holds(l, ms, nowMs)) return;
        out.push_back({ms, kind, tokenAt(ms), input});
    };
    if (l.eventsPerDay > 0) {
        const EventGrid grid{kDayNs / l.eventsPerDay};
        const int64_t first = floorDiv(lo * kMsNs - grid.periodNs, grid.periodNs);
        for (int64_t j = first; grid.timeNs(j) < hi * kMsNs; ++j) {
            const int64_t start = grid.timeNs(j) / kMsNs, end = (grid.timeNs(j) + grid.durationNs(j)) / kMsNs;
            const int input = static_cast<int>(j / 4 % 2) + 1;
            keep(start, grid.isInput(j) ? CardEventKind::InputOn : CardEventKind::MotionStart, input);
            keep(end, grid.isInput(j) ? CardEventKind::InputOff : CardEventKind::MotionEnd, input);
        }
    }
    if (gap) {
        // Where pictures stop, the last picture before the gap is the last
        // one held: the event belongs there.
        const int64_t lastBefore = pictureNs(pictureAtOrBefore(gap->fromMs * kMsNs - 1)) / kMsNs;
        if (gap->fromMs >= lo && gap->fromMs < hi && holds(l, lastBefore, nowMs)) {
            out.push_back({gap->fromMs, CardEventKind::DataGone, tokenAt(lastBefore), 1});
        }
        keep(gap->toMs, CardEventKind::DataBack, 1);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const CardEvent& a, const CardEvent& b) { return a.timeMs < b.timeMs; });
    return out;
}

std::optional<double> SdCard::motionAt(int64_t ms) const {
    const Layout l = layout();
    // Any time a client names: only those the picture grid can hold.
    if (l.eventsPerDay <= 0 || ms < 0 || ms > INT64_MAX / kMsNs) return std::nullopt;
    const EventGrid grid{kDayNs / l.eventsPerDay};
    const int64_t ns = ms * kMsNs;
    const int64_t j = floorDiv(ns - grid.periodNs / 3, grid.periodNs);
    if (grid.isInput(j)) return std::nullopt;
    const int64_t into = ns - grid.timeNs(j);
    if (into < 0 || into >= grid.durationNs(j)) return std::nullopt;
    return static_cast<double>(into) / static_cast<double>(grid.durationNs(j));
}

} // namespace camsim
