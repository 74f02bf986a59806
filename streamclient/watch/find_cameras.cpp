#include "find_cameras.h"

#include <onvif/discovery.h>

namespace watch {

int findCameras(std::FILE* out, int windowMs) {
    std::string why;
    const auto devices = onvif::discover(onvif::defaultProbeTargets(), windowMs, &why);
    if (devices.empty()) {
        std::fprintf(out, "no ONVIF camera answered%s%s\n", why.empty() ? "" : ": ", why.c_str());
        return 1;
    }
    for (const onvif::DiscoveredDevice& d : devices) {
        std::fprintf(out, "%-15s  %-20s  %-20s  %s\n", d.address.c_str(), d.name.empty() ? "-" : d.name.c_str(),
                     d.model.empty() ? "-" : d.model.c_str(), d.xaddrs.empty() ? "-" : d.xaddrs.front().c_str());
    }
    return 0;
}

} // namespace watch
