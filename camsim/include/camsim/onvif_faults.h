// How a simulated ONVIF camera can misbehave, for tests of a client's
// bounded calls and of what it trusts in a camera's answers.
#pragma once

#include <cstddef>
#include <string>

namespace camsim {

enum class OnvifFault {
    None,
    // Reads each request, then never answers (the connection stays open).
    Stall,
    // Sends each answer one byte at a time, OnvifFaultSettings::trickleMs apart.
    Trickle,
    // Answers every request after authentication with a SOAP Fault.
    SoapFault,
    // The camera's clock runs OnvifFaultSettings::clockOffsetSeconds ahead;
    // username tokens must be created on that clock.
    SkewedClock,
    // Every address the camera hands out (service addresses, stream URIs,
    // subscription addresses, discovery XAddrs) names a 10.x host, as a
    // camera behind NAT does; the port and path stay right.
    ForeignXAddrs,
    // Every answer carries OnvifFaultSettings::hugeReplyBytes of padding.
    HugeReply,
};

struct OnvifFaultSettings {
    int trickleMs = 50;
    int clockOffsetSeconds = 600;
    std::size_t hugeReplyBytes = 2u << 20;
    // The host foreign addresses name; never contacted by anything here.
    std::string foreignHost = "10.254.0.9";
};

// "none", "stall", "trickle", "soap-fault", "skewed-clock", "foreign-xaddrs",
// "huge-reply"; false for anything else.
bool parseOnvifFault(const std::string& text, OnvifFault& fault);
const char* onvifFaultName(OnvifFault fault);

} // namespace camsim
