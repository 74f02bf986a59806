#include "platform/tcp_socket.h"

#include "platform/network_guard.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <utility>

namespace platform {

namespace {

bool setBlocking(int fd, bool blocking) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) == 0;
}

bool setTimeout(int fd, int option, int timeoutMs) {
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    return ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

bool makeAddress(const std::string& host, uint16_t port, sockaddr_in& addr) {
    addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    return ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) == 1;
}

int pollOne(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        return r;
    }
}

// Milliseconds left until the deadline, rounded up so that a wait never
// ends just before it; 0 once it has passed.
int millisecondsLeft(Deadline deadline) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT32_MAX ? INT32_MAX : static_cast<int>(ms);
}

} // namespace

Deadline deadlineAfter(int timeoutMs) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
}

bool parseIPv4(const std::string& text, uint8_t out[4]) {
    in_addr a{};
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    const auto* b = reinterpret_cast<const uint8_t*>(&a.s_addr);
    for (int i = 0; i < 4; ++i) out[i] = b[i];
    return true;
}

TcpSocket::~TcpSocket() { close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), lastError_(other.lastError_.load()) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        lastError_ = other.lastError_.load();
    }
    return *this;
}

bool TcpSocket::connect(const std::string& host, uint16_t port, int timeoutMs) {
    close();
    sockaddr_in addr{};
    if (!makeAddress(host, port, addr)) {
        lastError_ = EINVAL;
        return false;
    }
    // Loopback-only mode: refused before a socket exists, so nothing is sent.
    if (!mayConnectTo(host)) {
        lastError_ = EACCES;
        return false;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    setBlocking(fd, false);
    int r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    if (r != 0 && errno != EINPROGRESS) {
        lastError_ = errno;
        ::close(fd);
        return false;
    }
    if (r != 0) {
        int ready = pollOne(fd, POLLOUT, timeoutMs < 0 ? -1 : timeoutMs);
        if (ready <= 0) {
            lastError_ = ready == 0 ? ETIMEDOUT : errno;
            ::close(fd);
            return false;
        }
        int soError = 0;
        socklen_t len = sizeof soError;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
        if (soError != 0) {
            lastError_ = soError;
            ::close(fd);
            return false;
        }
    }
    setBlocking(fd, true);
    fd_ = fd;
    lastError_ = 0;
    return true;
}

void TcpSocket::shutdown() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void TcpSocket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool TcpSocket::setReceiveTimeout(int timeoutMs) { return fd_ >= 0 && setTimeout(fd_, SO_RCVTIMEO, timeoutMs); }
bool TcpSocket::setSendTimeout(int timeoutMs) { return fd_ >= 0 && setTimeout(fd_, SO_SNDTIMEO, timeoutMs); }

bool TcpSocket::setReceiveBufferSize(int bytes) {
    return fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

bool TcpSocket::setSendBufferSize(int bytes) {
    return fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
}

bool TcpSocket::setNoDelay(bool on) {
    int v = on ? 1 : 0;
    return fd_ >= 0 && ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v) == 0;
}

bool TcpSocket::sendAll(const void* data, std::size_t length) {
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        ssize_t n = ::send(fd_, p, length, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            lastError_ = errno;
            return false;
        }
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

SendResult TcpSocket::sendAll(const void* data, std::size_t length, Deadline deadline) {
    if (fd_ < 0) {
        lastError_ = EBADF;
        return {false, 0};
    }
    const auto* p = static_cast<const uint8_t*>(data);
    std::size_t sent = 0;
    while (sent < length) {
        ssize_t n = ::send(fd_, p + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            lastError_ = errno;
            return {false, sent};
        }
        // The buffer is full: wait for room, but only until the deadline.
        const int left = millisecondsLeft(deadline);
        if (left == 0 || pollOne(fd_, POLLOUT, left) == 0) {
            lastError_ = ETIMEDOUT;
            return {false, sent};
        }
    }
    return {true, sent};
}

RecvResult TcpSocket::receiveSome(void* buffer, std::size_t length) {
    if (fd_ < 0) {
        lastError_ = EBADF;
        return {RecvStatus::Error, 0};
    }
    for (;;) {
        ssize_t n = ::recv(fd_, buffer, length, 0);
        if (n > 0) return {RecvStatus::Ok, static_cast<std::size_t>(n)};
        if (n == 0) return {length == 0 ? RecvStatus::Ok : RecvStatus::Closed, 0};
        if (errno == EINTR) continue;
        lastError_ = errno;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {RecvStatus::TimedOut, 0};
        return {RecvStatus::Error, 0};
    }
}

RecvResult TcpSocket::receiveAll(void* buffer, std::size_t length) {
    auto* p = static_cast<uint8_t*>(buffer);
    std::size_t got = 0;
    while (got < length) {
        RecvResult r = receiveSome(p + got, length - got);
        if (r.status != RecvStatus::Ok) return {r.status, got};
        got += r.bytes;
    }
    return {RecvStatus::Ok, got};
}

RecvResult TcpSocket::receiveAll(void* buffer, std::size_t length, Deadline deadline) {
    if (fd_ < 0) {
        lastError_ = EBADF;
        return {RecvStatus::Error, 0};
    }
    auto* p = static_cast<uint8_t*>(buffer);
    std::size_t got = 0;
    while (got < length) {
        ssize_t n = ::recv(fd_, p + got, length - got, MSG_DONTWAIT);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) return {RecvStatus::Closed, got};
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            lastError_ = errno;
            return {RecvStatus::Error, got};
        }
        const int left = millisecondsLeft(deadline);
        if (left == 0 || pollOne(fd_, POLLIN, left) == 0) {
            lastError_ = ETIMEDOUT;
            return {RecvStatus::TimedOut, got};
        }
    }
    return {RecvStatus::Ok, got};
}

bool TcpSocket::waitReadable(int timeoutMs) const {
    if (fd_ < 0) return false;
    return pollOne(fd_, POLLIN, timeoutMs) > 0;
}

uint16_t TcpSocket::localPort() const {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

std::string TcpSocket::peerAddress() const {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (fd_ < 0 || ::getpeername(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return {};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    return text;
}

TcpListener::~TcpListener() { close(); }

bool TcpListener::listen(const std::string& host, uint16_t port, int backlog) {
    close();
    sockaddr_in addr{};
    if (!makeAddress(host, port, addr)) return false;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    fd_ = fd;
    return true;
}

TcpSocket TcpListener::accept(int timeoutMs) {
    if (fd_ < 0) return TcpSocket();
    if (pollOne(fd_, POLLIN, timeoutMs) <= 0) return TcpSocket();
    int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    return TcpSocket(fd >= 0 ? fd : -1);
}

void TcpListener::shutdown() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void TcpListener::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace platform
