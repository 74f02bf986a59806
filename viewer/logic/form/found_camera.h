// A camera that answered the search for cameras, as the form takes it: what
// the list shows, and the host and port that reach its device service.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "onvif/discovery.h"

namespace tavolin::ui {

struct FoundCamera {
    QString name;
    QString model;
    QString address;        // where the answer came from
    std::string host;       // what "Camera IP" takes
    uint32_t httpPort = 80; // the device service's port
};

// The camera a discovery answer describes. The host is the address that
// answered (a camera behind NAT names itself by an inner address in its
// service addresses); the port is that of its device service.
FoundCamera foundCameraOf(const onvif::DiscoveredDevice& device);

// Environment variable: under loopback-only mode, the port of 127.0.0.1 the
// directed probe goes to instead of the standard 3702 (a simulator on a port
// of its own). Ignored otherwise: cameras listen on the standard port.
inline constexpr char kDiscoveryPortVariable[] = "TAVOLIN_DISCOVERY_PORT";

// Where the search probes: the local network's multicast group, or only
// 127.0.0.1 under loopback-only mode.
std::vector<onvif::ProbeTarget> searchTargets();

} // namespace tavolin::ui
