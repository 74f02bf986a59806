#include "discovery_responder.h"

#include "platform/network_guard.h"

namespace camsim::onvif {

namespace {

// How soon stop() is noticed.
constexpr int kReceiveSliceMs = 50;
constexpr const char* kGroup = "239.255.255.250";

} // namespace

bool DiscoveryResponder::start(uint16_t port, bool hearGroup) {
    stop();
    if (!socket_.bind("127.0.0.1", port)) return false;
    // Membership on the loopback interface only: just this machine's own
    // probes to the group arrive there.
    if (hearGroup && !(group_.bind(kGroup, socket_.localPort()) && group_.joinGroup(kGroup, "127.0.0.1"))) {
        group_.close();
        socket_.close();
        return false;
    }
    port_.store(socket_.localPort());
    running_.store(true);
    thread_ = std::thread([this] { serve(); });
    return true;
}

void DiscoveryResponder::stop() {
    running_.store(false);
    if (thread_.joinable()) thread_.join();
    socket_.close();
    group_.close();
    port_.store(0);
}

void DiscoveryResponder::serve() {
    while (running_.load()) {
        if (group_.isOpen()) {
            answer(socket_, kReceiveSliceMs / 2);
            answer(group_, kReceiveSliceMs / 2);
        } else {
            answer(socket_, kReceiveSliceMs);
        }
    }
}

void DiscoveryResponder::answer(platform::UdpSocket& socket, int timeoutMs) {
    const std::optional<platform::Datagram> probe = socket.receive(timeoutMs);
    // Only probes from this machine are answered, whatever the guard says.
    if (!probe || !platform::isLoopbackAddress(probe->fromHost)) return;
    for (const DiscoveryIdentity& device : devices_()) {
        const std::optional<std::string> reply = answerProbe(probe->bytes, device);
        if (reply) socket.sendTo(probe->fromHost, probe->fromPort, *reply);
    }
}

} // namespace camsim::onvif
