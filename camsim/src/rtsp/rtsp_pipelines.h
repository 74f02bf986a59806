// The GStreamer pipeline descriptions of the simulated RTSP camera: what a
// mount's media is made of, and the one-off pipeline that encodes a loop.
#pragma once

#include "camsim/rtsp_camera.h"

#include <string>

namespace camsim::rtsp {

// Element names the feed looks for in a media's pipeline.
inline constexpr const char* kVideoSourceName = "video";
inline constexpr const char* kAudioSourceName = "audio";
inline constexpr const char* kEncoderName = "encoder";
// The RTSP server finds the video's payloader by this name.
inline constexpr const char* kVideoPayloaderName = "pay0";

// Key-picture interval in pictures for the options (one a second when 0).
int keyFrameInterval(const RtspOptions& options);

// Caps of the raw pictures the scene is drawn into (I420).
std::string rawVideoCaps(const RtspOptions& options);
// Caps of the tone (16-bit mono at 8000 samples/s).
std::string rawAudioCaps();
// Caps of the codec's access units as the encoder hands them out.
std::string encodedVideoCaps(const RtspOptions& options, RtspCodec codec);

// Encoder (with low-latency settings) and the caps filter after it.
std::string encoderDescription(const RtspOptions& options, RtspCodec codec);

// The whole media of a mount, in gst-rtsp-server's "( ... )" form: the
// video source (raw pictures, or encoded access units when `preEncoded`)
// through the payloader pay0, and the tone through pay1 when audio is on.
std::string mediaDescription(const RtspOptions& options, RtspCodec codec, bool preEncoded);

// Options start() accepts; the reason when not.
bool checkOptions(const RtspOptions& options, std::string& error);
// Empty when every GStreamer element the mounts use is installed; else the
// first missing element and the Debian package that has it.
std::string missingElement();
// False when the picture is too large for the Motion JPEG payload format.
bool mjpegServes(const RtspOptions& options);

} // namespace camsim::rtsp
