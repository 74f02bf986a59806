#include "search_service.h"

#include "event_service.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace camsim::onvif {

namespace {

constexpr char kVideoTrack[] = "VIDEO001";
constexpr char kMetadataTrack[] = "META001";
constexpr char kHistoryTopic[] = "tns1:RecordingHistory/Track/State";
constexpr int64_t kDefaultKeepAliveMs = 10000;
constexpr int64_t kMaxKeepAliveMs = 3600000;
// A search holds at most this many results, whatever it matches.
constexpr std::size_t kMaxFound = 200000;

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t timeArgument(const pugi::xml_node& operation, const char* name) {
    int64_t ms = 0;
    if (!parseIsoTimeMs(childText(operation, name), ms))
        invalidArgument("ter:InvalidArgVal", std::string(name) + ": no time");
    return ms;
}

// A count the client may leave out (0 then); a SOAP Fault when it is no count.
std::size_t countArgument(const pugi::xml_node& operation, const char* name) {
    const std::string text = childText(operation, name);
    if (text.empty()) return 0;
    if (text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        invalidArgument("ter:InvalidArgVal", std::string(name) + ": " + text);
    }
    return static_cast<std::size_t>(std::stoul(text));
}

int64_t keepAliveArgument(const pugi::xml_node& operation) {
    int64_t ms = 0;
    const std::string text = childText(operation, "KeepAliveTime");
    if (text.empty()) return kDefaultKeepAliveMs;
    if (!parseDuration(text, ms)) invalidArgument("ter:InvalidArgVal", "KeepAliveTime: " + text);
    return std::clamp<int64_t>(ms, 1000, kMaxKeepAliveMs);
}

// The recordings a search scope names; empty: every one.
std::set<std::string> includedRecordings(const pugi::xml_node& operation) {
    std::set<std::string> tokens;
    const pugi::xml_node scope = child(operation, "Scope");
    for (pugi::xml_node n = scope.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_element && localName(n) == "IncludedRecordings") tokens.insert(n.child_value());
    }
    return tokens;
}

// Topics a search filter names ("a|b"); empty: every topic.
std::vector<std::string> filterTopics(const pugi::xml_node& operation) {
    std::vector<std::string> topics;
    std::string text = childText(child(operation, "SearchFilter"), "TopicExpression");
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('|', at), text.size());
        std::string topic = text.substr(at, end - at);
        topic.erase(0, topic.find_first_not_of(" \t\r\n"));
        topic.erase(topic.find_last_not_of(" \t\r\n") + 1);
        if (topic.size() > 3 && topic.compare(topic.size() - 3, 3, "//.") == 0) topic.resize(topic.size() - 3);
        if (!topic.empty()) topics.push_back(topic);
        at = end + 1;
    }
    return topics;
}

Notification notificationOf(const CardEvent& e) {
    switch (e.kind) {
    case CardEventKind::MotionStart:
    case CardEventKind::MotionEnd:
        return {kMotionTopic, "Source", kVideoSourceToken, "State", e.kind == CardEventKind::MotionStart};
    case CardEventKind::InputOn:
    case CardEventKind::InputOff:
        return {kInputTopic, "InputToken", "input_" + std::to_string(e.input), "LogicalState",
                e.kind == CardEventKind::InputOn};
    case CardEventKind::DataGone:
    case CardEventKind::DataBack:
        return {kHistoryTopic, "Track", kVideoTrack, "IsDataPresent", e.kind == CardEventKind::DataBack};
    }
    return {};
}

bool topicMatches(const std::string& topic, const std::vector<std::string>& filter) {
    if (filter.empty()) return true;
    return std::any_of(filter.begin(), filter.end(), [&](const std::string& f) {
        return topic == f || (topic.size() > f.size() && topic.compare(0, f.size(), f) == 0 && topic[f.size()] == '/');
    });
}

void track(pugi::xml_node parent, const char* token, const char* type, const std::string& description,
           const CardSpan& span) {
    pugi::xml_node t = add(parent, "tt:Track");
    add(t, "tt:TrackToken", token);
    add(t, "tt:TrackType", type);
    add(t, "tt:Description", description);
    add(t, "tt:DataFrom", isoTimeMs(span.fromMs));
    add(t, "tt:DataTo", isoTimeMs(span.toMs));
}

void recordingInformation(pugi::xml_node parent, const char* name, const CardRecording& r, const ServiceContext& c) {
    pugi::xml_node n = add(parent, name);
    add(n, "tt:RecordingToken", r.token);
    pugi::xml_node source = add(n, "tt:Source");
    add(source, "tt:SourceId", kVideoSourceToken);
    add(source, "tt:Name", c.options.name);
    add(source, "tt:Location", "SD card");
    add(source, "tt:Description", "The camera's own recording");
    add(source, "tt:Address", c.url(kDevicePath));
    add(n, "tt:EarliestRecording", isoTimeMs(r.span.fromMs));
    add(n, "tt:LatestRecording", isoTimeMs(r.span.toMs));
    add(n, "tt:Content", "Continuous recording");
    const SdCardOptions o = c.card->options();
    track(n, kVideoTrack, "Video", "H.264 " + std::to_string(o.width) + "x" + std::to_string(o.height), r.span);
    track(n, kMetadataTrack, "Metadata", "Motion and input events", r.span);
    add(n, "tt:RecordingStatus", r.recording ? "Recording" : "Stopped");
}

void result(pugi::xml_node list, const CardEvent& e, bool startState, int64_t timeMs) {
    pugi::xml_node r = add(list, "tt:Result");
    add(r, "tt:RecordingToken", e.recordingToken);
    const bool history = e.kind == CardEventKind::DataGone || e.kind == CardEventKind::DataBack;
    add(r, "tt:TrackToken", history ? kVideoTrack : kMetadataTrack);
    add(r, "tt:Time", isoTimeMs(timeMs));
    Notification n = notificationOf(e);
    if (startState) n.operation = "Initialized";
    addEvent(add(r, "tt:Event"), n, isoTimeMs(timeMs));
    add(r, "tt:StartStateEvent", startState ? "true" : "false");
}

} // namespace

void searchCapabilities(pugi::xml_node parent) {
    pugi::xml_node caps = add(parent, "tse:Capabilities");
    caps.append_attribute("MetadataSearch") = "false";
    caps.append_attribute("GeneralStartEvents") = "true";
}

void SearchService::answer(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const std::string& op = request.operationName;
    if (c.card == nullptr) throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", "the camera records nothing"};
    const int64_t now = c.card->nowMs();
    if (op == "GetServiceCapabilities") {
        searchCapabilities(add(reply.body(), "tse:GetServiceCapabilitiesResponse"));
    } else if (op == "GetRecordingSummary") {
        const CardSpan data = c.card->data(now);
        pugi::xml_node s = add(add(reply.body(), "tse:GetRecordingSummaryResponse"), "tse:Summary");
        add(s, "tt:DataFrom", isoTimeMs(data.fromMs));
        add(s, "tt:DataUntil", isoTimeMs(data.toMs));
        add(s, "tt:NumberRecordings", std::to_string(c.card->recordings(now).size()));
    } else if (op == "GetRecordingInformation") {
        const std::string token = childText(request.operation, "RecordingToken");
        const auto r = c.card->recording(token, now);
        if (!r) invalidArgument("ter:NoRecording", "no recording \"" + token + "\"");
        recordingInformation(add(reply.body(), "tse:GetRecordingInformationResponse"), "tse:RecordingInformation", *r,
                             c);
    } else if (op == "FindRecordings") {
        findRecordings(request, c, reply);
    } else if (op == "FindEvents") {
        findEvents(request, c, reply);
    } else if (op == "GetRecordingSearchResults" || op == "GetEventSearchResults") {
        results(request, c, reply, op == "GetEventSearchResults");
    } else if (op == "GetSearchState") {
        std::lock_guard lock(mutex_);
        expireLocked(steadyMs());
        const Search& s = find(childText(request.operation, "SearchToken"));
        add(add(reply.body(), "tse:GetSearchStateResponse"), "tse:State",
            s.next >= (s.events ? s.found.size() : s.recordings.size()) ? "Completed" : "Searching");
    } else if (op == "EndSearch") {
        endSearch(request, reply);
    } else {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", op + " is not supported"};
    }
}

std::size_t SearchService::liveSearches() const {
    std::lock_guard lock(mutex_);
    const int64_t now = steadyMs();
    return static_cast<std::size_t>(std::count_if(searches_.begin(), searches_.end(), [now](const auto& s) {
        return now - s.second.touchedMs <= s.second.keepAliveMs;
    }));
}

void SearchService::expireLocked(int64_t nowMs) {
    for (auto it = searches_.begin(); it != searches_.end();) {
        it = nowMs - it->second.touchedMs > it->second.keepAliveMs ? searches_.erase(it) : std::next(it);
    }
}

SearchService::Search& SearchService::find(const std::string& token) {
    const auto it = searches_.find(token);
    if (it == searches_.end()) invalidArgument("ter:InvalidToken", "no search \"" + token + "\"");
    return it->second;
}

std::string SearchService::open(Search search, const ServiceContext&) {
    std::lock_guard lock(mutex_);
    const int64_t now = steadyMs();
    expireLocked(now);
    if (searches_.size() >= kMaxSearches) {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ResourceProblem", "too many searches under way"};
    }
    search.touchedMs = now;
    const std::string token = "search-" + std::to_string(++counter_);
    searches_.emplace(token, std::move(search));
    return token;
}

void SearchService::findRecordings(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    Search s;
    s.keepAliveMs = keepAliveArgument(request.operation);
    const std::size_t maxMatches = countArgument(request.operation, "MaxMatches");
    const std::set<std::string> included = includedRecordings(request.operation);
    const int64_t now = c.card->nowMs();
    for (CardRecording& r : c.card->recordings(now)) {
        if (maxMatches > 0 && s.recordings.size() >= maxMatches) break;
        if (included.empty() || included.count(r.token) > 0) s.recordings.push_back(std::move(r));
    }
    s.endPointMs = c.card->data(now).toMs;
    add(add(reply.body(), "tse:FindRecordingsResponse"), "tse:SearchToken", open(std::move(s), c));
}

void SearchService::findEvents(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const pugi::xml_node op = request.operation;
    const int64_t now = c.card->nowMs();
    const int64_t start = timeArgument(op, "StartPoint");
    const bool bounded = !childText(op, "EndPoint").empty();
    const int64_t end = bounded ? timeArgument(op, "EndPoint") : c.card->data(now).toMs;
    const bool backwards = end < start;
    const std::size_t maxMatches =
        std::min(kMaxFound, countArgument(op, "MaxMatches") > 0 ? countArgument(op, "MaxMatches") : kMaxFound);
    const std::set<std::string> included = includedRecordings(op);
    const std::vector<std::string> topics = filterTopics(op);
    const auto wanted = [&](const CardEvent& e) {
        return (included.empty() || included.count(e.recordingToken) > 0) &&
               topicMatches(notificationOf(e).topic, topics);
    };

    Search s;
    s.events = true;
    s.keepAliveMs = keepAliveArgument(op);
    s.endPointMs = end;
    // The state at the start point: a motion under way there.
    if (childText(op, "IncludeStartState") == "true" && c.card->motionAt(start)) {
        for (const CardRecording& r : c.card->recordings(now)) {
            if (start < r.span.fromMs || start >= r.span.toMs) continue;
            const CardEvent e{start, CardEventKind::MotionStart, r.token, 1};
            if (wanted(e)) s.found.push_back({e, true});
        }
    }
    std::vector<CardEvent> events = c.card->events(std::min(start, end), std::max(start, end), now);
    if (backwards) std::reverse(events.begin(), events.end());
    for (const CardEvent& e : events) {
        if (s.found.size() >= maxMatches) break;
        if (wanted(e)) s.found.push_back({e, false});
    }
    add(add(reply.body(), "tse:FindEventsResponse"), "tse:SearchToken", open(std::move(s), c));
}

void SearchService::results(const SoapRequest& request, const ServiceContext& c, SoapReply& reply, bool events) {
    const std::size_t asked = countArgument(request.operation, "MaxResults");
    std::size_t page = static_cast<std::size_t>(c.card->maxResultsPerAnswer());
    if (asked > 0) page = std::min(page, asked);
    std::lock_guard lock(mutex_);
    const int64_t now = steadyMs();
    expireLocked(now);
    Search& s = find(childText(request.operation, "SearchToken"));
    if (s.events != events) invalidArgument("ter:InvalidToken", "a search of the other kind");
    s.touchedMs = now;
    const char* response = events ? "tse:GetEventSearchResultsResponse" : "tse:GetRecordingSearchResultsResponse";
    pugi::xml_node list = add(add(reply.body(), response), "tse:ResultList");
    const std::size_t total = events ? s.found.size() : s.recordings.size();
    const std::size_t end = std::min(total, s.next + page);
    add(list, "tt:SearchState", end >= total ? "Completed" : "Searching");
    for (; s.next < end; ++s.next) {
        if (events) {
            const Found& f = s.found[s.next];
            result(list, f.event, f.startState, f.event.timeMs);
        } else {
            recordingInformation(list, "tt:RecordingInformation", s.recordings[s.next], c);
        }
    }
}

void SearchService::endSearch(const SoapRequest& request, SoapReply& reply) {
    std::lock_guard lock(mutex_);
    expireLocked(steadyMs());
    const std::string token = childText(request.operation, "SearchToken");
    const int64_t endPoint = find(token).endPointMs;
    searches_.erase(token);
    add(add(reply.body(), "tse:EndSearchResponse"), "tse:Endpoint", isoTimeMs(endPoint));
}

} // namespace camsim::onvif
