// UDP datagrams for device discovery. IPv4 only; RAII close. Every send
// passes the loopback guard, so under loopback-only mode nothing (a multicast
// group included) is sent outside 127.0.0.0/8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct Datagram {
    std::string bytes;
    std::string fromHost; // dotted text
    uint16_t fromPort = 0;
};

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Opens a socket bound to host:port (port 0: an ephemeral one). False on
    // failure (lastError() tells why).
    bool bind(const std::string& host, uint16_t port);
    bool isOpen() const { return fd_ >= 0; }
    // Joins the IPv4 multicast `group` on the interface that holds
    // `interfaceAddress`, so that datagrams to the group arriving there reach
    // this socket (bound to the group and its port). Joining is announced on
    // that interface, so the guard refuses interfaces outside 127.0.0.0/8.
    bool joinGroup(const std::string& group, const std::string& interfaceAddress);
    void close();

    // Sends one datagram; false when the guard or the system refused it
    // (lastError() EACCES for the guard).
    bool sendTo(const std::string& host, uint16_t port, const std::string& bytes);
    // Waits up to timeoutMs for one datagram (at most 64 KiB).
    std::optional<Datagram> receive(int timeoutMs);

    uint16_t localPort() const;
    int lastError() const { return lastError_; }

private:
    int fd_ = -1;
    int lastError_ = 0;
};

} // namespace platform
