#include "pointing_run.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "aim/pointing.h"
#include "aim/stream_aim_camera.h"

namespace watch {

namespace {

constexpr int kFirstPictureMs = 10000;
constexpr char kOnvifProtocol[] = "ONVIF.ptz";
constexpr char kInstalledProtocols[] = "/usr/share/tavolin/protocol";

const char* planName(aim::MovePlan::Kind kind) {
    switch (kind) {
    case aim::MovePlan::Kind::FovRelative: return "one relative move in the field-of-view space";
    case aim::MovePlan::Kind::GenericRelative: return "one relative move in the generic space";
    case aim::MovePlan::Kind::Timed: return "timed continuous moves";
    case aim::MovePlan::Kind::None: break;
    }
    return "no move";
}

const char* kindName(const aim::Capabilities& c) {
    if (c.fovPanTilt) return "relative moves in the field-of-view space";
    if (c.relative) return "relative moves in the generic spaces (calibrated from the picture)";
    return "continuous moves only (timed from a calibration)";
}

bool waitForPicture(OstrelInterface* handle) {
    for (int waited = 0; waited < kFirstPictureMs; waited += 50) {
        int32_t width = 0;
        if (M_KGetStreamSize(handle, &width, nullptr) != 0 && width > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

std::string pointingProtocolFile(const Options& options) {
    if (!options.ptzFile.empty() || options.streamingType != 5) return options.ptzFile;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path beside = self.parent_path() / "protocol" / kOnvifProtocol;
        if (std::filesystem::is_regular_file(beside, ec)) return beside.string();
    }
    return std::string(kInstalledProtocols) + "/" + kOnvifProtocol;
}

int runPointing(OstrelInterface* handle, const Options& options, std::FILE* out) {
    if (!waitForPicture(handle)) {
        std::fprintf(out, "pointing: no picture came\n");
        return 4;
    }
    aim::StreamAimCamera camera(handle);
    aim::Pointer pointer(camera);
    const aim::Capabilities caps = pointer.capabilities();
    std::fprintf(out, "PTZ: %s\n", kindName(caps));
    std::optional<aim::Calibration> calibration;
    if (!options.calibration.empty()) {
        calibration = aim::Calibration::fromText(options.calibration);
        if (!calibration) std::fprintf(out, "the calibration given is not one; measuring again\n");
    }
    const bool fovDoesIt = caps.fovPanTilt && (!options.zoomBox || caps.fovZoom);
    if (options.calibrate || (!calibration && !fovDoesIt && (options.centre || options.zoomBox))) {
        std::fflush(out);
        const aim::CalibrationResult measured = pointer.calibrate();
        if (!measured.calibration) {
            std::fprintf(out, "calibration failed after %.1f s: %s\n", measured.elapsedMs / 1000.0,
                         measured.why.c_str());
            return 4;
        }
        calibration = measured.calibration;
        std::fprintf(out, "calibration (%.1f s): PTZCalibration=%s\n", measured.elapsedMs / 1000.0,
                     calibration->toText().c_str());
    }
    if (!options.centre && !options.zoomBox) return 0;
    aim::Target target;
    if (options.centre) {
        target.fov = aim::fovOf({(*options.centre)[0], (*options.centre)[1]});
    } else {
        const auto& b = *options.zoomBox;
        const aim::Rect box{std::min(b[0], b[2]), std::min(b[1], b[3]), std::abs(b[2] - b[0]), std::abs(b[3] - b[1])};
        target.fov = aim::fovOf(box.centre());
        target.magnification = aim::fillMagnification(box);
    }
    const std::optional<aim::GrayPicture> reference = pointer.snapshot();
    const aim::PointingResult result =
        pointer.centre(target, calibration ? &*calibration : nullptr, reference ? &*reference : nullptr);
    if (!result.moved) {
        std::fprintf(out, "not moved: %s\n", result.why.c_str());
        return 4;
    }
    std::fprintf(out, "moved by %s%s: first request after %lld ms, at rest after %lld ms\n", planName(result.plan.kind),
                 result.corrected ? " and one correction" : "", static_cast<long long>(result.firstRequestMs),
                 static_cast<long long>(result.restMs));
    if (!result.landed) {
        std::fprintf(out, "landed: not found (%s)\n", result.why.c_str());
        return 0;
    }
    const aim::Point share = aim::shareOfFov(*result.landed);
    std::fprintf(out, "landed: %.3f,%.3f, %.1f %% of the picture's width from the centre\n", share.x, share.y,
                 100.0 * std::hypot(share.x - 0.5, (share.y - 0.5)));
    return 0;
}

} // namespace watch
