// An ONVIF camera's own snapshot: the JPEG its largest profile's
// GetSnapshotUri names, fetched with HTTP digest through the platform's
// HTTP (and so through the loopback guard).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "onvif/device.h"

namespace recorder {

struct OnvifSnapshot {
    std::optional<std::vector<uint8_t>> jpeg;
    // The largest profile's channel number (1 for the first profile), for
    // taking a picture of its stream instead; 0 when none was read.
    int channel = 0;
    std::string error; // why there is no JPEG
};

// `picture` false: only the largest profile's channel is looked up.
OnvifSnapshot fetchOnvifSnapshot(const onvif::DeviceSettings& camera, bool picture = true);

} // namespace recorder
