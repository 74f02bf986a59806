// Keeps a pull-point subscription alive on a thread of its own and feeds
// what it pulls into an event state.
//
// Pulls start at least a second apart, so a camera that answers at once
// (ignoring the time-out it was asked to hold the pull) is not asked a
// thousand times a second; a pull the camera held goes on at once. The
// subscription is renewed halfway to the termination time the camera
// granted. A camera that refuses a call on the subscription (it rebooted, or
// the subscription lapsed) is asked to drop it and gets a new one; one that
// does not answer keeps its subscription until that would have ended. Every
// failure in a row doubles the pause before the next call (2, 4, 8 ... 60 s),
// so a camera that keeps failing is never asked in a tight loop; a pull that
// succeeds ends the series.
#pragma once

#include <platform/clock.h>
#include <platform/event.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

#include "onvif/device.h"
#include "onvif/event_state.h"

namespace onvif {

struct EventPumpTiming {
    int pullWaitSeconds = 5;     // how long a pull asks the camera to hold it
    int minPullSpacingMs = 1000; // pulls start at least this far apart
    int firstRetryMs = 2000;     // the pause after a failure, doubled per further failure
    int maxRetryMs = 60000;
};

// The pause before the next call after `failures` failures in a row.
int retryPauseMs(const EventPumpTiming& timing, int failures);

class EventPump {
public:
    EventPump(Device& device, EventState& state, const platform::Clock& clock = platform::SystemClock::instance(),
              EventPumpTiming timing = {});
    // Stops (giving the subscription back within a second) unless stopped,
    // and joins the thread.
    ~EventPump();
    EventPump(const EventPump&) = delete;
    EventPump& operator=(const EventPump&) = delete;

    // Waits until a subscription exists; false after timeoutMs.
    bool waitSubscribed(int timeoutMs) const { return subscribed_.wait(timeoutMs); }

    // Ends a pull in flight and gives the subscription back, waiting for
    // that at most boundMs; the thread ends by itself soon after (at once
    // once the transport is aborted).
    void stop(int boundMs);
    static constexpr int kUnsubscribeBoundMs = 1000;

private:
    struct Subscription {
        std::string address;
        int64_t renewAtMs = 0;
        int64_t endsAtMs = 0; // when the camera drops it unless renewed
    };

    void run();
    // One step of the loop; false when the pump was stopped.
    bool step(std::optional<Subscription>& subscription);
    bool subscribe(std::optional<Subscription>& subscription);
    // Counts a failure of a call on the subscription and forgets the
    // subscription when the camera no longer has it.
    void failed(CallEnd end, std::optional<Subscription>& subscription);
    void grant(Subscription& subscription, int grantedSeconds) const;
    void giveBack(const std::optional<Subscription>& subscription);
    // Waits until the clock reaches atMs; false when stopped meanwhile.
    bool waitUntil(int64_t atMs) const;

    Device& device_;
    EventState& state_;
    const platform::Clock& clock_;
    const EventPumpTiming timing_;
    int failures_ = 0;
    bool pauseDue_ = false; // a call failed: the next waits retryPauseMs first
    int64_t nextPullAtMs_ = 0;
    platform::ManualResetEvent stop_;
    platform::ManualResetEvent subscribed_;
    platform::ManualResetEvent finished_;
    CallCancel pullCancel_;
    std::atomic<int64_t> giveBackByMs_{0};
    std::thread thread_;
};

} // namespace onvif
