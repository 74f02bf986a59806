// A replay client for the simulator's tests that shows the wire as it is:
// GStreamer's RTSP connection sends exactly the requests a test writes
// (Require, Range: clock=, Scale, Frames, Rate-Control) over one TCP
// connection with digest authentication, and hands back every answer and
// every interleaved RTP packet, whose 0xABAC header extension GStreamer's
// RTP buffer reads. Pictures are depayloaded by GStreamer and decoded by
// libavcodec, so a test reads the time strip of what it was sent.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace camsim::test {

struct RtspAnswer {
    int status = 0;                             // 0: no answer in time
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    std::string header(const std::string& lowerName) const;
};

// The ONVIF replay header extension of one packet.
struct ReplayStamp {
    uint64_t ntp = 0; // seconds since 1900 in the upper 32 bits, fraction below
    bool clean = false, end = false, discontinuity = false, terminal = false; // C, E, D, T
    uint8_t cseq = 0;
    int64_t unixMs() const; // the time in milliseconds since 1970, rounded
};

struct ReplayPacket {
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    bool marker = false;
    std::optional<ReplayStamp> stamp;
    std::vector<uint8_t> bytes; // the whole RTP packet
};

class ReplayTestClient {
public:
    ReplayTestClient(std::string url, std::string user, std::string password);
    ~ReplayTestClient();
    ReplayTestClient(const ReplayTestClient&) = delete;
    ReplayTestClient& operator=(const ReplayTestClient&) = delete;

    // One request on the connection (opened on first use), answered within
    // timeoutMs; a 401 is answered once more with digest credentials.
    // `extra` are further headers ("Require: onvif-replay").
    RtspAnswer request(const std::string& method, const std::string& url, const std::vector<std::string>& extra = {},
                       int timeoutMs = 5000);

    // DESCRIBE, then SETUP of the first stream over TCP; true when both
    // answered 200. The session is kept for play(), which goes to the
    // session's Content-Base, as clients' aggregate requests do.
    bool describeAndSetup(const std::vector<std::string>& setupExtra = {"Require: onvif-replay"});
    RtspAnswer play(const std::vector<std::string>& extra);
    RtspAnswer lastSetup() const { return setup_; }

    // The next RTP packet of the video (channel 0); nothing after timeoutMs.
    std::optional<ReplayPacket> nextPacket(int timeoutMs);
    // Packets up to and including the next one with the marker bit (one
    // picture); empty after timeoutMs.
    std::vector<ReplayPacket> nextPicture(int timeoutMs);
    // Decodes a picture's packets (in order, from a key picture on) and
    // reads its time strip; nothing when it does not decode.
    std::optional<int64_t> decodedTime(const std::vector<ReplayPacket>& picture);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    std::string session_;
    std::string base_;
    RtspAnswer setup_;
};

} // namespace camsim::test
