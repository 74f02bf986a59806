// Reading a protocol text into cleaned lines, and choosing the protocol kind.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "context.h"

namespace tiltra {

inline constexpr std::size_t kMaxBuiltinChars = 524287;
inline constexpr std::size_t kMaxBuiltinLines = 512;

// Reads an open stream line by line in pieces of at most 127 characters.
void readProtocolStream(std::FILE* stream, std::vector<std::string>& lines);
// The same for the bytes of a whole file.
void readProtocolBytes(std::string_view bytes, std::vector<std::string>& lines);

// A built-in text: lines separated by carriage returns.
void readProtocolText(std::string_view text, std::vector<std::string>& lines);

// GE_Kalatel.ptz inside a folder selects the Kalatel kind.
ProtocolKind kindFromName(std::string_view protocolName);

} // namespace tiltra
