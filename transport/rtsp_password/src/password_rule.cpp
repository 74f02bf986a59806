#include "rtsp_password/password_rule.h"

#include <transport/streaming_types.h>

#include <algorithm>
#include <cctype>

namespace rtsp_password {

namespace {

bool startsWithScheme(std::string_view value, std::string_view scheme) {
    const std::size_t start = std::min(value.size(), value.find_first_not_of(" \t"));
    value.remove_prefix(start);
    if (value.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(value[i])) != scheme[i]) return false;
    }
    // The scheme is a whole token: "Basic realm=...", or "Basic" alone.
    return value.size() == scheme.size() || value[scheme.size()] == ' ' || value[scheme.size()] == '\t' ||
           value[scheme.size()] == ',';
}

} // namespace

Authentication authenticationFor(int32_t streamingType) {
    const transport::StreamingType* entry = transport::findStreamingType(streamingType);
    return entry != nullptr && entry->digestOnly ? Authentication::DigestOnly : Authentication::AsTheCameraAsks;
}

bool isBasic(std::string_view value) { return startsWithScheme(value, "basic"); }
bool isDigest(std::string_view value) { return startsWithScheme(value, "digest"); }

Answer answerTo(Authentication policy, std::span<const std::string_view> challenges) {
    const bool digest = std::any_of(challenges.begin(), challenges.end(), isDigest);
    const bool basic = std::any_of(challenges.begin(), challenges.end(), isBasic);
    if (digest) return Answer::Digest;
    if (!basic) return Answer::NoPassword;
    return policy == Authentication::DigestOnly ? Answer::Refuse : Answer::Basic;
}

std::string basicRefusalReason() {
    return "the camera asked for Basic authentication, which would send the password in clear text; refused "
           "(this camera type uses digest only)";
}

std::string basicRefusal(std::string_view camera) { return std::string(camera) + ": " + basicRefusalReason(); }

} // namespace rtsp_password
