#include "talk/talk_encoding.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace talk {

namespace {

// What the AAC encoder takes (voaacenc).
constexpr int kAacRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000};
constexpr int kAacBitRate = 32000;
// G.711 goes out in 20 ms packets, as telephony sends it.
constexpr const char* kG711PacketTime = "max-ptime=20000000";

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

} // namespace

std::optional<Encoding> encodingOffered(const std::string& encodingName, int payloadType, int clockRate) {
    if (payloadType < 0 || payloadType > 127) return std::nullopt;
    const std::string name = upper(encodingName);
    Encoding e;
    e.payloadType = payloadType;
    e.clockRate = clockRate;
    if (name == "PCMU" || name == "PCMA") {
        if (clockRate < 8000 || clockRate > 48000) return std::nullopt;
        e.codec = name == "PCMU" ? Codec::Pcmu : Codec::Pcma;
        return e;
    }
    if (name == "MPEG4-GENERIC") {
        if (std::find(std::begin(kAacRates), std::end(kAacRates), clockRate) == std::end(kAacRates))
            return std::nullopt;
        e.codec = Codec::Aac;
        return e;
    }
    return std::nullopt;
}

std::string encoderDescription(const Encoding& encoding) {
    const std::string rate = std::to_string(encoding.clockRate);
    const std::string pt = std::to_string(encoding.payloadType);
    std::string coder;
    switch (encoding.codec) {
    case Codec::Pcmu: coder = "mulawenc ! rtppcmupay pt=" + pt + " " + kG711PacketTime; break;
    case Codec::Pcma: coder = "alawenc ! rtppcmapay pt=" + pt + " " + kG711PacketTime; break;
    case Codec::Aac: coder = "voaacenc bitrate=" + std::to_string(kAacBitRate) + " ! rtpmp4gpay pt=" + pt; break;
    }
    return "appsrc name=pcm is-live=true format=time "
           "caps=audio/x-raw,format=S16LE,layout=interleaved,rate=8000,channels=1 ! audioconvert ! audioresample ! "
           "audio/x-raw,format=S16LE,rate=" +
           rate + ",channels=1 ! " + coder + " ! appsink name=rtp sync=false";
}

std::string describe(const Encoding& encoding) {
    const char* name = "G.711 mu-law";
    if (encoding.codec == Codec::Pcma) name = "G.711 A-law";
    if (encoding.codec == Codec::Aac) name = "AAC";
    return std::string(name) + " at " + std::to_string(encoding.clockRate) + " Hz";
}

} // namespace talk
