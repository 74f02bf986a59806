// Sizes and time-outs of one stream.
#pragma once

#include <cstddef>

#include "transport/frame_header.h"
#include "transport/streaming_types.h"

namespace ostrel {

inline constexpr std::size_t kPictureBufferSize = 1659904;
inline constexpr std::size_t kReceiveBufferSize = 256000;
inline constexpr int kConnectWaitMs = 10000;
inline constexpr int kPictureTimeoutMs = 3000;
// Streaming types 4 and 5 wait this long for their first picture.
inline constexpr int kFirstCodecPictureTimeoutMs = 10000;
inline constexpr std::size_t kEventHeaderSize = transport::kEventHeaderBytes;
inline constexpr std::size_t kOverlayCapacity = 128;

// Streaming types 1 to 5 (transport/streaming_types.h); those over RTSP
// carry H.264, H.265 or JPEG records and fail their connect as soon as the
// attempt failed.
using transport::kStreamingTypeCount;
inline constexpr bool isCodecStreamingType(int type) { return transport::streamsOverRtsp(type); }
// Their receive buffer holds the largest access unit we accept: a 3840 x 2160
// picture at 12 bits a pixel, which no coded picture exceeds in practice.
inline constexpr std::size_t kCodecReceiveBufferSize = std::size_t{3840} * 2160 * 3 / 2;

} // namespace ostrel
