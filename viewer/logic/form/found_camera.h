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

} // namespace tavolin::ui
