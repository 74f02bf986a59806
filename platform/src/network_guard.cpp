#include "platform/network_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

constexpr const char* kVariable = "TAVOLIN_LOOPBACK_ONLY";

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The first IPv4 address the hosts file gives for `name`, or "".
std::string lookUpHostsFile(const std::string& name, const std::string& hostsFile) {
    std::ifstream in(hostsFile);
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string address;
        if (!(fields >> address)) continue;
        in_addr parsed{};
        if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) continue;
        std::string alias;
        while (fields >> alias) {
            if (sameName(alias, name)) return address;
        }
    }
    return {};
}

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

GuardedHost guardHost(const std::string& host, const std::string& hostsFile) {
    if (!loopbackOnly()) return {true, host, {}};
    if (host.empty()) return {false, {}, loopbackRefusal(host)};
    in_addr v4{};
    if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        if (isLoopbackAddress(host)) return {true, host, {}};
        return {false, {}, loopbackRefusal(host)};
    }
    if (host.find(':') != std::string::npos) return {false, {}, loopbackRefusal(host)};
    const std::string address = lookUpHostsFile(host, hostsFile);
    if (address.empty()) {
        return {false,
                {},
                "loopback-only mode refuses " + host +
                    " (not in the hosts file; asking a name server would leave the "
                    "machine)"};
    }
    if (!isLoopbackAddress(address)) return {false, {}, loopbackRefusal(host + " (" + address + ")")};
    return {true, address, {}};
}

} // namespace platform
