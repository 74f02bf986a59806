// The search service over the camera's SD card: the summary, one
// recording's information, and searches for recordings and for events that
// a client reads page by page (FindRecordings / GetRecordingSearchResults,
// FindEvents / GetEventSearchResults) until the search state says
// Completed, or ends (EndSearch). A search holds its results from the
// moment it was asked; one not read for its keep-alive time is forgotten.
// A page holds at most the card's limit, whatever the client asks.
#pragma once

#include "service_context.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace camsim::onvif {

class SearchService {
public:
    void answer(const SoapRequest& request, const ServiceContext& context, SoapReply& reply);

    // Searches alive (not ended, not expired).
    std::size_t liveSearches() const;

    static constexpr std::size_t kMaxSearches = 16;

private:
    struct Found {
        CardEvent event;
        bool startState = false;
    };
    struct Search {
        bool events = false;
        std::vector<CardRecording> recordings;
        std::vector<Found> found;
        std::size_t next = 0;
        int64_t keepAliveMs = 0;
        int64_t touchedMs = 0;
        int64_t endPointMs = 0; // where the search ends, for EndSearch
    };

    std::string open(Search search, const ServiceContext& c);
    Search& find(const std::string& token); // under the lock; a SOAP Fault when none
    void expireLocked(int64_t nowMs);
    void findRecordings(const SoapRequest& request, const ServiceContext& c, SoapReply& reply);
    void findEvents(const SoapRequest& request, const ServiceContext& c, SoapReply& reply);
    void results(const SoapRequest& request, const ServiceContext& c, SoapReply& reply, bool events);
    void endSearch(const SoapRequest& request, SoapReply& reply);

    mutable std::mutex mutex_;
    std::map<std::string, Search> searches_;
    int counter_ = 0;
};

} // namespace camsim::onvif
