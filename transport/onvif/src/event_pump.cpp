#include "onvif/event_pump.h"

#include "platform/worker_thread.h"

#include <algorithm>

namespace onvif {

int retryPauseMs(const EventPumpTiming& timing, int failures) {
    if (failures <= 0) return 0;
    int64_t pause = timing.firstRetryMs;
    for (int i = 1; i < failures && pause < timing.maxRetryMs; ++i) pause *= 2;
    return static_cast<int>(std::min<int64_t>(pause, timing.maxRetryMs));
}

EventPump::EventPump(Device& device, EventState& state, const platform::Clock& clock, EventPumpTiming timing)
    : device_(device), state_(state), clock_(clock), timing_(timing),
      thread_(platform::startWorkerThread("onvif-events", [this] { run(); })) {}

EventPump::~EventPump() {
    if (!stop_.isSet()) stop(kUnsubscribeBoundMs);
    thread_.join();
}

// The bound of the give-back is the closing user's time, always real.
void EventPump::stop(int boundMs) {
    giveBackByMs_.store(platform::SystemClock::instance().nowMs() + boundMs);
    stop_.set();
    pullCancel_.abort();
    finished_.wait(boundMs);
}

bool EventPump::waitUntil(int64_t atMs) const {
    const int64_t left = atMs - clock_.nowMs();
    if (left <= 0) return !stop_.isSet();
    return !clock_.waitFor(stop_, static_cast<int>(std::min<int64_t>(left, INT32_MAX)));
}

void EventPump::run() {
    std::optional<Subscription> subscription;
    while (step(subscription)) {}
    giveBack(subscription);
    finished_.set();
}

bool EventPump::step(std::optional<Subscription>& subscription) {
    if (pauseDue_) {
        pauseDue_ = false;
        if (!waitUntil(clock_.nowMs() + retryPauseMs(timing_, failures_))) return false;
    }
    if (!subscription) return subscribe(subscription);
    if (!waitUntil(nextPullAtMs_)) return false;
    if (clock_.nowMs() >= subscription->renewAtMs) {
        const Renewed renewed = device_.renew(subscription->address);
        if (renewed.end != CallEnd::Done) {
            failed(renewed.end, subscription);
            return !stop_.isSet();
        }
        grant(*subscription, renewed.grantedSeconds);
    }
    const int64_t startMs = clock_.nowMs();
    nextPullAtMs_ = startMs + timing_.minPullSpacingMs;
    // A pull held by the camera must not outlast the moment to renew.
    const int64_t renewInMs = subscription->renewAtMs - startMs;
    const int waitSeconds =
        static_cast<int>(std::clamp<int64_t>(renewInMs / 1000, 1, std::max(1, timing_.pullWaitSeconds)));
    Pulled pulled = device_.pullMessages(subscription->address, waitSeconds, &pullCancel_);
    if (stop_.isSet()) return false;
    if (pulled.end != CallEnd::Done) {
        failed(pulled.end, subscription);
        return true;
    }
    failures_ = 0;
    state_.apply(pulled.messages);
    return true;
}

bool EventPump::subscribe(std::optional<Subscription>& subscription) {
    std::optional<PullPoint> created = device_.createPullPoint();
    if (!created) {
        ++failures_;
        pauseDue_ = true;
        return !stop_.isSet();
    }
    subscription = Subscription{std::move(created->address)};
    grant(*subscription, created->grantedSeconds);
    nextPullAtMs_ = clock_.nowMs();
    subscribed_.set();
    // Stopped while subscribing: the loop ends and gives it back.
    return !stop_.isSet();
}

void EventPump::grant(Subscription& subscription, int grantedSeconds) const {
    const int64_t seconds = grantedSeconds > 0 ? grantedSeconds : Device::kSubscriptionSeconds;
    const int64_t now = clock_.nowMs();
    subscription.endsAtMs = now + seconds * 1000;
    subscription.renewAtMs = now + seconds * 500;
}

void EventPump::failed(CallEnd end, std::optional<Subscription>& subscription) {
    ++failures_;
    pauseDue_ = true;
    // A camera that refused a call on the subscription may still hold it
    // (a broken answer): it is given back before a new one takes a place.
    if (end == CallEnd::Refused) device_.unsubscribe(subscription->address);
    if (end == CallEnd::Refused || clock_.nowMs() >= subscription->endsAtMs) {
        subscription.reset();
        subscribed_.reset();
    }
}

void EventPump::giveBack(const std::optional<Subscription>& subscription) {
    if (!subscription) return;
    const int64_t left = giveBackByMs_.load() - platform::SystemClock::instance().nowMs();
    if (left > 0) device_.unsubscribe(subscription->address, static_cast<int>(std::min<int64_t>(left, INT32_MAX)));
}

} // namespace onvif
