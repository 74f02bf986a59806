// The misbehaving front of a simulated RTSP camera: listens where clients
// connect, relays to the real server and spoils the conversation the way
// the fault says (or, for faults that never reach the server, answers by
// itself). Test tooling: the real RTSP work stays in GStreamer's server.
#pragma once

#include "camsim/faults.h"
#include "camsim/rtsp_faults.h"
#include "camsim/tcp_server.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace camsim::rtsp {

class FaultRelay {
public:
    FaultRelay(RtspFault fault, const RtspFaultSettings& settings);
    ~FaultRelay();
    FaultRelay(const FaultRelay&) = delete;
    FaultRelay& operator=(const FaultRelay&) = delete;

    // Listens on 127.0.0.1:port (0: ephemeral) in front of the server on
    // serverPort.
    bool start(uint16_t port, uint16_t serverPort);
    void stop(); // ends every connection and joins its threads
    uint16_t port() const { return server_.port(); }
    // Requests that carried Basic credentials, on every connection so far.
    int basicAuthorizationsSeen() const { return basicSeen_.load(); }
    // Client connections so far, and the most served at once.
    int connectionsSeen() const { return connections_.load(); }
    int mostAtOnce() const { return mostAtOnce_.load(); }

private:
    void serve(const std::shared_ptr<Connection>& client);
    void relay(const std::shared_ptr<Connection>& client);
    void answerAlone(const std::shared_ptr<Connection>& client);
    void relayCounted(const std::shared_ptr<Connection>& client);

    const RtspFault fault_;
    const RtspFaultSettings settings_;
    LinkFaults link_;
    uint16_t serverPort_ = 0;
    std::atomic<int> basicSeen_{0};
    std::atomic<int> connections_{0};
    std::atomic<int> served_{0}; // relayed now
    std::atomic<int> mostAtOnce_{0};
    TcpServer server_;
};

} // namespace camsim::rtsp
