// The PTZ worker's camera: one device's PTZ service and first relay, for the
// profile the stream came from.
#pragma once

#include <string>

#include "onvif/device.h"
#include "onvif/ptz_worker.h"

namespace onvif {

class DevicePtz final : public PtzCamera {
public:
    DevicePtz(Device& device, std::string profileToken) : device_(device), profile_(std::move(profileToken)) {}

    bool move(double pan, double tilt, double zoom) override {
        return device_.continuousMove(profile_, pan, tilt, zoom);
    }
    bool stop(bool panTilt, bool zoom) override { return device_.stop(profile_, panTilt, zoom); }
    bool setPreset(int number) override { return device_.setPreset(profile_, number); }
    bool gotoPreset(int number) override { return device_.gotoPreset(profile_, number); }
    bool setRelay(bool active) override { return device_.setRelay(active); }

private:
    Device& device_;
    const std::string profile_;
};

} // namespace onvif
