#include "message_channel.h"

#include "transport/protocol_message.h"

namespace fenwa10 {

bool sendMessage(ChannelSocket& socket, platform::Deadline deadline, uint32_t type, const void* payload,
                 std::size_t length) {
    uint8_t buffer[transport::kMaxMessageSize];
    if (length > 0 && payload == nullptr) return false;
    const std::size_t size = transport::buildMessage(buffer, type, payload, length);
    if (size == 0) return false;
    return socket.sendAll(buffer, size, deadline);
}

} // namespace fenwa10
