#include "discovery_responder.h"

#include "platform/network_guard.h"

namespace camsim::onvif {

namespace {

// How soon stop() is noticed.
constexpr int kReceiveSliceMs = 50;

} // namespace

bool DiscoveryResponder::start(uint16_t port) {
    stop();
    if (!socket_.bind("127.0.0.1", port)) return false;
    port_.store(socket_.localPort());
    running_.store(true);
    thread_ = std::thread([this] { serve(); });
    return true;
}

void DiscoveryResponder::stop() {
    running_.store(false);
    if (thread_.joinable()) thread_.join();
    socket_.close();
    port_.store(0);
}

void DiscoveryResponder::serve() {
    while (running_.load()) {
        const std::optional<platform::Datagram> probe = socket_.receive(kReceiveSliceMs);
        // Only probes from this machine are answered, whatever the guard says.
        if (!probe || !platform::isLoopbackAddress(probe->fromHost)) continue;
        for (const DiscoveryIdentity& device : devices_()) {
            const std::optional<std::string> answer = answerProbe(probe->bytes, device);
            if (answer) socket_.sendTo(probe->fromHost, probe->fromPort, *answer);
        }
    }
}

} // namespace camsim::onvif
