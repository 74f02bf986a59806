// How a simulated ONVIF camera can misbehave, for tests of a client's
// bounded calls and of what it trusts in a camera's answers.
#pragma once

#include <cstddef>
#include <string>

namespace camsim {

enum class OnvifFault {
    None,
    // Reads each request, then never answers (the connection stays open).
    Stall,
    // Sends each answer one byte at a time, OnvifFaultSettings::trickleMs apart.
    Trickle,
    // Answers every request after authentication with a SOAP Fault.
    SoapFault,
    // The camera's clock runs OnvifFaultSettings::clockOffsetSeconds ahead;
    // username tokens must be created on that clock.
    SkewedClock,
    // Every address the camera hands out (service addresses, stream URIs,
    // subscription addresses, discovery XAddrs) names a 10.x host, as a
    // camera behind NAT does; the port and path stay right.
    ForeignXAddrs,
    // Every answer carries OnvifFaultSettings::hugeReplyBytes of padding.
    HugeReply,
    // PullMessages answers at once, whatever Timeout it was given.
    PullAtOnce,
    // Pull points end OnvifFaultSettings::pullPointSeconds after they were
    // made or renewed, whatever termination time was asked for.
    ExpiringPullPoints,
    // Every OnvifFaultSettings::rebootEverySeconds the camera restarts: it
    // forgets every subscription and refuses connections for rebootDownMs.
    Reboot,
    // Every PullMessages answer, at once, names floodTokens input tokens
    // never named before (floodTokenBytes long).
    TokenFlood,
    // Only two pull points at a time; a third subscription is refused with
    // SubscribeCreationFailedFault.
    TwoPullPoints,
    // The camera has no audio output: none is reported, and its streams
    // answer a request for the audio back channel with 551.
    NoBackChannel,
    // Audio outputs are reported, but the streams answer a request for the
    // back channel with 551 (Option not supported).
    BackChannelRefused,
    // Audio outputs are reported, but a request for the back channel is
    // never answered (the video of other connections plays on).
    BackChannelSilent,
    // Audio outputs are reported, but a request for the back channel is
    // redirected (302) to the same port of 127.0.0.2.
    BackChannelRedirect,
    // The SD card's faults (a camera without one ignores them). The replay
    // service is not offered; the recordings are still found.
    NoReplay,
    // Replay is offered, but a request requiring onvif-replay gets 551.
    ReplayRefused,
    // The card holds no pictures for gapSeconds from gapMinutesAgo before
    // the fault was set.
    RecordingGap,
    // The card stops recording recordingStopsAfterSeconds after the fault
    // was set (the newest recording ends while it is played).
    RecordingEnds,
    // manyRecordingsPerDay recordings and manyEventsPerDay events a day.
    ManyRecordings,
    // A search answers at most searchPageSize results a call.
    PagedSearch,
};

struct OnvifFaultSettings {
    int trickleMs = 50;
    int clockOffsetSeconds = 600;
    std::size_t hugeReplyBytes = 2u << 20;
    // The host foreign addresses name; never contacted by anything here.
    std::string foreignHost = "10.254.0.9";
    int pullPointSeconds = 60;
    int rebootEverySeconds = 30;
    int rebootDownMs = 3000;
    int floodTokens = 32;
    std::size_t floodTokenBytes = 256;
    int gapMinutesAgo = 10;
    int gapSeconds = 60;
    int recordingStopsAfterSeconds = 30;
    int manyRecordingsPerDay = 500;
    int manyEventsPerDay = 10000;
    int searchPageSize = 5;
};

// "none", "stall", "trickle", "soap-fault", "skewed-clock", "foreign-xaddrs",
// "huge-reply", "pull-at-once", "expiring-pull-points", "reboot",
// "token-flood", "two-pull-points", "no-back-channel", "back-channel-551",
// "back-channel-silent", "back-channel-redirect", "no-replay", "replay-551",
// "recording-gap", "recording-ends", "many-recordings", "paged-search";
// false for anything else.
bool parseOnvifFault(const std::string& text, OnvifFault& fault);
const char* onvifFaultName(OnvifFault fault);

} // namespace camsim
