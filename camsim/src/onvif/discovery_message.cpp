#include "discovery_message.h"

#include "soap.h"

#include <openssl/rand.h>

#include <cctype>
#include <cstdio>
#include <sstream>

namespace camsim::onvif {

namespace {

constexpr char kProbeAction[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";
constexpr char kMatchesAction[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches";
constexpr char kAnonymous[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";

// The namespace URI a QName's prefix has where it is written.
std::string qnameNamespace(const pugi::xml_node& where, const std::string& qname, std::string& local) {
    const auto colon = qname.find(':');
    local = colon == std::string::npos ? qname : qname.substr(colon + 1);
    const std::string attribute = colon == std::string::npos ? "xmlns" : "xmlns:" + qname.substr(0, colon);
    for (pugi::xml_node n = where; n.type() == pugi::node_element; n = n.parent()) {
        if (const pugi::xml_attribute a = n.attribute(attribute.c_str())) return a.value();
    }
    return {};
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool typesMatch(const pugi::xml_node& types) {
    for (const std::string& qname : words(types.child_value())) {
        std::string local;
        const std::string ns = qnameNamespace(types, qname, local);
        const bool ours =
            (ns == ns::kNetworkVideo && local == "NetworkVideoTransmitter") || (ns == ns::kDevice && local == "Device");
        if (!ours) return false;
    }
    return true;
}

// Every scope asked for must begin one of ours (the default RFC 3986 rule
// compares whole path segments; a prefix at a "/" is the same here).
bool scopesMatch(const std::string& asked, const std::vector<std::string>& ours) {
    for (const std::string& scope : words(asked)) {
        bool found = false;
        for (const std::string& o : ours) {
            if (o == scope || (o.rfind(scope, 0) == 0 && (scope.back() == '/' || o[scope.size()] == '/'))) {
                found = true;
            }
        }
        if (!found) return false;
    }
    return true;
}

} // namespace

std::string randomUrnUuid() {
    unsigned char b[16];
    if (RAND_bytes(b, sizeof b) != 1) return "urn:uuid:00000000-0000-4000-8000-000000000000";
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
    char text[64];
    std::snprintf(text, sizeof text, "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string scopeText(const std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out.push_back(kDigits[c >> 4]);
            out.push_back(kDigits[c & 15]);
        }
    }
    return out;
}

std::optional<std::string> answerProbe(const std::string& datagram, const DiscoveryIdentity& identity) {
    SoapRequest probe;
    if (!probe.parse(datagram) || probe.operationName != "Probe" || probe.operationNamespace != ns::kDiscovery) {
        return std::nullopt;
    }
    const std::string action = childText(probe.header, "Action");
    const std::string messageId = childText(probe.header, "MessageID");
    if ((!action.empty() && action != kProbeAction) || messageId.empty()) return std::nullopt;
    if (const pugi::xml_node types = child(probe.operation, "Types"); types && !typesMatch(types)) {
        return std::nullopt;
    }
    if (!scopesMatch(childText(probe.operation, "Scopes"), identity.scopes)) return std::nullopt;

    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node envelope = doc.append_child("SOAP-ENV:Envelope");
    envelope.append_attribute("xmlns:SOAP-ENV") = ns::kEnvelope;
    envelope.append_attribute("xmlns:wsa") = ns::kDiscoveryAddressing;
    envelope.append_attribute("xmlns:d") = ns::kDiscovery;
    envelope.append_attribute("xmlns:dn") = ns::kNetworkVideo;
    envelope.append_attribute("xmlns:tds") = ns::kDevice;
    pugi::xml_node header = add(envelope, "SOAP-ENV:Header");
    add(header, "wsa:MessageID", randomUrnUuid());
    add(header, "wsa:RelatesTo", messageId);
    add(header, "wsa:To", kAnonymous).append_attribute("SOAP-ENV:mustUnderstand") = "true";
    add(header, "wsa:Action", kMatchesAction).append_attribute("SOAP-ENV:mustUnderstand") = "true";
    pugi::xml_node match = add(add(add(envelope, "SOAP-ENV:Body"), "d:ProbeMatches"), "d:ProbeMatch");
    add(add(match, "wsa:EndpointReference"), "wsa:Address", identity.endpoint);
    add(match, "d:Types", "dn:NetworkVideoTransmitter tds:Device");
    std::string scopes;
    for (const std::string& s : identity.scopes) scopes += (scopes.empty() ? "" : " ") + s;
    add(match, "d:Scopes", scopes);
    add(match, "d:XAddrs", identity.xaddr);
    add(match, "d:MetadataVersion", "1");
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

} // namespace camsim::onvif
