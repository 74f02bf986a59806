// A bare SOAP client for the simulated ONVIF camera's tests: builds envelopes
// (with a username token computed here, with OpenSSL, not by the camera's
// code), posts them over a plain socket and reads the whole answer.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace camsim::test {

struct SoapAnswer {
    int status = 0; // 0: no complete answer
    std::string head;
    std::string body;
    std::string header(const std::string& name) const; // case-insensitive, first match
    // The body parsed; empty document when it is not XML.
    bool parse(pugi::xml_document& document) const;
};

// Seconds since 1970 on the system clock.
int64_t nowSeconds();
std::string isoUtc(int64_t seconds);

// A <wsse:Security> header for user and password, created at `created`
// (seconds since 1970), with the given 16-byte nonce (random when empty).
std::string usernameToken(const std::string& user, const std::string& password, int64_t created,
                          const std::string& nonce = {});
// A SOAP 1.2 envelope around `body`, with `header` in its Header.
std::string envelope(const std::string& body, const std::string& header = {});

struct PostOptions {
    std::string path = "/onvif/device_service";
    std::vector<std::string> headers; // whole header lines
    int timeoutMs = 5000;
};
SoapAnswer post(uint16_t port, const std::string& body, const PostOptions& options = {});

// The text of the first element with this local name anywhere in the answer.
std::string findText(const pugi::xml_document& document, const char* local);
// Every element with this local name anywhere in the answer.
std::vector<pugi::xml_node> findAll(const pugi::xml_document& document, const char* local);

// MD5 hex, for answering a digest challenge in tests.
std::string md5Hex(const std::string& text);

} // namespace camsim::test
