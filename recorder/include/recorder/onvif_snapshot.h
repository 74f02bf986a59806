// An ONVIF camera's own snapshot: the JPEG a profile's GetSnapshotUri names,
// fetched with HTTP digest through the platform's HTTP (and so through the
// loopback guard), and kept only when it is a whole picture at least as
// large as the profile's stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "onvif/device.h"

namespace recorder {

struct OnvifSnapshot {
    std::optional<std::vector<uint8_t>> jpeg;
    // The profile's channel number (1 for the first profile), for taking a
    // picture of its stream instead; 0 when none was read.
    int channel = 0;
    std::string error; // why there is no JPEG
};

// The profile a snapshot is of: its token and the size of its pictures
// (0 x 0 when not known). Without a token the camera is asked for its
// profiles: `channel` N >= 1 takes the N-th, 0 the largest that shows its
// picture (the last of onvif::switchableProfiles, as every place chooses).
struct SnapshotProfile {
    std::string token;
    int width = 0;
    int height = 0;
    int channel = 0;
};

// The camera's own JPEG of `profile`.
OnvifSnapshot fetchOnvifSnapshot(const onvif::DeviceSettings& camera, const SnapshotProfile& profile = {});

} // namespace recorder
