#include "message_io.h"

#include "transport/protocol_message.h"

namespace camsim {

namespace {

constexpr int kReadSliceMs = 50;

} // namespace

bool receiveExactly(Connection& connection, uint8_t* out, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        // Bytes first, then the stop-reading switch: a switch thrown while
        // this reader waits still holds back what arrives after it.
        if (connection.isShutDown()) return false;
        if (!connection.socket().waitReadable(kReadSliceMs)) continue;
        if (!connection.waitUntilReading()) return false;
        platform::RecvResult r = connection.socket().receiveAll(out + got, length - got);
        got += r.bytes;
        if (r.status == platform::RecvStatus::Ok) continue;
        if (r.status != platform::RecvStatus::TimedOut) return false;
    }
    return true;
}

ReadResult readMessage(Connection& connection, std::size_t maxPayload, uint32_t& type, std::vector<uint8_t>& payload) {
    uint8_t header[transport::kMessageHeaderSize];
    if (!receiveExactly(connection, header, sizeof header)) return ReadResult::Closed;
    transport::MessageHeader parsed;
    if (!transport::parseMessageHeader(header, parsed)) return ReadResult::BadMagic;
    if (parsed.payloadLength > maxPayload) return ReadResult::TooLong;
    type = parsed.type;
    payload.assign(parsed.payloadLength, 0);
    if (parsed.payloadLength > 0 && !receiveExactly(connection, payload.data(), payload.size())) {
        return ReadResult::Closed;
    }
    return ReadResult::Ok;
}

std::vector<uint8_t> buildMessage(uint32_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out(transport::kMessageHeaderSize + payload.size());
    std::memcpy(out.data(), transport::kMessageMagic, 4);
    transport::putUint32Le(out.data() + 4, type);
    transport::putUint32Le(out.data() + 8, static_cast<uint32_t>(payload.size()));
    if (!payload.empty()) std::memcpy(out.data() + transport::kMessageHeaderSize, payload.data(), payload.size());
    return out;
}

bool sendMessage(Connection& connection, uint32_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> bytes = buildMessage(type, payload);
    return connection.send(bytes.data(), bytes.size());
}

} // namespace camsim
