#include "onvif/discovery.h"

#include "onvif/xml.h"

#include <platform/diagnostics.h>
#include <platform/network_guard.h>
#include <platform/printable_text.h>
#include <platform/udp_socket.h>

#include <openssl/rand.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace onvif {

namespace {

constexpr const char* kDiscoveryNs = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
constexpr const char* kAddressingNs = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
constexpr const char* kNetworkNs = "http://www.onvif.org/ver10/network/wsdl";
constexpr const char* kMulticastGroup = "239.255.255.250";
constexpr uint16_t kDiscoveryPort = 3702;
constexpr long long kStopCheckMs = 50;

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned value = 0;
        if (text[i] == '%' && i + 2 < text.size() && std::sscanf(text.c_str() + i + 1, "%2x", &value) == 1) {
            out += static_cast<char>(value);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A scope's value as text to show: percent-encoded bytes may hide control
// characters, so the decoded value is made printable.
std::string scopeValue(const std::vector<std::string>& scopes, const std::string& prefix) {
    for (const std::string& s : scopes) {
        if (s.compare(0, prefix.size(), prefix) == 0)
            return platform::printableText(percentDecoded(s.substr(prefix.size())));
    }
    return {};
}

void addUnique(std::vector<std::string>& list, const std::string& value) {
    if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}

} // namespace

std::string newMessageId() {
    unsigned char b[16] = {};
    if (RAND_bytes(b, sizeof b) != 1) {
        const auto t = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        for (int i = 0; i < 16; ++i) b[i] = static_cast<unsigned char>(t >> ((i % 8) * 8));
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40); // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    char text[64];
    std::snprintf(text, sizeof text, "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string probeMessage(const std::string& messageId) {
    pugi::xml_document document;
    pugi::xml_node envelope = document.append_child("s:Envelope");
    envelope.append_attribute("xmlns:s") = "http://www.w3.org/2003/05/soap-envelope";
    envelope.append_attribute("xmlns:a") = kAddressingNs;
    envelope.append_attribute("xmlns:d") = kDiscoveryNs;
    envelope.append_attribute("xmlns:dn") = kNetworkNs;
    pugi::xml_node header = envelope.append_child("s:Header");
    header.append_child("a:MessageID").text().set(messageId.c_str());
    header.append_child("a:To").text().set("urn:schemas-xmlsoap-org:ws:2005:04:discovery");
    header.append_child("a:Action").text().set("http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe");
    pugi::xml_node probe = envelope.append_child("s:Body").append_child("d:Probe");
    probe.append_child("d:Types").text().set("dn:NetworkVideoTransmitter");
    std::ostringstream out;
    document.save(out, "", pugi::format_raw);
    return out.str();
}

std::vector<DiscoveredDevice> readProbeMatches(const std::string& reply, const std::string& messageId,
                                               const std::string& fromHost) {
    std::vector<DiscoveredDevice> out;
    const auto document = parseXml(reply);
    if (!document) return out;
    const pugi::xml_node envelope = document->document_element();
    if (textOf(childPath(envelope, {"Header", "RelatesTo"})) != messageId) return out;
    const pugi::xml_node matches = child(soapBody(*document), "ProbeMatches");
    for (const pugi::xml_node& match : matches.children()) {
        if (localName(match) != "ProbeMatch") continue;
        DiscoveredDevice device;
        device.endpoint = textOf(childPath(match, {"EndpointReference", "Address"}));
        if (device.endpoint.empty()) continue;
        device.address = fromHost;
        const std::vector<std::string> scopes = words(textOf(child(match, "Scopes")));
        device.name = scopeValue(scopes, "onvif://www.onvif.org/name/");
        device.model = scopeValue(scopes, "onvif://www.onvif.org/hardware/");
        for (const std::string& xaddr : words(textOf(child(match, "XAddrs"))))
            device.xaddrs.push_back(platform::printableText(xaddr));
        out.push_back(std::move(device));
    }
    return out;
}

void DiscoveryResults::add(const DiscoveredDevice& device) {
    for (DiscoveredDevice& known : devices_) {
        if (known.endpoint != device.endpoint) continue;
        if (known.name.empty()) known.name = device.name;
        if (known.model.empty()) known.model = device.model;
        for (const std::string& x : device.xaddrs) addUnique(known.xaddrs, x);
        return;
    }
    devices_.push_back(device);
}

std::vector<ProbeTarget> defaultProbeTargets() {
    return probeTargets(platform::loopbackOnly(), std::getenv(kDiscoveryPortVariable));
}

std::vector<ProbeTarget> probeTargets(bool loopbackOnly, const char* discoveryPort) {
    if (!loopbackOnly) return {{kMulticastGroup, kDiscoveryPort}};
    uint16_t port = kDiscoveryPort;
    if (discoveryPort != nullptr) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(discoveryPort, &end, 10);
        if (errno == 0 && end != discoveryPort && *end == '\0' && value >= 1 && value <= 65535)
            port = static_cast<uint16_t>(value);
    }
    return {{"127.0.0.1", port}};
}

std::vector<DiscoveredDevice> discover(const std::vector<ProbeTarget>& targets, int windowMs, std::string* why,
                                       std::stop_token stop) {
    platform::UdpSocket socket;
    if (!socket.bind("0.0.0.0", 0)) {
        if (why != nullptr) *why = "no UDP socket: " + platform::describeSystemError(socket.lastError());
        return {};
    }
    const std::string messageId = newMessageId();
    const std::string probe = probeMessage(messageId);
    bool sent = false;
    for (const ProbeTarget& target : targets) {
        if (socket.sendTo(target.host, target.port, probe)) {
            sent = true;
        } else if (why != nullptr) {
            *why = platform::mayConnectTo(target.host) ? "probe to " + target.host + " failed"
                                                       : platform::loopbackRefusal(target.host);
        }
    }
    if (!sent) return {};
    DiscoveryResults results;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(windowMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0 || stop.stop_requested()) break;
        // Short waits, so that a stop is noticed soon.
        const auto datagram = socket.receive(static_cast<int>(std::min<long long>(left, kStopCheckMs)));
        if (!datagram) continue;
        for (const DiscoveredDevice& d : readProbeMatches(datagram->bytes, messageId, datagram->fromHost)) {
            results.add(d);
        }
    }
    return results.devices();
}

} // namespace onvif
