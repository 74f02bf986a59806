// Text a device sent (a discovery answer's name, a fault's reason, an error
// an RTSP server gave), made safe to print on a terminal or show in a list.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/diagnostics.h"

namespace platform {

// The text with control characters gone: line breaks and tabs become one
// blank each, every other C0 control, DEL and C1 control (which includes the
// escape sequences' introducers ESC, CSI, OSC and DCS) is left out. Ordinary
// UTF-8 stays as it is; each byte that is not part of valid UTF-8 becomes
// U+FFFD, so that the result is always valid UTF-8 on a single line.
TAVOLIN_DIAGNOSTICS_API std::string printableText(std::string_view text);

// The length of the longest start of `text` that is valid UTF-8 and at most
// `limit` bytes long: a cut there never splits a character.
TAVOLIN_DIAGNOSTICS_API std::size_t utf8PrefixLength(std::string_view text, std::size_t limit);

} // namespace platform
