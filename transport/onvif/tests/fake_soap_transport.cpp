#include "fake_soap_transport.h"

#include "onvif/xml.h"

#include <fstream>
#include <sstream>

namespace onvif::test {

SoapReply FakeSoapTransport::post(const std::string& url, const std::string& envelope, const HttpDigest* digest, int,
                                  const CallCancel*) {
    SeenRequest seen{url, {}, envelope, digest != nullptr};
    if (const auto document = parseXml(envelope)) {
        const pugi::xml_node body = soapBody(*document);
        for (const pugi::xml_node& node : body.children()) {
            if (node.type() == pugi::node_element) {
                seen.operation = std::string(localName(node));
                break;
            }
        }
    }
    {
        std::lock_guard lock(mutex_);
        seen_.push_back(seen);
        if (aborted_) return SoapReply{false, 0, {}, "aborted"};
    }
    return answer_(seen);
}

void FakeSoapTransport::abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
}

void FakeSoapTransport::reset() {
    std::lock_guard lock(mutex_);
    aborted_ = false;
}

std::vector<SeenRequest> FakeSoapTransport::requests() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

std::vector<std::string> FakeSoapTransport::operations() const {
    std::vector<std::string> names;
    for (const SeenRequest& r : requests()) names.push_back(r.operation);
    return names;
}

SoapReply okReply(const std::string& inner) {
    return SoapReply{true,
                     200,
                     "<?xml version=\"1.0\"?><SOAP-ENV:Envelope "
                     "xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\"><SOAP-ENV:Body>" +
                         inner + "</SOAP-ENV:Body></SOAP-ENV:Envelope>",
                     {}};
}

SoapReply faultReply(const std::string& subcode) {
    return SoapReply{true,
                     400,
                     "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\" "
                     "xmlns:ter=\"http://www.onvif.org/ver10/error\"><env:Body><env:Fault><env:Code><env:Value>env:"
                     "Sender</env:Value><env:Subcode><env:Value>" +
                         subcode +
                         "</env:Value></env:Subcode></env:Code><env:Reason><env:Text xml:lang=\"en\">refused</"
                         "env:Text></env:Reason></env:Fault></env:Body></env:Envelope>",
                     {}};
}

std::string dataFile(const std::string& name) {
    std::ifstream in(std::string(ONVIF_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string elementText(const std::string& envelope, const std::string& name) {
    const auto document = parseXml(envelope);
    if (!document) return {};
    return textOf(descendant(*document, name));
}

} // namespace onvif::test
