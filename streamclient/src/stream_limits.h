// Sizes and time-outs of one stream.
#pragma once

#include <cstddef>

namespace ostrel {

inline constexpr std::size_t kPictureBufferSize = 1659904;
inline constexpr std::size_t kReceiveBufferSize = 256000;
inline constexpr int kConnectWaitMs = 10000;
inline constexpr int kPictureTimeoutMs = 3000;
inline constexpr std::size_t kEventHeaderSize = 32;
inline constexpr std::size_t kOverlayCapacity = 128;

} // namespace ostrel
