// Sending and receiving "Vexo" messages over a channel socket.
#pragma once

#include "channel_socket.h"

#include <cstdint>

namespace fenwa10 {

// Builds the message in one buffer and hands it to the socket in one send.
// False when the payload is too long or not every byte was taken.
bool sendMessage(ChannelSocket& socket, uint32_t type, const void* payload = nullptr, std::size_t length = 0);

} // namespace fenwa10
