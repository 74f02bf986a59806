// Encodes a few seconds of the scene once, for mounts that serve a loop
// instead of encoding live.
#pragma once

#include "camsim/rtsp_camera.h"
#include "camsim/yuv_picture.h"

#include <functional>
#include <memory>

namespace camsim::rtsp {

struct EncodedLoop;

// options.preEncodedSeconds of pictures drawn by `draw`, encoded as the live
// mount would encode them; null when the encoder failed.
std::shared_ptr<const EncodedLoop> encodeLoop(const RtspOptions& options, RtspCodec codec,
                                              const std::function<void(const YuvPicture&)>& draw);

// The loop of options.sharedLoops for these options, encoded by the first
// camera that asks (the others wait for it); encodeLoop without them.
std::shared_ptr<const EncodedLoop> sharedLoop(const RtspOptions& options, RtspCodec codec,
                                              const std::function<void(const YuvPicture&)>& draw);

} // namespace camsim::rtsp
