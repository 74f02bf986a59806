#include "event_service.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace camsim::onvif {

namespace {

constexpr std::size_t kMaxQueued = 256;
constexpr int64_t kDefaultTerminationSeconds = 60;
constexpr int kDefaultMessageLimit = 10;
constexpr char kTopicDialect[] = "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet";

Notification motion(bool on, const char* operation, int64_t utc) {
    return {kMotionTopic, "Source", kVideoSourceToken, "State", on, operation, utc};
}

Notification input(int index, bool on, const char* operation, int64_t utc) {
    return {kInputTopic, "InputToken", "input_" + std::to_string(index), "LogicalState", on, operation, utc};
}

// A termination time given as a duration from now or as a time.
bool terminationTime(const std::string& text, int64_t nowSeconds, int64_t& out) {
    int64_t ms = 0;
    if (text.empty()) {
        out = nowSeconds + kDefaultTerminationSeconds;
    } else if (parseDuration(text, ms)) {
        out = nowSeconds + ms / 1000;
    } else if (!parseIsoTime(text, out)) {
        return false;
    }
    return true;
}

int subscriptionId(const std::string& path) {
    const std::string prefix = kSubscriptionPath;
    if (path.rfind(prefix, 0) != 0 || path.size() == prefix.size() || path.size() > prefix.size() + 6) return 0;
    int id = 0;
    for (std::size_t i = prefix.size(); i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9') return 0;
        id = id * 10 + (path[i] - '0');
    }
    return id;
}

void simpleItem(pugi::xml_node parent, const char* name, const std::string& value) {
    pugi::xml_node item = add(parent, "tt:SimpleItem");
    item.append_attribute("Name") = name;
    item.append_attribute("Value") = value.c_str();
}

void notificationMessage(pugi::xml_node parent, const Notification& n, const std::string& subscriptionUrl) {
    pugi::xml_node m = add(parent, "wsnt:NotificationMessage");
    add(add(m, "wsnt:SubscriptionReference"), "wsa:Address", subscriptionUrl);
    addEvent(m, n, isoTime(n.utcSeconds));
}

} // namespace

void addEvent(pugi::xml_node holder, const Notification& n, const std::string& utcTime) {
    pugi::xml_node topic = add(holder, "wsnt:Topic", n.topic);
    topic.append_attribute("Dialect") = kTopicDialect;
    pugi::xml_node message = add(add(holder, "wsnt:Message"), "tt:Message");
    message.append_attribute("UtcTime") = utcTime.c_str();
    message.append_attribute("PropertyOperation") = n.operation;
    simpleItem(add(message, "tt:Source"), n.sourceName.c_str(), n.sourceValue);
    simpleItem(add(message, "tt:Data"), n.dataName.c_str(), n.value ? "true" : "false");
}

namespace {

void eventProperties(SoapReply& reply) {
    pugi::xml_node r = add(reply.body(), "tev:GetEventPropertiesResponse");
    add(r, "tev:TopicNamespaceLocation", "http://www.onvif.org/onvif/ver10/topics/topicns.xml");
    add(r, "wsnt:FixedTopicSet", "true");
    pugi::xml_node set = add(r, "wstop:TopicSet");
    set.append_attribute("xmlns:wstop") = "http://docs.oasis-open.org/wsn/t-1";
    auto description = [](pugi::xml_node parent, const char* source, const char* sourceType, const char* data) {
        pugi::xml_node d = add(parent, "tt:MessageDescription");
        d.append_attribute("IsProperty") = "true";
        pugi::xml_node s = add(add(d, "tt:Source"), "tt:SimpleItemDescription");
        s.append_attribute("Name") = source;
        s.append_attribute("Type") = sourceType;
        pugi::xml_node v = add(add(d, "tt:Data"), "tt:SimpleItemDescription");
        v.append_attribute("Name") = data;
        v.append_attribute("Type") = "xs:boolean";
    };
    pugi::xml_node motionTopic = add(add(set, "tns1:VideoSource"), "MotionAlarm");
    motionTopic.append_attribute("wstop:topic") = "true";
    description(motionTopic, "Source", "tt:ReferenceToken", "State");
    pugi::xml_node inputTopic = add(add(add(set, "tns1:Device"), "Trigger"), "DigitalInput");
    inputTopic.append_attribute("wstop:topic") = "true";
    description(inputTopic, "InputToken", "tt:ReferenceToken", "LogicalState");
    add(r, "wsnt:TopicExpressionDialect", "http://docs.oasis-open.org/wsn/t-1/TopicExpression/Concrete");
    add(r, "wsnt:TopicExpressionDialect", kTopicDialect);
    add(r, "tev:MessageContentFilterDialect", "http://www.onvif.org/ver10/tev/messageContentFilter/ItemFilter");
    add(r, "tev:MessageContentSchemaLocation", "http://www.onvif.org/onvif/ver10/schema/onvif.xsd");
}

} // namespace

void EventService::answer(const SoapRequest& request, const std::string& path, const ServiceContext& c,
                          SoapReply& reply) {
    const std::string& op = request.operationName;
    if (op == "CreatePullPointSubscription") {
        create(request, c, reply);
        return;
    }
    if (op == "GetEventProperties") {
        eventProperties(reply);
        return;
    }
    if (op == "GetServiceCapabilities") {
        pugi::xml_node caps = add(add(reply.body(), "tev:GetServiceCapabilitiesResponse"), "tev:Capabilities");
        caps.append_attribute("WSSubscriptionPolicySupport") = "false";
        caps.append_attribute("WSPullPointSupport") = "true";
        caps.append_attribute("WSPausableSubscriptionManagerInterfaceSupport") = "false";
        std::lock_guard lock(mutex_);
        caps.append_attribute("MaxPullPoints") = rules_.maxSubscriptions;
        return;
    }
    if (op != "PullMessages" && op != "Renew" && op != "Unsubscribe") {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", op + " is not supported"};
    }
    const int id = subscriptionId(path);
    if (op == "PullMessages") {
        pull(request, id, c, reply);
        return;
    }
    std::lock_guard lock(mutex_);
    const auto it = findLocked(id, c.nowSeconds);
    if (op == "Unsubscribe") {
        subscriptions_.erase(it);
        add(reply.body(), "wsnt:UnsubscribeResponse");
        return;
    }
    int64_t until = 0;
    if (!terminationTime(childText(request.operation, "TerminationTime"), c.nowSeconds, until)) {
        invalidArgument("ter:InvalidArgVal", "TerminationTime is neither a duration nor a time");
    }
    until = granted(until, c.nowSeconds);
    it->second.terminationSeconds = until;
    pugi::xml_node r = add(reply.body(), "wsnt:RenewResponse");
    add(r, "wsnt:TerminationTime", isoTime(until));
    add(r, "wsnt:CurrentTime", isoTime(c.nowSeconds));
}

std::map<int, EventService::Subscription>::iterator EventService::findLocked(int id, int64_t nowSeconds) {
    for (auto it = subscriptions_.begin(); it != subscriptions_.end();) {
        it = it->second.terminationSeconds < nowSeconds ? subscriptions_.erase(it) : std::next(it);
    }
    const auto it = subscriptions_.find(id);
    if (it == subscriptions_.end()) invalidArgument("ter:InvalidArgVal", "no such subscription (or it ended)");
    return it;
}

std::deque<Notification> EventService::initialState(int64_t utc) const {
    std::deque<Notification> out = {motion(last_.motion, "Initialized", utc)};
    for (int i = 1; i <= kInputCount; ++i) out.push_back(input(i, (last_.inputs >> (i - 1)) & 1, "Initialized", utc));
    return out;
}

void EventService::create(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    int64_t until = 0;
    if (!terminationTime(childText(request.operation, "InitialTerminationTime"), c.nowSeconds, until)) {
        invalidArgument("ter:InvalidArgVal", "InitialTerminationTime is neither a duration nor a time");
    }
    int id = 0;
    {
        std::lock_guard lock(mutex_);
        for (auto it = subscriptions_.begin(); it != subscriptions_.end();) {
            it = it->second.terminationSeconds < c.nowSeconds ? subscriptions_.erase(it) : std::next(it);
        }
        if (static_cast<int>(subscriptions_.size()) >= rules_.maxSubscriptions) {
            throw SoapError{"SOAP-ENV:Receiver", "wsntw:SubscribeCreationFailedFault", "every pull point is taken"};
        }
        until = granted(until, c.nowSeconds);
        id = nextId_++;
        // Properties report their state when a subscription starts.
        subscriptions_[id] = Subscription{initialState(c.nowSeconds), until};
    }
    pugi::xml_node r = add(reply.body(), "tev:CreatePullPointSubscriptionResponse");
    add(add(r, "tev:SubscriptionReference"), "wsa:Address", c.url(kSubscriptionPath + std::to_string(id)));
    add(r, "wsnt:CurrentTime", isoTime(c.nowSeconds));
    add(r, "wsnt:TerminationTime", isoTime(until));
}

void EventService::pull(const SoapRequest& request, int id, const ServiceContext& c, SoapReply& reply) {
    int64_t timeoutMs = 0;
    if (!parseDuration(childText(request.operation, "Timeout"), timeoutMs)) {
        invalidArgument("ter:InvalidArgVal", "Timeout is not a duration");
    }
    const std::string limitText = childText(request.operation, "MessageLimit");
    const long limit = limitText.empty() ? kDefaultMessageLimit : std::strtol(limitText.c_str(), nullptr, 10);
    if (limit < 1) invalidArgument("ter:InvalidArgVal", "MessageLimit must be positive");
    std::deque<Notification> taken;
    int64_t termination = 0;
    {
        std::unique_lock lock(mutex_);
        ++pulls_;
        const auto wait =
            std::chrono::milliseconds(rules_.answerAtOnce ? 0 : std::min<int64_t>(timeoutMs, c.options.maxPullWaitMs));
        const auto found = findLocked(id, c.nowSeconds);
        if (rules_.floodTokens > 0) queueFlood(found->second.queue, c.nowSeconds);
        changed_.wait_for(lock, wait, [&] {
            const auto it = subscriptions_.find(id);
            return shutDown_ || it == subscriptions_.end() || !it->second.queue.empty();
        });
        const auto it = subscriptions_.find(id);
        if (it == subscriptions_.end()) invalidArgument("ter:InvalidArgVal", "the subscription ended");
        auto& queue = it->second.queue;
        while (!queue.empty() && static_cast<long>(taken.size()) < limit) {
            taken.push_back(queue.front());
            queue.pop_front();
        }
        termination = it->second.terminationSeconds;
    }
    pugi::xml_node r = add(reply.body(), "tev:PullMessagesResponse");
    add(r, "tev:CurrentTime", isoTime(c.nowSeconds));
    add(r, "tev:TerminationTime", isoTime(termination));
    const std::string address = c.url(kSubscriptionPath + std::to_string(id));
    for (const Notification& n : taken) notificationMessage(r, n, address);
}

void EventService::sample(const CameraHead& head, int64_t utcSeconds) {
    const State now{head.motionBits() != 0, head.activeInputs()};
    std::lock_guard lock(mutex_);
    if (sampled_ && now.motion == last_.motion && now.inputs == last_.inputs) return;
    std::vector<Notification> changes;
    if (!sampled_ || now.motion != last_.motion) changes.push_back(motion(now.motion, "Changed", utcSeconds));
    for (int i = 1; i <= kInputCount; ++i) {
        const bool on = (now.inputs >> (i - 1)) & 1;
        if (!sampled_ || on != static_cast<bool>((last_.inputs >> (i - 1)) & 1)) {
            changes.push_back(input(i, on, "Changed", utcSeconds));
        }
    }
    const bool first = !sampled_;
    last_ = now;
    sampled_ = true;
    if (first) return; // the state before anyone watched is no change
    for (auto& [id, s] : subscriptions_) {
        for (const Notification& n : changes) {
            if (s.queue.size() < kMaxQueued) s.queue.push_back(n);
        }
    }
    changed_.notify_all();
}

int64_t EventService::granted(int64_t asked, int64_t nowSeconds) const {
    return rules_.maxSeconds > 0 ? std::min(asked, nowSeconds + rules_.maxSeconds) : asked;
}

void EventService::queueFlood(std::deque<Notification>& queue, int64_t utcSeconds) {
    for (int i = 0; i < rules_.floodTokens && queue.size() < kMaxQueued; ++i) {
        std::string token = "flood_input_" + std::to_string(++floodCounter_) + "_";
        token.resize(std::max(token.size(), rules_.floodTokenBytes), 'x');
        queue.push_back({kInputTopic, "InputToken", std::move(token), "LogicalState", (floodCounter_ & 1) != 0,
                         "Changed", utcSeconds});
    }
}

void EventService::setRules(const PullPointRules& rules) {
    std::lock_guard lock(mutex_);
    rules_ = rules;
    changed_.notify_all();
}

void EventService::dropAll() {
    std::lock_guard lock(mutex_);
    subscriptions_.clear();
    changed_.notify_all();
}

int EventService::livePullPoints(int64_t nowSeconds) const {
    std::lock_guard lock(mutex_);
    int live = 0;
    for (const auto& [id, s] : subscriptions_) live += s.terminationSeconds >= nowSeconds ? 1 : 0;
    return live;
}

int64_t EventService::pulls() const {
    std::lock_guard lock(mutex_);
    return pulls_;
}

void EventService::startUp() {
    std::lock_guard lock(mutex_);
    shutDown_ = false;
}

void EventService::shutDown() {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    changed_.notify_all();
}

} // namespace camsim::onvif
