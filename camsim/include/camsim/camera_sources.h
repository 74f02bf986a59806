// The picture and sound a simulated camera sends unless a test gives its
// own source.
#pragma once

#include "camsim/audio_source.h"
#include "camsim/camera_options.h"
#include "camsim/video_source.h"

#include <memory>

namespace camsim {

// True when camsim was built with the video encoder.
bool camerasSendRealVideo();

// Real encoded video of the test pattern at the settings' resolution and
// frame rate, with the time resolution a protocol version 1 client expects
// for them (its fixed table, or the frame-rate-30 entry when the
// configuration value is set). Without the encoder, or for settings it cannot
// serve, the synthetic source.
std::unique_ptr<VideoSource> makeCameraVideoSource(const CameraVideoSettings& settings);

// The settings' picture size (720 x 480 for an unknown resolution code).
void cameraPictureSize(const CameraVideoSettings& settings, int& width, int& height);

// A 1000 Hz tone.
std::unique_ptr<AudioSource> makeCameraAudioSource();

} // namespace camsim
