// The WS-UsernameToken a camera checks: the password travels only as
// Base64(SHA-1(nonce + created + password)), with "created" on the camera's
// clock so a camera whose clock is off still accepts it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace onvif {

struct UsernameToken {
    std::string user;
    std::string passwordDigest; // Base64
    std::string nonce;          // Base64 of the raw nonce bytes
    std::string created;        // UTC, "YYYY-MM-DDTHH:MM:SSZ"
};

std::string base64Encode(const std::string& bytes);
// The bytes, or an empty text when `text` is not Base64.
std::string base64Decode(const std::string& text);

// Base64(SHA-1(nonce + created + password)); `nonce` in raw bytes.
std::string passwordDigest(const std::string& nonce, const std::string& created, const std::string& password);

// UTC time stamp as the token writes it.
std::string formatUtc(std::time_t utc);

// A token with a fresh random nonce, created at `cameraUtc`.
UsernameToken makeUsernameToken(const std::string& user, const std::string& password, std::time_t cameraUtc);

} // namespace onvif
