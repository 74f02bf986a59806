// The parameter sets of an encoded H.264 or H.265 access unit (Annex B),
// without its pictures: what a camera's stream holds before its first key
// picture reaches a client that joined in the middle of an interval.
#pragma once

#include "camsim/rtsp_camera.h"

#include <cstdint>
#include <span>
#include <vector>

namespace camsim::rtsp {

// The access unit's parameter-set and delimiter units, each behind a 4-byte
// start code, in their order; empty when it has none (or for JPEG).
std::vector<uint8_t> parameterSetsOnly(std::span<const uint8_t> accessUnit, RtspCodec codec);

} // namespace camsim::rtsp
