// Percent-encoding of texts placed into a URL query value.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Leaves letters, digits and "-._~" unchanged and writes every other byte as
// "%XX" (upper-case hex), so that "&", "#", "=", "+" or a blank in a user name
// or password cannot end the value or start another parameter.
std::string percentEncodeQueryValue(std::string_view text);

} // namespace platform
