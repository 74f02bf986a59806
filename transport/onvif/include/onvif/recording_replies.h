// What the client reads out of the search and replay services' replies.
// Each reader takes the reply text and gives the values, or nothing when
// the reply does not hold them; a result without what it must have (a
// token, a readable time) is left out and counted, never guessed.
#pragma once

#include "onvif/recordings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace onvif {

enum class SearchState { Queued, Searching, Completed, Unknown };

template <typename T>
struct SearchPage {
    SearchState state = SearchState::Unknown;
    std::vector<T> items;
    std::size_t leftOut = 0;
};

std::optional<SearchCapabilities> readSearchCapabilities(const std::string& reply);
std::optional<ReplayCapabilities> readReplayCapabilities(const std::string& reply);
std::optional<RecordingSummary> readRecordingSummary(const std::string& reply);
std::optional<Recording> readRecordingInformation(const std::string& reply);
// The token of a FindRecordings or FindEvents reply.
std::optional<std::string> readSearchToken(const std::string& reply);
// A page of results; at most maxItems are read, the rest left out.
std::optional<SearchPage<Recording>> readRecordingSearchResults(const std::string& reply, std::size_t maxItems);
std::optional<SearchPage<RecordedEvent>> readEventSearchResults(const std::string& reply, std::size_t maxItems);
std::optional<std::string> readReplayUri(const std::string& reply);

} // namespace onvif
