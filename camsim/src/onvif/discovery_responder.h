// The simulated ONVIF camera's WS-Discovery responder: a UDP socket on
// 127.0.0.1 (a port the caller gives, or an ephemeral one), and when asked a
// second one on the multicast group's address joined on the loopback
// interface, whose thread answers each matching Probe to the address it came
// from, which must be a loopback one, once for each device it speaks for (the
// cameras of one machine share the discovery port). It never sends to the
// multicast group.
#pragma once

#include "discovery_message.h"
#include "platform/udp_socket.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace camsim::onvif {

class DiscoveryResponder {
public:
    // `devices` is asked for each probe (the addresses may change with the
    // cameras' faults).
    explicit DiscoveryResponder(std::function<std::vector<DiscoveryIdentity>()> devices)
        : devices_(std::move(devices)) {}
    ~DiscoveryResponder() { stop(); }
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    // False when the port is taken (or the group cannot be joined).
    bool start(uint16_t port, bool hearGroup = false);
    void stop();
    uint16_t port() const { return port_.load(); }

private:
    void serve();
    void answer(platform::UdpSocket& socket, int timeoutMs);

    std::function<std::vector<DiscoveryIdentity>()> devices_;
    platform::UdpSocket socket_;
    platform::UdpSocket group_; // open only while the group is heard
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<uint16_t> port_{0};
};

} // namespace camsim::onvif
