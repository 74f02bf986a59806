// What the channels of one plug-in instance share with each other.
#pragma once

#include "platform/clock.h"

#include <atomic>

namespace fenwa10 {

struct InstanceState {
    // Set when this instance's control channel declares the connection lost;
    // it ends this instance's media reading and login thread, nobody else's.
    std::atomic<bool> connectionLost{false};
    // Time source for the keep-alive rules; replaceable for tests.
    std::atomic<const platform::Clock*> clock{&platform::SystemClock::instance()};

    int64_t nowSeconds() const { return clock.load()->nowMs() / 1000; }
};

} // namespace fenwa10
