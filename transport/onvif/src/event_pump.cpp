#include "onvif/event_pump.h"

#include <chrono>
#include <optional>

namespace onvif {

namespace {

constexpr int kPullWaitSeconds = 1;
constexpr int kRetryPauseMs = 2000;
// Subscriptions are asked for 60 s; renewed well before that.
constexpr auto kRenewEvery = std::chrono::seconds(30);

} // namespace

EventPump::EventPump(Device& device, EventState& state) : device_(device), state_(state), thread_([this] { run(); }) {}

EventPump::~EventPump() {
    stop_.set();
    thread_.join();
}

void EventPump::run() {
    std::optional<std::string> subscription;
    auto renewAt = std::chrono::steady_clock::now();
    while (!stop_.isSet()) {
        if (!subscription) {
            subscription = device_.createPullPoint();
            if (!subscription) {
                stop_.wait(kRetryPauseMs);
                continue;
            }
            subscribed_.set();
            renewAt = std::chrono::steady_clock::now() + kRenewEvery;
        }
        const auto messages = device_.pullMessages(*subscription, kPullWaitSeconds);
        if (stop_.isSet()) break;
        if (!messages) {
            // The subscription may have lapsed: start again after a pause.
            subscription.reset();
            subscribed_.reset();
            stop_.wait(kRetryPauseMs);
            continue;
        }
        state_.apply(*messages);
        if (std::chrono::steady_clock::now() >= renewAt) {
            if (!device_.renew(*subscription)) subscription.reset();
            renewAt = std::chrono::steady_clock::now() + kRenewEvery;
        }
    }
    if (subscription) device_.unsubscribe(*subscription);
}

} // namespace onvif
