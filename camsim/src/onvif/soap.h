// SOAP 1.2 envelopes of the simulated ONVIF camera, read and written with
// pugixml. Requests are matched by local name and namespace URI, whatever
// prefixes the client chose; answers declare the prefixes cameras use.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace camsim::onvif {

namespace ns {
inline constexpr char kEnvelope[] = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr char kAddressing[] = "http://www.w3.org/2005/08/addressing";
inline constexpr char kSchema[] = "http://www.onvif.org/ver10/schema";
inline constexpr char kDevice[] = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr char kMedia[] = "http://www.onvif.org/ver10/media/wsdl";
inline constexpr char kPtz[] = "http://www.onvif.org/ver20/ptz/wsdl";
inline constexpr char kEvents[] = "http://www.onvif.org/ver10/events/wsdl";
inline constexpr char kDeviceIo[] = "http://www.onvif.org/ver10/deviceIO/wsdl";
inline constexpr char kNotification[] = "http://docs.oasis-open.org/wsn/b-2";
inline constexpr char kTopics[] = "http://www.onvif.org/ver10/topics";
inline constexpr char kError[] = "http://www.onvif.org/ver10/error";
inline constexpr char kSecurity[] = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr char kSecurityUtility[] =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
inline constexpr char kDiscovery[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr char kDiscoveryAddressing[] = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr char kNetworkVideo[] = "http://www.onvif.org/ver10/network/wsdl";
inline constexpr char kSearch[] = "http://www.onvif.org/ver10/search/wsdl";
inline constexpr char kReplay[] = "http://www.onvif.org/ver10/replay/wsdl";
} // namespace ns

// "s:Body" -> "Body".
std::string localName(const pugi::xml_node& node);
// The namespace URI of the element's prefix (or of its default namespace).
std::string namespaceUri(const pugi::xml_node& node);
// First child element with this local name (any namespace); empty if none.
pugi::xml_node child(const pugi::xml_node& parent, const char* local);
// The child's text, trimmed; empty when there is no such child.
std::string childText(const pugi::xml_node& parent, const char* local);
// An attribute by local name, whatever its prefix.
pugi::xml_attribute attribute(const pugi::xml_node& node, const char* local);

// A request envelope: its header and the one operation element of its body.
struct SoapRequest {
    pugi::xml_document document;
    pugi::xml_node header;
    pugi::xml_node operation;
    std::string operationName;      // local name of the operation element
    std::string operationNamespace; // its namespace URI

    // False when the text is not a SOAP 1.2 envelope with a body element.
    bool parse(const std::string& text);
};

// An answer envelope with the usual prefixes declared on its root.
class SoapReply {
public:
    SoapReply();
    pugi::xml_node header() { return header_; }
    pugi::xml_node body() { return body_; }
    // The document as sent; `padding` bytes of filler ride in the header.
    std::string text(std::size_t padding = 0);

private:
    pugi::xml_document document_;
    pugi::xml_node header_;
    pugi::xml_node body_;
};

// Appends an element (a qualified name with one of the declared prefixes)
// holding `text` when it is not empty.
pugi::xml_node add(pugi::xml_node parent, const char* qualifiedName, const std::string& text = {});

// A SOAP Fault answer: code "env:Sender" or "env:Receiver", an ONVIF subcode
// such as "ter:NotAuthorized", and the reason a person reads.
std::string faultText(const char* code, const char* subcode, const std::string& reason);

// xs:dateTime "2026-12-08T09:30:10Z" of seconds since 1970 (UTC).
std::string isoTime(int64_t unixSeconds);
// "2026-12-08T09:30:10.240Z" of milliseconds since 1970 (UTC).
std::string isoTimeMs(int64_t unixMs);
// Reads xs:dateTime (fraction and zone optional, "Z" or "+hh:mm"); false when
// it is not one. The fraction is dropped, or kept to the millisecond.
bool parseIsoTime(const std::string& text, int64_t& unixSeconds);
bool parseIsoTimeMs(const std::string& text, int64_t& unixMs);
// Reads an xs:duration of days, hours, minutes and seconds ("PT1M", "PT2.5S");
// false when it is not one.
bool parseDuration(const std::string& text, int64_t& milliseconds);

} // namespace camsim::onvif
