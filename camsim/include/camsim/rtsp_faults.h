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
};

struct RtspFaultSettings {
    int trickleMs = 50;
    std::size_t oversizedBytes = 9u << 20; // above any sane picture
};

// "silent", "trickle", "stall", "401", "garbage", "oversized", "close-mid-frame",
// "no-parameter-sets", "unsupported-codec", "basic-only", "basic-after-digest"
// (and "none"); false for anything else.
bool parseRtspFault(const std::string& text, RtspFault& fault);
const char* rtspFaultName(RtspFault fault);

} // namespace camsim
