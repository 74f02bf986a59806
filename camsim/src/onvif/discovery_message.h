// WS-Discovery as a simulated ONVIF camera answers it: a Probe (SOAP 1.2
// over UDP) that asks for a network video transmitter, or for any device,
// gets a ProbeMatches whose RelatesTo names the Probe's MessageID.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace camsim::onvif {

struct DiscoveryIdentity {
    std::string endpoint; // "urn:uuid:..." that stays the same for the device
    std::string xaddr;    // the device service's address
    std::vector<std::string> scopes;
};

// "urn:uuid:" and a random version 4 UUID.
std::string randomUrnUuid();
// A scope item with everything but unreserved characters percent-encoded
// ("Camera 1" -> "Camera%201").
std::string scopeText(const std::string& text);

// The answer to one datagram; nullopt when it is not a Probe (or a Probe
// for other types or scopes), so nothing is sent back.
std::optional<std::string> answerProbe(const std::string& datagram, const DiscoveryIdentity& identity);

} // namespace camsim::onvif
