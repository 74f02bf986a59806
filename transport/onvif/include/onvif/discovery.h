// Finding cameras with WS-Discovery: one probe, answers collected for a
// window, answers to another probe or that do not parse passed over, and
// devices that answer more than once (several addresses, repeated
// datagrams) merged by their endpoint.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

namespace onvif {

struct DiscoveredDevice {
    std::string endpoint; // the device's stable identity (urn:uuid:...)
    std::string address;  // where the answer came from
    std::string name;     // from the onvif://www.onvif.org/name/ scope
    std::string model;    // from the onvif://www.onvif.org/hardware/ scope
    std::vector<std::string> xaddrs;
};

// A fresh "urn:uuid:..." message identifier.
std::string newMessageId();

std::string probeMessage(const std::string& messageId);

// The devices a ProbeMatches answer describes, when it relates to the probe
// `messageId`; none for anything else.
std::vector<DiscoveredDevice> readProbeMatches(const std::string& reply, const std::string& messageId,
                                               const std::string& fromHost);

// Devices merged by endpoint, in the order they first answered.
class DiscoveryResults {
public:
    void add(const DiscoveredDevice& device);
    const std::vector<DiscoveredDevice>& devices() const { return devices_; }

private:
    std::vector<DiscoveredDevice> devices_;
};

struct ProbeTarget {
    std::string host;
    uint16_t port = 3702;
};

// Where a probe goes: the multicast group, or a directed probe to
// 127.0.0.1 under loopback-only mode (the group is never sent to then).
std::vector<ProbeTarget> defaultProbeTargets();

// Sends one probe to every target and collects answers for windowMs, or
// until `stop` is requested (what answered by then is returned). `why` (when
// given) tells why nothing could be sent.
std::vector<DiscoveredDevice> discover(const std::vector<ProbeTarget>& targets, int windowMs = 2000,
                                       std::string* why = nullptr, std::stop_token stop = {});

} // namespace onvif
