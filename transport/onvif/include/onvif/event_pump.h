// Keeps a pull-point subscription alive on a thread of its own and feeds
// what it pulls into an event state. A lost subscription is made anew.
#pragma once

#include <platform/event.h>

#include <thread>

#include "onvif/device.h"
#include "onvif/event_state.h"

namespace onvif {

class EventPump {
public:
    EventPump(Device& device, EventState& state);
    // Ends the subscription and joins the thread; a pull in progress ends
    // within the call time-out (sooner after the transport's abort).
    ~EventPump();
    EventPump(const EventPump&) = delete;
    EventPump& operator=(const EventPump&) = delete;

    // Waits until a subscription exists; false after timeoutMs.
    bool waitSubscribed(int timeoutMs) const { return subscribed_.wait(timeoutMs); }

private:
    void run();

    Device& device_;
    EventState& state_;
    platform::ManualResetEvent stop_;
    platform::ManualResetEvent subscribed_;
    std::thread thread_;
};

} // namespace onvif
