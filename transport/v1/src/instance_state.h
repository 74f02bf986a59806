// What the channels of one plug-in instance share with each other.
#pragma once

#include "platform/clock.h"

#include <atomic>

namespace fenwa10 {

struct InstanceState {
    explicit InstanceState(const platform::Clock& timeSource) : clock(timeSource) {}

    // Set when this instance's control channel declares the connection lost;
    // it ends this instance's media reading and login thread, nobody else's.
    std::atomic<bool> connectionLost{false};
    // Time source for the keep-alive rules, fixed for the instance's life.
    const platform::Clock& clock;

    int64_t nowSeconds() const { return clock.nowMs() / 1000; }
};

} // namespace fenwa10
