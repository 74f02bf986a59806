// How talk-back goes to a camera: the encoding its back channel offers in
// the session description, and the GStreamer elements that make that
// encoding's RTP packets from 16-bit mono PCM at 8,000 samples/s.
#pragma once

#include <optional>
#include <string>

namespace talk {

enum class Codec {
    Pcmu, // G.711 mu-law
    Pcma, // G.711 A-law
    Aac,  // AAC-LC in MPEG4-GENERIC packets (RFC 3640, AAC-hbr)
};

struct Encoding {
    Codec codec = Codec::Pcmu;
    int payloadType = 0;
    int clockRate = 8000; // the sample rate sent
};

// The encoding of an offered stream, from its rtpmap (encoding name, any
// case), payload type and clock rate; nothing for one we cannot send.
std::optional<Encoding> encodingOffered(const std::string& encodingName, int payloadType, int clockRate);

// A gst-launch description from an appsrc named "pcm" (16-bit mono at
// 8,000 samples/s) to an appsink named "rtp" that hands out the packets.
std::string encoderDescription(const Encoding& encoding);

// For people: "G.711 mu-law at 8000 Hz".
std::string describe(const Encoding& encoding);

} // namespace talk
