// Reading and writing "Vexo" messages on a simulator connection.
#pragma once

#include "camsim/tcp_server.h"

#include <cstdint>
#include <vector>

namespace camsim {

enum class ReadResult { Ok, Closed, BadMagic, TooLong };

// Reads one whole message; receive time-outs are waited through until the
// connection is shut down.
ReadResult readMessage(Connection& connection, std::size_t maxPayload, uint32_t& type,
                       std::vector<uint8_t>& payload);

std::vector<uint8_t> buildMessage(uint32_t type, const std::vector<uint8_t>& payload);
bool sendMessage(Connection& connection, uint32_t type, const std::vector<uint8_t>& payload);

} // namespace camsim
