// The picture and sound a simulated camera sends unless a test gives its
// own source.
#pragma once

#include "camsim/audio_source.h"
#include "camsim/camera_head.h"
#include "camsim/camera_options.h"
#include "camsim/video_source.h"

#include <memory>
#include <string>

namespace camsim {

// True when camsim was built with the video encoder.
bool camerasSendRealVideo();

// Real encoded video of the test pattern at the settings' resolution and
// frame rate, with the time resolution a protocol version 1 client expects
// for them (its fixed table, or the frame-rate-30 entry when the
// configuration value is set). Without the encoder, or for settings it cannot
// serve, the synthetic source.
std::unique_ptr<VideoSource> makeCameraVideoSource(const CameraVideoSettings& settings);

// The camera's scene, drawn from the head's state for every picture and
// encoded like the test pattern; the synthetic source without the encoder.
std::unique_ptr<VideoSource> makeSceneVideoSource(const CameraVideoSettings& settings, const SceneOptions& scene,
                                                  std::shared_ptr<const CameraHead> head);

// The running clock drawn in a scene: local time "12:34:56.7".
std::string sceneClockText();

// The settings' picture size (720 x 480 for an unknown resolution code).
void cameraPictureSize(const CameraVideoSettings& settings, int& width, int& height);

// A 1000 Hz tone.
std::unique_ptr<AudioSource> makeCameraAudioSource();

} // namespace camsim
