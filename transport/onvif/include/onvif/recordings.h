// A camera's own recordings (an SD card's, as ONVIF's search and replay
// services offer them): what it holds, the events recorded with it, and
// where a recording plays. Plain values a replay engine or a viewer copies
// around, and one class that asks the camera.
//
// Times are milliseconds since 1970, UTC, on the CAMERA's clock, as the
// camera gives them and as "Range: clock=" and the replay header extension
// use them. The camera's clock may be off ours: Device::clockOffsetSeconds()
// (camera minus ours, measured by connect()) converts, see CameraClock.
//
// Use (on a worker thread; every call is bounded and may be cancelled):
//   onvif::Device device(transport, settings);
//   device.connect();
//   onvif::Recordings recordings(device);
//   if (!recordings.replayOffered()) ... recordings.lastError() tells why
//   onvif::Found<onvif::Recording> all = recordings.findRecordings();
//   onvif::EventQuery q{{fromMs, toMs}};
//   onvif::Found<onvif::RecordedEvent> events = recordings.findEvents(q);
//   std::optional<std::string> uri = recordings.replayUri(all.items[0].token);
//   // then RTSP with "Require: onvif-replay" and "Range: clock=...Z-"
#pragma once

#include "onvif/device.h"
#include "onvif/replies.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace onvif {

// [fromMs, toMs] on the camera's clock.
struct TimeSpan {
    int64_t fromMs = 0;
    int64_t toMs = 0;
    bool operator==(const TimeSpan&) const = default;
};

// Between our clock and the camera's: offsetMs is the camera's minus ours.
struct CameraClock {
    int64_t offsetMs = 0;
    static CameraClock of(const Device& device) { return {device.clockOffsetSeconds() * 1000}; }
    int64_t toCamera(int64_t ourMs) const { return ourMs + offsetMs; }
    int64_t toOurs(int64_t cameraMs) const { return cameraMs - offsetMs; }
};

struct SearchCapabilities {
    bool metadataSearch = false;
    bool generalStartEvents = false;
};

struct ReplayCapabilities {
    bool reversePlayback = false;
    bool rtpRtspTcp = false; // RTP over the RTSP connection
    // Seconds a replay session lives without a keep-alive; 0 when not told.
    double sessionTimeoutMinSeconds = 0;
    double sessionTimeoutMaxSeconds = 0;
};

struct RecordingSummary {
    TimeSpan data; // the oldest recorded data to the newest
    int recordings = 0;
};

enum class TrackType { Video, Audio, Metadata, Other };

struct Track {
    std::string token;
    TrackType type = TrackType::Other;
    std::string description;
    TimeSpan data;
};

struct Recording {
    std::string token;
    std::string sourceName; // what the camera calls the recorded source
    TimeSpan span;          // the earliest to the latest recorded data
    std::vector<Track> tracks;
    std::string status; // "Recording" (still growing), "Stopped", ... as the camera says
    bool growing() const { return status == "Recording"; }
};

enum class RecordedEventKind {
    Motion,       // a motion alarm turned on or off
    Input,        // a digital input turned on or off
    DataPresence, // recorded data stops (a gap begins) or starts again
    Other,
};

struct RecordedEvent {
    int64_t timeMs = 0;
    std::string recordingToken;
    std::string trackToken;
    std::string topic; // "tns1:VideoSource/MotionAlarm", as the camera wrote it
    RecordedEventKind kind = RecordedEventKind::Other;
    // The event's true/false value (State, LogicalState, IsDataPresent...);
    // nothing when it carries none.
    std::optional<bool> state;
    std::vector<SimpleItem> source;
    std::vector<SimpleItem> data;
    bool startState = false; // the state at the search's start, not a change
};

// What a search found. Not complete when a call failed, a bound was
// reached or it was cancelled: the items found until then are kept.
template <typename T>
struct Found {
    std::vector<T> items;
    bool complete = false;   // the camera said the search is completed
    std::size_t leftOut = 0; // results the camera sent but not kept: unreadable (no token, no time) or past the bound
    std::string error;       // why it is not complete; empty when it is
};

// How far a search goes before it stops on its own.
struct SearchBounds {
    std::size_t maxResults = 50000;
    int maxPages = 1000;
    int pageSize = 100;         // results asked for per page (the camera may send fewer)
    int totalTimeoutMs = 30000; // the whole search, every page and call together
    int keepAliveSeconds = 10;  // how long the camera keeps the search between pages
};

struct EventQuery {
    TimeSpan span;                       // toMs before fromMs: newest first
    std::vector<std::string> recordings; // only these; empty: all
    std::vector<std::string> topics;     // only these ("tns1:VideoSource/MotionAlarm"); empty: all
    bool includeStartState = false;      // also the states at fromMs
};

// Asks one camera; use from one thread at a time (the device may be shared).
class Recordings {
public:
    explicit Recordings(Device& device);

    // Whether the camera names the services (after Device::connect(); asks
    // GetServices once when its capabilities did not name them).
    bool searchOffered();
    bool replayOffered();

    std::optional<SearchCapabilities> searchCapabilities();
    std::optional<ReplayCapabilities> replayCapabilities();
    std::optional<RecordingSummary> summary();
    std::optional<Recording> recording(const std::string& token);
    // FindRecordings, then its pages until the camera says completed or a
    // bound is reached; the search is ended on the camera unless completed.
    Found<Recording> findRecordings(const SearchBounds& bounds = {}, const CallCancel* cancel = nullptr);
    // FindEvents over the query's span, paged the same way.
    Found<RecordedEvent> findEvents(const EventQuery& query, const SearchBounds& bounds = {},
                                    const CallCancel* cancel = nullptr);
    // The RTSP address a recording plays at, with the configured host.
    std::optional<std::string> replayUri(const std::string& recordingToken);

    // Why the last call that failed failed (never holds the password).
    std::string lastError() const;

private:
    template <typename T, typename Read>
    Found<T> search(const char* find, const Device::Fill& fill, const char* results, Read read,
                    const SearchBounds& bounds, const CallCancel* cancel);
    std::string address(bool replay);
    std::optional<std::string> call(bool replay, const char* operation, const Device::Fill& fill);
    void fail(const std::string& why);

    Device& device_;
    bool servicesAsked_ = false;
    std::string search_;
    std::string replay_;
    std::string error_;
};

} // namespace onvif
