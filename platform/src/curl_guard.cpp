#include "curl_guard.h"

#include "platform/network_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <mutex>

namespace platform::detail {

namespace {

// Refuses, under loopback-only mode, every address outside 127.0.0.0/8 once
// libcurl resolved it (an IPv6 address included).
extern "C" curl_socket_t openGuardedSocket(void* user, curlsocktype, curl_sockaddr* address) {
    auto* guard = static_cast<SocketGuard*>(user);
    if (loopbackOnly()) {
        bool loopback = false;
        if (address->family == AF_INET && address->addrlen >= sizeof(sockaddr_in)) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(&address->addr);
            loopback = (ntohl(in->sin_addr.s_addr) >> 24) == 127;
        }
        if (!loopback) {
            guard->refused = true;
            return CURL_SOCKET_BAD;
        }
    }
    const curl_socket_t socket = ::socket(address->family, address->socktype, address->protocol);
    if (socket != CURL_SOCKET_BAD) ++guard->opened;
    return socket;
}

} // namespace

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string curlUrlHost(const std::string& url) {
    CURLU* parsed = curl_url();
    if (parsed == nullptr) return {};
    std::string host;
    char* part = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_DEFAULT_SCHEME) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK && part != nullptr) {
        host = part;
    }
    curl_free(part);
    curl_url_cleanup(parsed);
    return host;
}

void guardSockets(CURL* easy, SocketGuard* guard) {
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, openGuardedSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, guard);
}

} // namespace platform::detail
