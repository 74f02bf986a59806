// The event service: pull-point subscriptions that queue the camera's
// motion alarm and digital input changes. sample() compares the head's
// state with the last one seen and queues a notification per change; the
// camera calls it on its own thread. PullMessages waits for a notification
// up to its timeout (at most the camera's limit) or until the camera stops.
#pragma once

#include "service_context.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace camsim::onvif {

inline constexpr char kMotionTopic[] = "tns1:VideoSource/MotionAlarm";
inline constexpr char kInputTopic[] = "tns1:Device/Trigger/DigitalInput";

struct Notification {
    std::string topic;      // "tns1:VideoSource/MotionAlarm"
    std::string sourceName; // "Source", "InputToken"
    std::string sourceValue;
    std::string dataName; // "State", "LogicalState"
    bool value = false;
    const char* operation = "Changed"; // "Initialized" for the state at subscription
    int64_t utcSeconds = 0;
};

// Puts an event's topic and message (its time as given, source and data)
// under `holder`: a notification message, or a recorded event.
void addEvent(pugi::xml_node holder, const Notification& n, const std::string& utcTime);

// How the pull points of a camera behave; real cameras differ in each.
struct PullPointRules {
    int maxSubscriptions = 16;
    int maxSeconds = 0;        // granted at most this long (0: as asked)
    bool answerAtOnce = false; // PullMessages ignores its Timeout
    int floodTokens = 0;       // each PullMessages answer names this many new input tokens
    std::size_t floodTokenBytes = 0;
};

class EventService {
public:
    // Answers the event service's and the subscriptions' operations;
    // `path` tells which subscription a request is for.
    void answer(const SoapRequest& request, const std::string& path, const ServiceContext& context, SoapReply& reply);
    // Looks at the head and queues what changed for every subscription.
    void sample(const CameraHead& head, int64_t utcSeconds);
    // Releases every waiting PullMessages, and makes later ones answer at once
    // until started again.
    void shutDown();
    void startUp();

    void setRules(const PullPointRules& rules);
    // Forgets every subscription, as a camera does when it restarts.
    void dropAll();
    // Subscriptions that have not ended by the camera's clock.
    int livePullPoints(int64_t nowSeconds) const;
    // PullMessages requests answered or refused so far.
    int64_t pulls() const;

private:
    struct State {
        bool motion = false;
        int inputs = 0;
    };
    struct Subscription {
        std::deque<Notification> queue;
        int64_t terminationSeconds = 0; // camera clock
    };

    void create(const SoapRequest& request, const ServiceContext& c, SoapReply& reply);
    void pull(const SoapRequest& request, int id, const ServiceContext& c, SoapReply& reply);
    std::map<int, Subscription>::iterator findLocked(int id, int64_t nowSeconds);
    std::deque<Notification> initialState(int64_t utcSeconds) const;
    // The termination time for one asked for, within the rules.
    int64_t granted(int64_t asked, int64_t nowSeconds) const;
    void queueFlood(std::deque<Notification>& queue, int64_t utcSeconds);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, Subscription> subscriptions_;
    int nextId_ = 1;
    State last_;
    bool sampled_ = false;
    bool shutDown_ = false;
    PullPointRules rules_;
    int64_t pulls_ = 0;
    uint64_t floodCounter_ = 0;
};

} // namespace camsim::onvif
