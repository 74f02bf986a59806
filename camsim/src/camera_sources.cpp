#include "camsim/camera_sources.h"

#include "camsim/mpeg4_headers.h"
#include "transport/contract.h"

#include <algorithm>

#if CAMSIM_WITH_VIDEO
#include "camsim/encoded_video_source.h"
#endif

namespace camsim {

bool camerasSendRealVideo() { return CAMSIM_WITH_VIDEO != 0; }

void cameraPictureSize(const CameraVideoSettings& settings, int& width, int& height) {
    width = 720;
    height = 480;
    if (const auto* r = transport::findResolution(settings.resolutionCode)) {
        width = r->width;
        height = r->height;
    }
}

std::unique_ptr<VideoSource> makeCameraVideoSource(const CameraVideoSettings& settings) {
    const int frameRate = std::clamp<int>(settings.frameRate, 1, 30);
    int width = 0, height = 0;
    cameraPictureSize(settings, width, height);
#if CAMSIM_WITH_VIDEO
    EncodedVideoOptions o;
    o.width = width;
    o.height = height;
    o.frameRate = frameRate;
    o.timeResolution = cameraTimeResolution(settings.resolutionCode, settings.configValue != 0 ? 30 : frameRate);
    if (auto source = EncodedVideoSource::create(o)) return source;
#endif
    SyntheticVideoOptions s;
    s.width = width;
    s.height = height;
    s.frameRate = frameRate;
    return std::make_unique<SyntheticVideoSource>(s);
}

std::unique_ptr<AudioSource> makeCameraAudioSource() { return std::make_unique<ToneAudioSource>(); }

} // namespace camsim
