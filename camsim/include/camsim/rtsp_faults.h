// How a simulated RTSP camera can misbehave, for tests of a client's bounded
// calls. Each fault is done by a small relay in front of the real server
// (or, for those that never reach the server, by the relay alone).
#pragma once

#include <cstddef>
#include <string>

namespace camsim {

enum class RtspFault {
    None,
    // Accepts the connection, then never sends a byte.
    SilentAfterConnect,
    // Relays the server's bytes one at a time, RtspFaultSettings::trickleMs apart.
    Trickle,
    // Relays up to and including the answer to PLAY, then sends nothing more
    // (the connection stays open).
    StallAfterPlay,
    // Answers every request with 401 and a fresh digest challenge, whatever
    // credentials come.
    Unauthorized,
    // Answers the first request with bytes that are not RTSP.
    Garbage,
    // After PLAY, sends one video access unit of oversizedBytes (split into
    // packets as the codec's payload format does) between the real ones.
    OversizedFrame,
    // After PLAY, closes the connection in the middle of a video packet.
    CloseMidFrame,
    // Removes the parameter sets from the session description (the stream
    // still carries them in-band).
    NoParameterSets,
    // Names the video VP8 in the session description (the packets stay as
    // they are): a camera whose video the client does not decode.
    UnsupportedCodec,
    // Asks for Basic authentication instead of digest (and serves a client
    // that answers it).
    BasicOnly,
    // Digest as usual until the first request it took; the next request is
    // answered with a Basic challenge alone.
    BasicAfterDigest,
    // Closes the connection right after each 401 answer.
    CloseAfterUnauthorized,
    // Digest for the picture, but every request for the audio back channel
    // is answered with a Basic challenge alone, whatever credentials come
    // (a gate in front of the camera that would take the password in clear).
    BasicOnBackChannel,
    // Names sessionTimeoutSeconds as the session's timeout and drops a
    // client from whom no request came for that long after PLAY.
    SessionTimeout,
    // SessionTimeout, and GET_PARAMETER is answered 454 (and keeps nothing
    // alive); only OPTIONS does, and the OPTIONS answer does not offer
    // GET_PARAMETER.
    GetParameterRefused,
    // The same, but the OPTIONS answer offers GET_PARAMETER all the same.
    GetParameterOfferedRefused,
    // The session description comes with a Content-Base of
    // "rtsp://rtsp://HOST..." (the camera takes requests to it as usual).
    ContentBaseDoubleScheme,
    // ... or of "HOST:PORT/PATH/", without a scheme.
    ContentBaseWithoutScheme,
    // From the timestampJumpPacket-th video packet after PLAY on, the video's
    // RTP timestamps are three hours further on.
    TimestampJump,
    // From the timestampJumpPacket-th video packet after PLAY on, the
    // camera's clock is an hour back: video RTP timestamps and the sender
    // reports' wall-clock times.
    ClockStepBack,
    // Serves one client at a time, as many older video servers do: a
    // connection made while another is served is taken and never answered
    // (starved) until it goes.
    OneClientAtATime,
};

struct RtspFaultSettings {
    int trickleMs = 50;
    std::size_t oversizedBytes = 9u << 20; // above any sane picture
    int sessionTimeoutSeconds = 20;
    int timestampJumpPacket = 25;
};

// "silent", "trickle", "stall", "401", "garbage", "oversized", "close-mid-frame",
// "no-parameter-sets", "unsupported-codec", "basic-only", "basic-after-digest",
// "close-after-401", "basic-on-back-channel", "session-timeout", "get-parameter-454", "get-parameter-454-offered",
// "content-base-double-scheme", "content-base-without-scheme",
// "timestamp-jump", "clock-step-back", "one-client" (and "none"); false for anything else.
bool parseRtspFault(const std::string& text, RtspFault& fault);
const char* rtspFaultName(RtspFault fault);

} // namespace camsim
