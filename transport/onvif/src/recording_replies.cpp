#include "onvif/recording_replies.h"

#include "onvif/xml.h"
#include "reply_body.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace onvif {

namespace {

// A recording lists its tracks; a camera's handful, never thousands.
constexpr std::size_t kMaxTracks = 32;

std::optional<bool> readBool(std::string_view text) {
    if (text == "true" || text == "1") return true;
    if (text == "false" || text == "0") return false;
    return std::nullopt;
}

std::optional<int64_t> timeOf(const pugi::xml_node& node) {
    const std::optional<long long> ms = parseDateTimeMs(textOf(node));
    if (!ms) return std::nullopt;
    return static_cast<int64_t>(*ms);
}

// A span of two times, the second not before the first.
std::optional<TimeSpan> spanOf(const pugi::xml_node& from, const pugi::xml_node& to) {
    const auto a = timeOf(from), b = timeOf(to);
    if (!a || !b || *b < *a) return std::nullopt;
    return TimeSpan{*a, *b};
}

SearchState stateOf(const pugi::xml_node& list) {
    const std::string state = textOf(child(list, "SearchState"));
    if (state == "Completed") return SearchState::Completed;
    if (state == "Searching") return SearchState::Searching;
    if (state == "Queued") return SearchState::Queued;
    return SearchState::Unknown;
}

TrackType trackTypeOf(const std::string& text) {
    if (text == "Video") return TrackType::Video;
    if (text == "Audio") return TrackType::Audio;
    if (text == "Metadata") return TrackType::Metadata;
    return TrackType::Other;
}

// A recording needs its token and a span (its own, or its tracks').
std::optional<Recording> recordingOf(const pugi::xml_node& node) {
    Recording r;
    r.token = textOf(child(node, "RecordingToken"));
    if (r.token.empty()) return std::nullopt;
    r.sourceName = textOf(childPath(node, {"Source", "Name"}));
    r.status = textOf(child(node, "RecordingStatus"));
    std::optional<TimeSpan> tracks;
    for (const pugi::xml_node& t : node.children()) {
        if (localName(t) != "Track" || r.tracks.size() >= kMaxTracks) continue;
        const std::optional<TimeSpan> data = spanOf(child(t, "DataFrom"), child(t, "DataTo"));
        const std::string token = textOf(child(t, "TrackToken"));
        if (!data || token.empty()) continue;
        r.tracks.push_back({token, trackTypeOf(textOf(child(t, "TrackType"))), textOf(child(t, "Description")), *data});
        tracks = tracks ? TimeSpan{std::min(tracks->fromMs, data->fromMs), std::max(tracks->toMs, data->toMs)} : *data;
    }
    const auto earliest = timeOf(child(node, "EarliestRecording")), latest = timeOf(child(node, "LatestRecording"));
    if (!earliest && !tracks) return std::nullopt;
    if (!latest && !tracks) return std::nullopt;
    r.span = {earliest ? *earliest : tracks->fromMs, latest ? *latest : tracks->toMs};
    if (r.span.toMs < r.span.fromMs) return std::nullopt;
    return r;
}

RecordedEventKind kindOf(const std::string& topic, const std::vector<SimpleItem>& data) {
    const std::string path = topic.substr(topic.find(':') == std::string::npos ? 0 : topic.find(':') + 1);
    if (path.find("Motion") != std::string::npos) return RecordedEventKind::Motion;
    if (path.find("DigitalInput") != std::string::npos) return RecordedEventKind::Input;
    if (path.rfind("RecordingHistory", 0) == 0 &&
        std::any_of(data.begin(), data.end(), [](const SimpleItem& i) { return i.name == "IsDataPresent"; })) {
        return RecordedEventKind::DataPresence;
    }
    return RecordedEventKind::Other;
}

// The event's value: the known state items first, then any true or false.
std::optional<bool> stateOf(const std::vector<SimpleItem>& data) {
    for (const char* name : {"State", "LogicalState", "IsDataPresent", "IsMotion"}) {
        for (const SimpleItem& i : data) {
            if (i.name == name) return readBool(i.value);
        }
    }
    for (const SimpleItem& i : data) {
        if (const auto b = readBool(i.value)) return b;
    }
    return std::nullopt;
}

// An event needs its time (the result's, or its message's).
std::optional<RecordedEvent> eventOf(const pugi::xml_node& node) {
    RecordedEvent e;
    const pugi::xml_node event = child(node, "Event");
    pugi::xml_node message = child(event, "Message");
    if (pugi::xml_node inner = child(message, "Message")) message = inner;
    std::optional<int64_t> time = timeOf(child(node, "Time"));
    if (!time) {
        const std::optional<long long> utc = parseDateTimeMs(attribute(message, "UtcTime").value());
        if (utc) time = static_cast<int64_t>(*utc);
    }
    if (!time) return std::nullopt;
    e.timeMs = *time;
    e.recordingToken = textOf(child(node, "RecordingToken"));
    e.trackToken = textOf(child(node, "TrackToken"));
    e.topic = textOf(child(event, "Topic"));
    e.source = simpleItems(child(message, "Source"));
    e.data = simpleItems(child(message, "Data"));
    e.kind = kindOf(e.topic, e.data);
    e.state = stateOf(e.data);
    e.startState = readBool(textOf(child(node, "StartStateEvent"))).value_or(false);
    return e;
}

template <typename T, typename Read>
std::optional<SearchPage<T>> pageOf(const std::string& reply, const char* response, const char* item,
                                    std::size_t maxItems, Read read) {
    const Body body = bodyOf(reply);
    const pugi::xml_node list = childPath(body.node, {response, "ResultList"});
    if (!list) return std::nullopt;
    SearchPage<T> page;
    page.state = stateOf(list);
    for (const pugi::xml_node& n : list.children()) {
        if (n.type() != pugi::node_element || localName(n) != item) continue;
        std::optional<T> value = page.items.size() < maxItems ? read(n) : std::nullopt;
        if (value) {
            page.items.push_back(std::move(*value));
        } else {
            ++page.leftOut;
        }
    }
    return page;
}

} // namespace

std::optional<SearchCapabilities> readSearchCapabilities(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node caps = childPath(body.node, {"GetServiceCapabilitiesResponse", "Capabilities"});
    if (!caps) return std::nullopt;
    return SearchCapabilities{readBool(attribute(caps, "MetadataSearch").value()).value_or(false),
                              readBool(attribute(caps, "GeneralStartEvents").value()).value_or(false)};
}

std::optional<ReplayCapabilities> readReplayCapabilities(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node caps = childPath(body.node, {"GetServiceCapabilitiesResponse", "Capabilities"});
    if (!caps) return std::nullopt;
    ReplayCapabilities c;
    c.reversePlayback = readBool(attribute(caps, "ReversePlayback").value()).value_or(false);
    c.rtpRtspTcp = readBool(attribute(caps, "RTP_RTSP_TCP").value()).value_or(false);
    // "0 60": the least and the most seconds; anything else is not told.
    const std::string range = attribute(caps, "SessionTimeoutRange").value();
    char* end = nullptr;
    const double low = std::strtod(range.c_str(), &end);
    const char* rest = end;
    const double high = std::strtod(rest, &end);
    if (end != rest && *end == '\0' && low >= 0 && high >= low && high < 1e9) {
        c.sessionTimeoutMinSeconds = low;
        c.sessionTimeoutMaxSeconds = high;
    }
    return c;
}

std::optional<RecordingSummary> readRecordingSummary(const std::string& reply) {
    const Body body = bodyOf(reply);
    const pugi::xml_node summary = childPath(body.node, {"GetRecordingSummaryResponse", "Summary"});
    const std::optional<TimeSpan> data = spanOf(child(summary, "DataFrom"), child(summary, "DataUntil"));
    const std::string count = textOf(child(summary, "NumberRecordings"));
    int recordings = 0;
    const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), recordings);
    if (!data || error != std::errc() || end != count.data() + count.size() || recordings < 0) return std::nullopt;
    return RecordingSummary{*data, recordings};
}

std::optional<Recording> readRecordingInformation(const std::string& reply) {
    const Body body = bodyOf(reply);
    return recordingOf(childPath(body.node, {"GetRecordingInformationResponse", "RecordingInformation"}));
}

std::optional<std::string> readSearchToken(const std::string& reply) {
    const Body body = bodyOf(reply);
    for (const char* response : {"FindRecordingsResponse", "FindEventsResponse"}) {
        const std::string token = textOf(childPath(body.node, {response, "SearchToken"}));
        if (!token.empty()) return token;
    }
    return std::nullopt;
}

std::optional<SearchPage<Recording>> readRecordingSearchResults(const std::string& reply, std::size_t maxItems) {
    return pageOf<Recording>(reply, "GetRecordingSearchResultsResponse", "RecordingInformation", maxItems, recordingOf);
}

std::optional<SearchPage<RecordedEvent>> readEventSearchResults(const std::string& reply, std::size_t maxItems) {
    return pageOf<RecordedEvent>(reply, "GetEventSearchResultsResponse", "Result", maxItems, eventOf);
}

std::optional<std::string> readReplayUri(const std::string& reply) {
    const Body body = bodyOf(reply);
    const std::string uri = textOf(childPath(body.node, {"GetReplayUriResponse", "Uri"}));
    if (uri.empty()) return std::nullopt;
    return uri;
}

} // namespace onvif
