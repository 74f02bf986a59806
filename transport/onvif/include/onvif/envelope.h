// SOAP 1.2 request envelopes, built as XML documents (never pasted text, so
// every value is escaped) with the prefixes the services' schemas use.
#pragma once

#include <pugixml.hpp>

#include <string>

#include "onvif/username_token.h"

namespace onvif {

namespace ns {
inline constexpr const char* kSoap = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr const char* kSchema = "http://www.onvif.org/ver10/schema";
inline constexpr const char* kDevice = "http://www.onvif.org/ver10/device/wsdl";
inline constexpr const char* kMedia = "http://www.onvif.org/ver10/media/wsdl";
inline constexpr const char* kPtz = "http://www.onvif.org/ver20/ptz/wsdl";
inline constexpr const char* kEvents = "http://www.onvif.org/ver10/events/wsdl";
inline constexpr const char* kDeviceIo = "http://www.onvif.org/ver10/deviceIO/wsdl";
inline constexpr const char* kNotification = "http://docs.oasis-open.org/wsn/b-2";
inline constexpr const char* kSearch = "http://www.onvif.org/ver10/search/wsdl";
inline constexpr const char* kReplay = "http://www.onvif.org/ver10/replay/wsdl";
inline constexpr const char* kAddressing = "http://www.w3.org/2005/08/addressing";
inline constexpr const char* kSecurity =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
inline constexpr const char* kSecurityUtility =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
inline constexpr const char* kPasswordDigestType =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
inline constexpr const char* kBase64Encoding =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary";
} // namespace ns

// A service namespace and the prefix its elements get.
struct Service {
    const char* prefix;
    const char* uri;
};

inline constexpr Service kDeviceService{"tds", ns::kDevice};
inline constexpr Service kMediaService{"trt", ns::kMedia};
inline constexpr Service kPtzService{"tptz", ns::kPtz};
inline constexpr Service kEventService{"tev", ns::kEvents};
inline constexpr Service kDeviceIoService{"tmd", ns::kDeviceIo};
inline constexpr Service kNotificationService{"wsnt", ns::kNotification};
inline constexpr Service kSearchService{"tse", ns::kSearch};
inline constexpr Service kReplayService{"trp", ns::kReplay};

class Request {
public:
    // An envelope whose body holds <prefix:operation/>.
    Request(Service service, const char* operation);

    // The operation element, for the caller's parameters.
    pugi::xml_node operation() { return operation_; }
    // Adds <prefix:name>text</prefix:name> under `parent` (prefix: the
    // service's, or "tt" for schema types when `schema` is true).
    pugi::xml_node add(pugi::xml_node parent, const char* name, const std::string& text = {}, bool schema = false);

    void setUsernameToken(const UsernameToken& token);
    // Addressing headers that a subscription's own address expects.
    void setAddressing(const std::string& action, const std::string& to);

    std::string text() const;

private:
    pugi::xml_node header();

    pugi::xml_document document_;
    pugi::xml_node envelope_;
    pugi::xml_node operation_;
    std::string prefix_;
};

} // namespace onvif
