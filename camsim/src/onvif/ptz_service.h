// The PTZ service on the camera head: ContinuousMove and Stop set the head's
// movement (velocities -1 to 1 become the head's speeds), RelativeMove and
// AbsoluteMove send it to a position in the spaces the camera kind offers,
// GetStatus tells where it is, presets are the head's preset slots with the
// names clients give them.
#pragma once

#include "service_context.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace camsim::onvif {

class PtzService {
public:
    void answer(const SoapRequest& request, const ServiceContext& context, SoapReply& reply);
    // Stops a move whose Timeout has run out (time on the head's clock).
    void stopExpiredMove(CameraHead& head);
    // Names by slot; empty where no preset is set.
    std::vector<std::string> presetNames(const CameraHead& head) const;

private:
    void continuousMove(const SoapRequest& request, const ServiceContext& context);
    void stop(const SoapRequest& request, const ServiceContext& context);
    void relativeMove(const SoapRequest& request, const ServiceContext& context);
    void absoluteMove(const SoapRequest& request, const ServiceContext& context);
    void setPreset(const SoapRequest& request, const ServiceContext& context, SoapReply& reply);
    void presets(const ServiceContext& context, SoapReply& reply) const;

    mutable std::mutex mutex_;
    std::array<std::string, kPresetCount> names_;
    int64_t moveUntilMs_ = -1; // -1: no timeout pending
};

} // namespace camsim::onvif
