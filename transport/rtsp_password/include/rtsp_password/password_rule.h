// The one rule for a camera's password on every RTSP request (the picture
// on libavformat, the back channel and replay on GStreamer's RTSP source):
// a camera whose streaming type says digest only gets digest credentials or
// none; a challenge that offers Basic alone is refused, since answering it
// would put the password on the wire in clear text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace rtsp_password {

// How a session may answer a camera that asks for the password.
enum class Authentication {
    AsTheCameraAsks, // Basic or Digest
    DigestOnly,      // a request for Basic ends the session
};

// From the one table of streaming types.
Authentication authenticationFor(int32_t streamingType);

// What to do about the challenges (WWW-Authenticate values) of one answer.
enum class Answer {
    NoPassword, // nothing asked: the password stays home
    Digest,     // answer with digest credentials
    Basic,      // answer with Basic credentials (allowed by the policy)
    Refuse,     // Basic alone under DigestOnly: never answered
};

Answer answerTo(Authentication policy, std::span<const std::string_view> challenges);

// True for a challenge (or an Authorization value) of that scheme.
bool isBasic(std::string_view value);
bool isDigest(std::string_view value);

// The reason given when a Basic challenge is refused, and the one line that
// names the camera (an address without credentials).
std::string basicRefusalReason();
std::string basicRefusal(std::string_view camera);

} // namespace rtsp_password
