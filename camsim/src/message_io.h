// Reading and writing "Vexo" messages on a simulator connection.
#pragma once

#include "camsim/tcp_server.h"

#include <cstdint>
#include <vector>

namespace camsim {

enum class ReadResult { Ok, Closed, BadMagic, TooLong };

// Receives exactly `length` bytes, waiting through receive time-outs and
// while the connection's faults stop reading; false once it is shut down or
// the peer is gone.
bool receiveExactly(Connection& connection, uint8_t* out, std::size_t length);

// Reads one whole message; receive time-outs are waited through until the
// connection is shut down.
ReadResult readMessage(Connection& connection, std::size_t maxPayload, uint32_t& type, std::vector<uint8_t>& payload);

std::vector<uint8_t> buildMessage(uint32_t type, const std::vector<uint8_t>& payload);
bool sendMessage(Connection& connection, uint32_t type, const std::vector<uint8_t>& payload);

} // namespace camsim
