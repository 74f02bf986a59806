// Sending and receiving "Vexo" messages over a channel socket.
#pragma once

#include "channel_socket.h"

#include <cstdint>

namespace fenwa10 {

// How long one message may take to go out. A camera that stops reading
// fills the socket buffers; the sender then gives up instead of blocking.
inline constexpr int kSendWaitMs = 500;

// Builds the message in one buffer and hands it to the socket in one send,
// before the deadline. False when the payload is too long or not every byte
// was taken in time.
bool sendMessage(ChannelSocket& socket, platform::Deadline deadline, uint32_t type, const void* payload = nullptr,
                 std::size_t length = 0);

} // namespace fenwa10
