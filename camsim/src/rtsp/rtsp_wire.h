// Just enough of RTSP's wire form for the fault relay (test tooling that sits
// in front of the real server): where one message or interleaved packet
// ends, a header's value, and the packets of a made-up access unit.
#pragma once

#include "camsim/rtsp_camera.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace camsim::rtsp {

// Cuts a byte stream into whole units: "$" + channel + 16-bit length +
// packet, or an RTSP message (headers, then Content-Length bytes of body).
class WireSplitter {
public:
    void feed(const uint8_t* data, std::size_t length) { buffer_.append(reinterpret_cast<const char*>(data), length); }
    // The next whole unit; false until one is complete.
    bool next(std::string& unit);

private:
    std::string buffer_;
};

bool isInterleaved(const std::string& unit);
int interleavedChannel(const std::string& unit);
// RTP fields of an interleaved packet (false when too short).
struct RtpHeader {
    bool marker = false;
    uint8_t payloadType = 0;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
};
bool parseRtp(const std::string& unit, RtpHeader& header);
// Adds `offset` to the sequence number of an interleaved RTP packet.
void shiftSequence(std::string& unit, uint16_t offset);
// Adds `ticks` (modulo 2^32) to the timestamp of an interleaved RTP packet.
void shiftTimestamp(std::string& unit, int64_t ticks);
// Moves the wall-clock time of an interleaved RTCP sender report by
// `seconds` and its RTP timestamp by `ticks`; other packets stay.
void shiftSenderReport(std::string& unit, int64_t seconds, int64_t ticks);

// The value of a header of an RTSP message (name case-insensitive).
std::optional<std::string> headerValue(const std::string& message, const std::string& name);
// "PLAY", "SETUP", ... for a request; empty for a response or a packet.
std::string requestMethod(const std::string& message);
// The request's URL.
std::string requestUrl(const std::string& message);
// The request with its URL replaced.
std::string withRequestUrl(const std::string& message, const std::string& url);
// The status code of a response (401); 0 for anything else.
int statusCode(const std::string& message);
// The message with a header's value replaced (name case-insensitive); as
// it was when it has no such header.
std::string withHeaderValue(const std::string& message, const std::string& name, const std::string& value);
// The first channel of "interleaved=a-b" in a Transport header.
std::optional<int> interleavedFromTransport(const std::string& transport);

// A response whose session description loses its parameter sets
// (sprop-parameter-sets, sprop-vps/-sps/-pps); Content-Length follows.
std::string withoutParameterSets(const std::string& response);
// A response whose session description names the video's encoding
// `encoding` ("VP8") in its rtpmap; Content-Length follows.
std::string withVideoEncodingNamed(const std::string& response, const std::string& encoding);

// Interleaved packets carrying one access unit of `bytes` filler bytes on
// `channel`, numbered from `first` (the RTP fields of the stream it joins),
// split as the codec's payload format splits a large picture.
std::vector<std::string> oversizedAccessUnit(RtspCodec codec, int channel, const RtpHeader& first, std::size_t bytes);

// A challenge answer: 401 with a digest challenge whose nonce is `nonce`,
// or with a Basic challenge alone.
std::string unauthorizedResponse(const std::string& cseq, unsigned nonce, bool basic = false);
// A response without a body: "454 Session Not Found" and the like.
std::string bareResponse(const std::string& cseq, const std::string& status);

} // namespace camsim::rtsp
