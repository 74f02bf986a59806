#include "rtsp_wire.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace camsim::rtsp {

namespace {

constexpr std::size_t kInterleavedHeader = 4;
constexpr std::size_t kRtpHeader = 12;
// A header block this long without its end is not RTSP: pass it on as it is.
constexpr std::size_t kMaxHeaderBlock = 64 * 1024;
constexpr std::size_t kPacketPayload = 1400;
constexpr uint32_t kPictureTicks = 3600; // 90 kHz clock, 25 pictures/s

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

uint32_t getUint32(const std::string& unit, std::size_t at) {
    const auto* p = reinterpret_cast<const uint8_t*>(unit.data()) + at;
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

void putUint32(std::string& unit, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) unit[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

void putRtp(std::string& out, const RtpHeader& h, bool marker) {
    out.push_back(static_cast<char>(0x80));
    out.push_back(static_cast<char>((marker ? 0x80 : 0) | (h.payloadType & 0x7F)));
    out.push_back(static_cast<char>(h.sequence >> 8));
    out.push_back(static_cast<char>(h.sequence & 0xFF));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((h.timestamp >> shift) & 0xFF));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((h.ssrc >> shift) & 0xFF));
}

// The payload-format bytes in front of fragment `offset` of `total`.
std::string fragmentHeader(RtspCodec codec, std::size_t offset, std::size_t total, std::size_t length) {
    const bool start = offset == 0, end = offset + length >= total;
    std::string h;
    switch (codec) {
    case RtspCodec::H264: // FU-A of an IDR slice
        h.push_back(static_cast<char>(0x60 | 28));
        h.push_back(static_cast<char>((start ? 0x80 : 0) | (end ? 0x40 : 0) | 5));
        break;
    case RtspCodec::H265: // fragmentation unit of an IDR picture
        h.push_back(static_cast<char>(49 << 1));
        h.push_back(1);
        h.push_back(static_cast<char>((start ? 0x80 : 0) | (end ? 0x40 : 0) | 19));
        break;
    case RtspCodec::Mjpeg: // main JPEG header: offset, type 1, Q 75, 640 x 480
        h.push_back(0);
        h.push_back(static_cast<char>((offset >> 16) & 0xFF));
        h.push_back(static_cast<char>((offset >> 8) & 0xFF));
        h.push_back(static_cast<char>(offset & 0xFF));
        h.push_back(1);
        h.push_back(75);
        h.push_back(static_cast<char>(640 / 8));
        h.push_back(static_cast<char>(480 / 8));
        break;
    }
    return h;
}

// The response with its body changed by `change`, Content-Length following.
template <typename Change>
std::string withDescriptionChanged(const std::string& response, Change change) {
    const std::size_t headerEnd = response.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return response;
    std::string headers = response.substr(0, headerEnd + 4);
    std::string body = response.substr(headerEnd + 4);
    change(body);
    const std::size_t length = headers.find("Content-Length:");
    if (length != std::string::npos) {
        const std::size_t lineEnd = headers.find("\r\n", length);
        headers.replace(length, lineEnd - length, "Content-Length: " + std::to_string(body.size()));
    }
    return headers + body;
}

} // namespace

bool WireSplitter::next(std::string& unit) {
    if (buffer_.empty()) return false;
    std::size_t length = 0;
    if (buffer_[0] == '$') {
        if (buffer_.size() < kInterleavedHeader) return false;
        length = kInterleavedHeader +
                 (static_cast<std::size_t>(static_cast<uint8_t>(buffer_[2])) << 8 | static_cast<uint8_t>(buffer_[3]));
    } else {
        const std::size_t end = buffer_.find("\r\n\r\n");
        if (end == std::string::npos) {
            if (buffer_.size() < kMaxHeaderBlock) return false;
            length = buffer_.size();
        } else {
            length = end + 4;
            const auto body = headerValue(buffer_.substr(0, length), "Content-Length");
            if (body) length += static_cast<std::size_t>(std::strtoul(body->c_str(), nullptr, 10));
        }
    }
    if (buffer_.size() < length) return false;
    unit = buffer_.substr(0, length);
    buffer_.erase(0, length);
    return true;
}

bool isInterleaved(const std::string& unit) { return unit.size() >= kInterleavedHeader && unit[0] == '$'; }

int interleavedChannel(const std::string& unit) { return isInterleaved(unit) ? static_cast<uint8_t>(unit[1]) : -1; }

bool parseRtp(const std::string& unit, RtpHeader& h) {
    if (!isInterleaved(unit) || unit.size() < kInterleavedHeader + kRtpHeader) return false;
    const auto* p = reinterpret_cast<const uint8_t*>(unit.data()) + kInterleavedHeader;
    h.marker = (p[1] & 0x80) != 0;
    h.payloadType = p[1] & 0x7F;
    h.sequence = static_cast<uint16_t>(p[2] << 8 | p[3]);
    h.timestamp =
        static_cast<uint32_t>(p[4]) << 24 | static_cast<uint32_t>(p[5]) << 16 | static_cast<uint32_t>(p[6]) << 8 | p[7];
    h.ssrc = static_cast<uint32_t>(p[8]) << 24 | static_cast<uint32_t>(p[9]) << 16 | static_cast<uint32_t>(p[10]) << 8 |
             p[11];
    return true;
}

void shiftSequence(std::string& unit, uint16_t offset) {
    RtpHeader h;
    if (!parseRtp(unit, h)) return;
    const auto sequence = static_cast<uint16_t>(h.sequence + offset);
    unit[kInterleavedHeader + 2] = static_cast<char>(sequence >> 8);
    unit[kInterleavedHeader + 3] = static_cast<char>(sequence & 0xFF);
}

void shiftTimestamp(std::string& unit, int64_t ticks) {
    RtpHeader h;
    if (!parseRtp(unit, h)) return;
    putUint32(unit, kInterleavedHeader + 4, static_cast<uint32_t>(h.timestamp + static_cast<uint64_t>(ticks)));
}

void shiftSenderReport(std::string& unit, int64_t seconds, int64_t ticks) {
    constexpr std::size_t kSenderReport = kInterleavedHeader + 20;
    if (!isInterleaved(unit) || unit.size() < kSenderReport ||
        static_cast<uint8_t>(unit[kInterleavedHeader + 1]) != 200)
        return;
    putUint32(unit, kInterleavedHeader + 8,
              static_cast<uint32_t>(getUint32(unit, kInterleavedHeader + 8) + static_cast<uint64_t>(seconds)));
    putUint32(unit, kInterleavedHeader + 16,
              static_cast<uint32_t>(getUint32(unit, kInterleavedHeader + 16) + static_cast<uint64_t>(ticks)));
}

std::optional<std::string> headerValue(const std::string& message, const std::string& name) {
    const std::size_t end = message.find("\r\n\r\n");
    std::istringstream lines(message.substr(0, end));
    const std::string wanted = lower(name) + ":";
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lower(line.substr(0, wanted.size())) != wanted) continue;
        std::string value = line.substr(wanted.size());
        value.erase(0, value.find_first_not_of(' '));
        return value;
    }
    return std::nullopt;
}

std::string requestMethod(const std::string& message) {
    if (isInterleaved(message) || message.rfind("RTSP/", 0) == 0) return {};
    return message.substr(0, message.find(' '));
}

std::string requestUrl(const std::string& message) {
    const std::size_t start = message.find(' ');
    if (start == std::string::npos) return {};
    return message.substr(start + 1, message.find(' ', start + 1) - start - 1);
}

std::string withRequestUrl(const std::string& message, const std::string& url) {
    const std::size_t start = message.find(' ');
    if (start == std::string::npos) return message;
    const std::size_t end = message.find(' ', start + 1);
    if (end == std::string::npos) return message;
    return message.substr(0, start + 1) + url + message.substr(end);
}

int statusCode(const std::string& message) {
    if (message.rfind("RTSP/", 0) != 0) return 0;
    const std::size_t space = message.find(' ');
    return space == std::string::npos ? 0 : std::atoi(message.c_str() + space + 1);
}

std::string withHeaderValue(const std::string& message, const std::string& name, const std::string& value) {
    const std::size_t end = message.find("\r\n\r\n");
    const std::string wanted = "\r\n" + lower(name) + ":";
    const std::size_t at = lower(message.substr(0, end)).find(wanted);
    if (at == std::string::npos) return message;
    const std::size_t valueStart = at + wanted.size();
    const std::size_t lineEnd = message.find("\r\n", valueStart);
    return message.substr(0, valueStart) + " " + value + message.substr(lineEnd);
}

std::optional<int> interleavedFromTransport(const std::string& transport) {
    const std::size_t at = transport.find("interleaved=");
    if (at == std::string::npos) return std::nullopt;
    return std::atoi(transport.c_str() + at + 12);
}

std::string withoutParameterSets(const std::string& response) {
    return withDescriptionChanged(response, [](std::string& body) {
        for (const char* name : {"sprop-parameter-sets=", "sprop-vps=", "sprop-sps=", "sprop-pps="}) {
            for (std::size_t at; (at = body.find(name)) != std::string::npos;) {
                std::size_t end = body.find_first_of(";\r\n", at);
                if (end != std::string::npos && body[end] == ';') ++end;
                body.erase(at, end - at);
            }
        }
    });
}

std::string withVideoEncodingNamed(const std::string& response, const std::string& encoding) {
    return withDescriptionChanged(response, [&](std::string& body) {
        const std::size_t video = body.find("m=video");
        if (video == std::string::npos) return;
        const std::size_t map = body.find("a=rtpmap:", video);
        if (map == std::string::npos) return;
        const std::size_t name = body.find(' ', map);
        const std::size_t slash = body.find('/', map);
        if (name == std::string::npos || slash == std::string::npos || slash < name) return;
        body.replace(name + 1, slash - name - 1, encoding);
    });
}

std::vector<std::string> oversizedAccessUnit(RtspCodec codec, int channel, const RtpHeader& first, std::size_t bytes) {
    std::vector<std::string> packets;
    RtpHeader h = first;
    h.timestamp = first.timestamp + kPictureTicks;
    for (std::size_t offset = 0; offset < bytes; offset += kPacketPayload) {
        const std::size_t length = std::min(kPacketPayload, bytes - offset);
        std::string rtp;
        putRtp(rtp, h, offset + length >= bytes);
        rtp += fragmentHeader(codec, offset, bytes, length);
        rtp.append(length, static_cast<char>(0x55));
        std::string packet = {'$', static_cast<char>(channel), static_cast<char>(rtp.size() >> 8),
                              static_cast<char>(rtp.size() & 0xFF)};
        packets.push_back(packet + rtp);
        ++h.sequence;
    }
    return packets;
}

std::string unauthorizedResponse(const std::string& cseq, unsigned nonce, bool basic) {
    char challenge[64];
    if (basic)
        std::snprintf(challenge, sizeof challenge, "Basic realm=\"camsim\"");
    else
        std::snprintf(challenge, sizeof challenge, "Digest realm=\"camsim\", nonce=\"%08x\"", nonce);
    return "RTSP/1.0 401 Unauthorized\r\nCSeq: " + cseq + "\r\nWWW-Authenticate: " + challenge +
           "\r\nContent-Length: 0\r\n\r\n";
}

std::string bareResponse(const std::string& cseq, const std::string& status) {
    return "RTSP/1.0 " + status + "\r\nCSeq: " + cseq + "\r\nContent-Length: 0\r\n\r\n";
}

} // namespace camsim::rtsp
