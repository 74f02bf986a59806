// A simulated PTZ camera of each kind on 127.0.0.1 with a stream client
// connected to it and PTZ enabled through the shipped protocol files, for
// the pointing tests and the benchmark. The head can be asked which scene
// point lies where in the picture.
#pragma once

#include <ostrel/stream_client.h>

#include <cstring>
#include <memory>
#include <string>

#include "camsim/simulated_camera.h"
#include "platform/network_guard.h"

namespace aim::test {

enum class RigKind {
    OnvifFov,        // ONVIF, field-of-view spaces
    OnvifGeneric,    // ONVIF, generic spaces only
    OnvifContinuous, // ONVIF, continuous moves only
    Protocol2,       // protocol 2 camera driven by Pelco-D
};

inline const char* rigKindName(RigKind kind) {
    switch (kind) {
    case RigKind::OnvifFov: return "ONVIF, field-of-view space";
    case RigKind::OnvifGeneric: return "ONVIF, generic spaces";
    case RigKind::OnvifContinuous: return "ONVIF, continuous only";
    case RigKind::Protocol2: return "protocol 2, Pelco-D";
    }
    return "";
}

class AimRig {
public:
    AimRig() = default;
    AimRig(const AimRig&) = delete;
    AimRig& operator=(const AimRig&) = delete;
    ~AimRig() {
        if (handle != nullptr) {
            M_KDisconnect(handle);
            M_KCloseInterface(handle);
        }
    }

    // Starts the camera and connects; `why` says what failed.
    bool start(RigKind kind, const std::string& ptzDir, camsim::HeadFaults faults = {}) {
        platform::enableLoopbackOnly();
        camsim::SimulatedCameraSettings s;
        const bool onvif = kind != RigKind::Protocol2;
        s.streamingType = onvif ? camsim::kOnvifStreamingType : 2;
        s.options = camsim::smallCameraOptions();
        s.options.scene.enabled = true;
        s.rtsp.audio = false;
        s.headFaults = faults;
        if (kind == RigKind::OnvifGeneric) s.onvifPtzSpaces = camsim::OnvifPtzSpaces::Generic;
        if (kind == RigKind::OnvifContinuous) s.onvifPtzSpaces = camsim::OnvifPtzSpaces::ContinuousOnly;
        camera = std::make_unique<camsim::SimulatedCamera>(s);
        if (!camera->start()) return fail(camera->error());
        handle = M_KOpenInterface();
        if (handle == nullptr) return fail("no interface");
        M_KSetStreamingType(handle, s.streamingType);
        MediaConfig c = camera->mediaConfig(5);
        if (onvif) c.channel = 1; // the main profile, 640x480
        if (M_KSetMediaConfig(handle, &c) != 1) return fail("media config refused");
        PTZEnableInfo info{};
        info.sourceType = OSTREL_PTZ_SOURCE_FILE;
        const std::string file = ptzDir + (onvif ? "/ONVIF.ptz" : "/Pelco-D.ptz");
        std::strncpy(info.fileName, file.c_str(), sizeof info.fileName - 1);
        info.addressId = s.options.ptzAddress;
        if (M_KEnablePTZProtocol(handle, 1, &info) != 1) return fail("no PTZ protocol " + file);
        RenderInfo render{};
        M_KSetRenderInfo(handle, &render);
        if (M_KConnect(handle) != 1) return fail("not connected");
        return true;
    }

    camsim::CameraHead& head() { return camera->head(); }

    // The scene point (fractions of the scene) at a share of the picture now.
    void scenePointAt(double u, double v, double& sx, double& sy) {
        const camsim::ViewWindow w = head().window();
        sx = w.x - w.width() / 2 + u * w.width();
        sy = w.y - w.height() / 2 + v * w.height();
    }
    // Where a scene point lies in the picture now, as shares.
    void shareOf(double sx, double sy, double& u, double& v) {
        const camsim::ViewWindow w = head().window();
        u = (sx - (w.x - w.width() / 2)) / w.width();
        v = (sy - (w.y - w.height() / 2)) / w.height();
    }

    std::unique_ptr<camsim::SimulatedCamera> camera;
    OstrelInterface* handle = nullptr;
    std::string why;

private:
    bool fail(const std::string& text) {
        why = text;
        return false;
    }
};

} // namespace aim::test
