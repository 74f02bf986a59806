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
    // What the device says of itself, made printable (no control characters,
    // valid UTF-8), so that a list or a terminal shows it as plain text.
    std::string name;  // from the onvif://www.onvif.org/name/ scope
    std::string model; // from the onvif://www.onvif.org/hardware/ scope
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

// Environment variable: under loopback-only mode, the port of 127.0.0.1 the
// directed probe goes to instead of the standard 3702 (a simulator on a port
// of its own). Ignored otherwise: cameras listen on the standard port.
inline constexpr char kDiscoveryPortVariable[] = "TAVOLIN_DISCOVERY_PORT";

// Where a probe goes, for every program that searches: the multicast group,
// or under loopback-only mode a directed probe to 127.0.0.1 only, at the
// port kDiscoveryPortVariable names (the group is never sent to then).
std::vector<ProbeTarget> defaultProbeTargets();

// The same choice from its inputs: the mode and the variable's text (null
// when unset). A port outside 1 to 65535 or not a number counts as unset.
std::vector<ProbeTarget> probeTargets(bool loopbackOnly, const char* discoveryPort);

// Sends one probe to every target and collects answers for windowMs, or
// until `stop` is requested (what answered by then is returned). `why` (when
// given) tells why nothing could be sent.
std::vector<DiscoveredDevice> discover(const std::vector<ProbeTarget>& targets, int windowMs = 2000,
                                       std::string* why = nullptr, std::stop_token stop = {});

} // namespace onvif
