// How the simulated ONVIF camera checks who is asking: a WS-UsernameToken
// password digest in the SOAP header (SHA-1 over nonce, creation time and
// password, the time within a window of the camera's clock, each nonce used
// once), or HTTP digest authentication (RFC 7616, MD5, qop "auth").
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace camsim::onvif {

enum class TokenCheck {
    Missing, // no UsernameToken in the header
    Accepted,
    Refused,     // wrong user, digest or password
    OutOfWindow, // created too far from the camera's clock
    Replayed,    // a nonce seen before
    Malformed,
};

// Base64 of SHA-1(nonce + created + password), as a client computes it.
std::string passwordDigest(const std::string& nonce, const std::string& created, const std::string& password);
std::string base64Encode(const std::string& bytes);
// False when the text is not Base64.
bool base64Decode(const std::string& text, std::string& bytes);

class UsernameTokenChecker {
public:
    TokenCheck check(const pugi::xml_node& soapHeader, const std::string& user, const std::string& password,
                     int64_t cameraNowSeconds, int windowSeconds);

private:
    bool rememberNonce(const std::string& nonce);

    std::mutex mutex_;
    std::deque<std::string> nonces_; // the most recent ones, oldest first
};

class HttpDigestChecker {
public:
    explicit HttpDigestChecker(std::string realm) : realm_(std::move(realm)) {}
    // A WWW-Authenticate value with a fresh nonce.
    std::string challenge();
    // True when the Authorization value answers one of our nonces with the
    // user's password for this method and request target.
    bool verify(const std::string& authorization, const std::string& method, const std::string& target,
                const std::string& user, const std::string& password);

private:
    std::string realm_;
    std::mutex mutex_;
    std::deque<std::string> issued_;
};

} // namespace camsim::onvif
