#include "camsim/camera_sources.h"

#include "camsim/mpeg4_headers.h"
#include "camsim/yuv_picture.h"
#include "transport/contract.h"

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <ctime>
#include <functional>

#if CAMSIM_WITH_VIDEO
#include "camsim/encoded_video_source.h"
#include "camsim/scene_renderer.h"
#include "camsim/time_strip.h"
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

namespace {

// The encoder for the settings, drawing with `painter` (null: the test
// pattern); the synthetic source when there is no encoder or it refuses.
std::unique_ptr<VideoSource> encodedOrSynthetic(const CameraVideoSettings& settings,
                                                std::function<void(int, const YuvPicture&)> painter) {
    const int frameRate = std::clamp<int>(settings.frameRate, 1, 30);
    int width = 0, height = 0;
    cameraPictureSize(settings, width, height);
#if CAMSIM_WITH_VIDEO
    EncodedVideoOptions o;
    o.width = width;
    o.height = height;
    o.frameRate = frameRate;
    o.timeResolution = cameraTimeResolution(settings.resolutionCode, settings.configValue != 0 ? 30 : frameRate);
    o.painter = std::move(painter);
    if (auto source = EncodedVideoSource::create(o)) return source;
#else
    (void)painter;
#endif
    SyntheticVideoOptions s;
    s.width = width;
    s.height = height;
    s.frameRate = frameRate;
    return std::make_unique<SyntheticVideoSource>(s);
}

} // namespace

std::unique_ptr<VideoSource> makeCameraVideoSource(const CameraVideoSettings& settings) {
    return encodedOrSynthetic(settings, nullptr);
}

std::unique_ptr<VideoSource> makeSceneVideoSource(const CameraVideoSettings& settings, const SceneOptions& scene,
                                                  std::shared_ptr<const CameraHead> head) {
#if CAMSIM_WITH_VIDEO
    int width = 0, height = 0;
    cameraPictureSize(settings, width, height);
    auto renderer = std::make_shared<SceneRenderer>(width, height, scene.name, scene.variant);
    return encodedOrSynthetic(settings, [renderer, head, strip = scene.timeStrip](int, const YuvPicture& picture) {
        const auto captured = std::chrono::system_clock::now();
        renderer->render(*head, sceneClockText(), picture);
        if (strip)
            drawTimeStrip(picture,
                          std::chrono::duration_cast<std::chrono::milliseconds>(captured.time_since_epoch()).count());
    });
#else
    (void)scene;
    (void)head;
    return encodedOrSynthetic(settings, nullptr);
#endif
}

std::string sceneClockText() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto tenths =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000 / 100;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(tenths));
    return text;
}

std::unique_ptr<AudioSource> makeCameraAudioSource() { return std::make_unique<ToneAudioSource>(); }

} // namespace camsim
