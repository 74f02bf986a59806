#include "onvif/envelope.h"

#include <sstream>

namespace onvif {

Request::Request(Service service, const char* operation) : prefix_(service.prefix) {
    envelope_ = document_.append_child("s:Envelope");
    envelope_.append_attribute("xmlns:s") = ns::kSoap;
    envelope_.append_attribute("xmlns:tt") = ns::kSchema;
    envelope_.append_attribute(("xmlns:" + prefix_).c_str()) = service.uri;
    pugi::xml_node body = envelope_.append_child("s:Body");
    operation_ = body.append_child((prefix_ + ":" + operation).c_str());
}

pugi::xml_node Request::add(pugi::xml_node parent, const char* name, const std::string& text, bool schema) {
    pugi::xml_node node = parent.append_child(((schema ? std::string("tt") : prefix_) + ":" + name).c_str());
    if (!text.empty()) node.text().set(text.c_str());
    return node;
}

pugi::xml_node Request::header() {
    pugi::xml_node existing = envelope_.child("s:Header");
    if (existing) return existing;
    return envelope_.insert_child_before("s:Header", envelope_.child("s:Body"));
}

void Request::setUsernameToken(const UsernameToken& token) {
    pugi::xml_node security = header().append_child("wsse:Security");
    security.append_attribute("xmlns:wsse") = ns::kSecurity;
    security.append_attribute("xmlns:wsu") = ns::kSecurityUtility;
    security.append_attribute("s:mustUnderstand") = "1";
    pugi::xml_node usernameToken = security.append_child("wsse:UsernameToken");
    usernameToken.append_child("wsse:Username").text().set(token.user.c_str());
    pugi::xml_node password = usernameToken.append_child("wsse:Password");
    password.append_attribute("Type") = ns::kPasswordDigestType;
    password.text().set(token.passwordDigest.c_str());
    pugi::xml_node nonce = usernameToken.append_child("wsse:Nonce");
    nonce.append_attribute("EncodingType") = ns::kBase64Encoding;
    nonce.text().set(token.nonce.c_str());
    usernameToken.append_child("wsu:Created").text().set(token.created.c_str());
}

void Request::setAddressing(const std::string& action, const std::string& to) {
    pugi::xml_node h = header();
    pugi::xml_node a = h.append_child("wsa:Action");
    a.append_attribute("xmlns:wsa") = ns::kAddressing;
    a.text().set(action.c_str());
    pugi::xml_node t = h.append_child("wsa:To");
    t.append_attribute("xmlns:wsa") = ns::kAddressing;
    t.text().set(to.c_str());
}

std::string Request::text() const {
    std::ostringstream out;
    document_.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + out.str();
}

} // namespace onvif
