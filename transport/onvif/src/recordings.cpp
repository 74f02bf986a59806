#include "onvif/recordings.h"

#include "onvif/recording_replies.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
#include <ctime>

namespace onvif {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr const char* kTopicDialect = "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet";
constexpr const char* kTopicNamespace = "http://www.onvif.org/ver10/topics";
// Ending a search the camera did not complete is a courtesy: it waits this
// long at most, and for nobody's cancel.
constexpr int kEndSearchTimeoutMs = 1000;

int remainingMs(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

Recordings::Recordings(Device& device) : device_(device) {}

void Recordings::fail(const std::string& why) {
    error_ = why;
    device_.fail(why);
}

std::string Recordings::lastError() const { return error_; }

std::optional<std::string> Recordings::call(bool replay, const char* operation, const Device::Fill& fill) {
    const std::string url = address(replay);
    if (url.empty()) return std::nullopt;
    auto reply = device_.request(url, replay ? kReplayService : kSearchService, operation, fill);
    if (!reply) error_ = device_.lastError();
    return reply;
}

std::string Recordings::address(bool replay) {
    const ServiceAddresses known = device_.services();
    if (search_.empty()) search_ = known.search;
    if (replay_.empty()) replay_ = known.replay;
    if ((replay ? replay_ : search_).empty() && !servicesAsked_) {
        // Cameras need not name these services among their capabilities.
        servicesAsked_ = true;
        const auto reply = device_.request(known.device, kDeviceService, "GetServices",
                                           [](Request& r) { r.add(r.operation(), "IncludeCapability", "false"); });
        if (const std::optional<ServiceAddresses> found = reply ? readServices(*reply) : std::nullopt) {
            if (search_.empty()) search_ = device_.withConfiguredHost(found->search);
            if (replay_.empty()) replay_ = device_.withConfiguredHost(found->replay);
        }
    }
    const std::string& url = replay ? replay_ : search_;
    if (url.empty()) fail(replay ? "the camera offers no replay service" : "the camera offers no search service");
    return url;
}

bool Recordings::searchOffered() { return !address(false).empty(); }
bool Recordings::replayOffered() { return !address(true).empty(); }

std::optional<SearchCapabilities> Recordings::searchCapabilities() {
    const auto reply = call(false, "GetServiceCapabilities", {});
    if (!reply) return std::nullopt;
    auto caps = readSearchCapabilities(*reply);
    if (!caps) fail("GetServiceCapabilities: the search service's reply holds no capabilities");
    return caps;
}

std::optional<ReplayCapabilities> Recordings::replayCapabilities() {
    const auto reply = call(true, "GetServiceCapabilities", {});
    if (!reply) return std::nullopt;
    auto caps = readReplayCapabilities(*reply);
    if (!caps) fail("GetServiceCapabilities: the replay service's reply holds no capabilities");
    return caps;
}

std::optional<RecordingSummary> Recordings::summary() {
    const auto reply = call(false, "GetRecordingSummary", {});
    if (!reply) return std::nullopt;
    auto summary = readRecordingSummary(*reply);
    if (!summary) fail("GetRecordingSummary: the reply holds no readable summary");
    return summary;
}

std::optional<Recording> Recordings::recording(const std::string& token) {
    const auto reply =
        call(false, "GetRecordingInformation", [&](Request& r) { r.add(r.operation(), "RecordingToken", token); });
    if (!reply) return std::nullopt;
    auto recording = readRecordingInformation(*reply);
    if (!recording) fail("GetRecordingInformation: the reply holds no recording with a token and times");
    return recording;
}

std::optional<std::string> Recordings::replayUri(const std::string& token) {
    const auto reply = call(true, "GetReplayUri", [&](Request& r) {
        pugi::xml_node setup = r.add(r.operation(), "StreamSetup");
        r.add(setup, "Stream", "RTP-Unicast", true);
        r.add(r.add(setup, "Transport", {}, true), "Protocol", "RTSP", true);
        r.add(r.operation(), "RecordingToken", token);
    });
    if (!reply) return std::nullopt;
    const std::optional<std::string> uri = readReplayUri(*reply);
    const std::string local = uri ? device_.withConfiguredHost(*uri) : std::string();
    if (local.rfind("rtsp://", 0) != 0) {
        fail("GetReplayUri: the reply holds no RTSP address");
        return std::nullopt;
    }
    return local;
}

template <typename T, typename Read>
Found<T> Recordings::search(const char* find, const Device::Fill& fill, const char* results, Read read,
                            const SearchBounds& bounds, const CallCancel* cancel) {
    Found<T> found;
    const std::string url = address(false);
    if (url.empty()) {
        found.error = error_;
        return found;
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(1, bounds.totalTimeoutMs));
    const auto callTime = [&] { return std::max(1, std::min(device_.callTimeoutMs(), remainingMs(deadline))); };
    const auto started = device_.request(url, kSearchService, find, fill, callTime(), cancel);
    const std::optional<std::string> token = started ? readSearchToken(*started) : std::nullopt;
    if (!token) {
        found.error = started ? std::string(find) + ": the reply holds no search token" : device_.lastError();
        fail(found.error);
        return found;
    }
    const std::size_t pageSize = static_cast<std::size_t>(std::clamp(bounds.pageSize, 1, 1000));
    for (int pages = 0;; ++pages) {
        if (cancel != nullptr && cancel->aborted()) {
            found.error = std::string(find) + ": cancelled";
        } else if (pages >= bounds.maxPages) {
            found.error = std::string(find) + ": stopped after " + std::to_string(bounds.maxPages) + " pages";
        } else if (found.items.size() >= bounds.maxResults) {
            found.error = std::string(find) + ": stopped at " + std::to_string(bounds.maxResults) + " results";
        } else if (remainingMs(deadline) == 0) {
            found.error = std::string(find) + ": not completed within " + std::to_string(bounds.totalTimeoutMs) + " ms";
        }
        if (!found.error.empty()) break;
        const std::size_t wanted = std::min(pageSize, bounds.maxResults - found.items.size());
        const auto reply = device_.request(
            url, kSearchService, results,
            [&](Request& r) {
                r.add(r.operation(), "SearchToken", *token);
                r.add(r.operation(), "MinResults", "1");
                r.add(r.operation(), "MaxResults", std::to_string(wanted));
                r.add(r.operation(), "WaitTime", "PT1S");
            },
            callTime(), cancel);
        if (!reply) {
            found.error = device_.lastError();
            break;
        }
        auto page = read(*reply, bounds.maxResults - found.items.size());
        if (!page) {
            found.error = std::string(results) + ": the reply holds no result list";
            break;
        }
        found.leftOut += page->leftOut;
        std::move(page->items.begin(), page->items.end(), std::back_inserter(found.items));
        if (page->state == SearchState::Completed) {
            found.complete = true;
            return found;
        }
    }
    device_.request(
        url, kSearchService, "EndSearch", [&](Request& r) { r.add(r.operation(), "SearchToken", *token); },
        kEndSearchTimeoutMs);
    fail(found.error);
    return found;
}

Found<Recording> Recordings::findRecordings(const SearchBounds& bounds, const CallCancel* cancel) {
    const auto fill = [&](Request& r) {
        r.add(r.operation(), "Scope");
        r.add(r.operation(), "MaxMatches", std::to_string(bounds.maxResults));
        r.add(r.operation(), "KeepAliveTime", "PT" + std::to_string(std::max(1, bounds.keepAliveSeconds)) + "S");
    };
    return search<Recording>("FindRecordings", fill, "GetRecordingSearchResults", readRecordingSearchResults, bounds,
                             cancel);
}

Found<RecordedEvent> Recordings::findEvents(const EventQuery& query, const SearchBounds& bounds,
                                            const CallCancel* cancel) {
    const auto fill = [&](Request& r) {
        r.add(r.operation(), "StartPoint", formatDateTimeMs(query.span.fromMs));
        r.add(r.operation(), "EndPoint", formatDateTimeMs(query.span.toMs));
        pugi::xml_node scope = r.add(r.operation(), "Scope");
        for (const std::string& token : query.recordings) r.add(scope, "IncludedRecordings", token, true);
        if (!query.topics.empty()) {
            std::string topics;
            for (const std::string& t : query.topics) topics += (topics.empty() ? "" : "|") + t;
            pugi::xml_node expression = r.add(r.operation(), "SearchFilter").append_child("wsnt:TopicExpression");
            expression.append_attribute("xmlns:wsnt") = ns::kNotification;
            expression.append_attribute("xmlns:tns1") = kTopicNamespace;
            expression.append_attribute("Dialect") = kTopicDialect;
            expression.text().set(topics.c_str());
        }
        r.add(r.operation(), "IncludeStartState", query.includeStartState ? "true" : "false");
        r.add(r.operation(), "MaxMatches", std::to_string(bounds.maxResults));
        r.add(r.operation(), "KeepAliveTime", "PT" + std::to_string(std::max(1, bounds.keepAliveSeconds)) + "S");
    };
    return search<RecordedEvent>("FindEvents", fill, "GetEventSearchResults", readEventSearchResults, bounds, cancel);
}

} // namespace onvif
