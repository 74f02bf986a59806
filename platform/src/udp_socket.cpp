#include "platform/udp_socket.h"

#include "platform/network_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace platform {

namespace {

bool toAddress(const std::string& host, uint16_t port, sockaddr_in& out) {
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return ::inet_pton(AF_INET, host.c_str(), &out.sin_addr) == 1;
}

} // namespace

UdpSocket::~UdpSocket() { close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)), lastError_(other.lastError_) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        lastError_ = other.lastError_;
    }
    return *this;
}

void UdpSocket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool UdpSocket::bind(const std::string& host, uint16_t port) {
    close();
    sockaddr_in address{};
    if (!toAddress(host, port, address)) {
        lastError_ = EINVAL;
        return false;
    }
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        lastError_ = errno;
        return false;
    }
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        lastError_ = errno;
        close();
        return false;
    }
    return true;
}

bool UdpSocket::joinGroup(const std::string& group, const std::string& interfaceAddress) {
    ip_mreq request{};
    if (::inet_pton(AF_INET, group.c_str(), &request.imr_multiaddr) != 1 ||
        ::inet_pton(AF_INET, interfaceAddress.c_str(), &request.imr_interface) != 1) {
        lastError_ = EINVAL;
        return false;
    }
    if (!mayConnectTo(interfaceAddress)) {
        lastError_ = EACCES;
        return false;
    }
    if (::setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}

bool UdpSocket::sendTo(const std::string& host, uint16_t port, const std::string& bytes) {
    sockaddr_in address{};
    if (!toAddress(host, port, address)) {
        lastError_ = EINVAL;
        return false;
    }
    if (!mayConnectTo(host)) {
        lastError_ = EACCES;
        return false;
    }
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    const ssize_t sent =
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent != static_cast<ssize_t>(bytes.size())) {
        lastError_ = sent < 0 ? errno : EMSGSIZE;
        return false;
    }
    return true;
}

std::optional<Datagram> UdpSocket::receive(int timeoutMs) {
    if (fd_ < 0) return std::nullopt;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready <= 0) {
        lastError_ = ready == 0 ? ETIMEDOUT : errno;
        return std::nullopt;
    }
    std::vector<char> buffer(65536);
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
        lastError_ = errno;
        return std::nullopt;
    }
    Datagram datagram;
    datagram.bytes.assign(buffer.data(), static_cast<std::size_t>(n));
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    datagram.fromHost = text;
    datagram.fromPort = ntohs(from.sin_port);
    return datagram;
}

uint16_t UdpSocket::localPort() const {
    if (fd_ < 0) return 0;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

} // namespace platform
