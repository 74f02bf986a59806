#include "platform/network_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

constexpr const char* kVariable = "TAVOLIN_LOOPBACK_ONLY";

} // namespace

bool loopbackOnly() {
    const char* value = std::getenv(kVariable);
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

void enableLoopbackOnly() { ::setenv(kVariable, "1", 1); }

bool isLoopbackAddress(const std::string& host) {
    in_addr address{};
    if (::inet_pton(AF_INET, host.c_str(), &address) != 1) return false;
    return (ntohl(address.s_addr) >> 24) == 127;
}

bool mayConnectTo(const std::string& host) { return !loopbackOnly() || isLoopbackAddress(host); }

std::string loopbackRefusal(const std::string& host) {
    return "loopback-only mode refuses " + (host.empty() ? std::string("an empty address") : host) +
           " (only 127.0.0.0/8 may be reached)";
}

} // namespace platform
