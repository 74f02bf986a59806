// Switches that make the simulated camera misbehave the way real cameras do.
// Tests flip them at any time from any thread; the server reads them as it goes.
#pragma once

#include <atomic>
#include <cstdint>

namespace camsim {

// Byte-level misbehaviour of a camera's connections; both camera kinds carry
// one set, shared by all their channels.
struct LinkFaults {
    // Stop reading what clients send: connections stay open and, as clients
    // go on sending, their buffers fill.
    std::atomic<bool> stopReading{false};
    // Send everything one byte at a time, this many milliseconds apart
    // (0: at once).
    std::atomic<int> trickleMs{0};
};

struct FaultSwitches {
    // Login: answer the login record with a refusal (first byte 0).
    std::atomic<bool> refuseLogin{false};
    // Login: answer the connection-number request with 0.
    std::atomic<bool> zeroConnectionNumber{false};
    // Login: never answer on the login channel.
    std::atomic<bool> silentLogin{false};
    // Control/media: refuse the attach request (first byte 0).
    std::atomic<bool> refuseControlAttach{false};
    std::atomic<bool> refuseMediaAttach{false};
    // Control: do not answer keep-alive requests.
    std::atomic<bool> ignoreKeepAlive{false};
    // Control: do not answer configuration requests (video, motion).
    std::atomic<bool> ignoreConfigRequests{false};
    // Stop sending anything on a channel, keeping the connection open.
    std::atomic<bool> stallControl{false};
    std::atomic<bool> stallMedia{false};
    // Media: the next video message carries a wrong magic.
    std::atomic<bool> wrongMagicOnce{false};
    // Media: the next video message announces a payload above the limit.
    std::atomic<bool> oversizedPayloadOnce{false};
    // Control: close the control connection after the disconnection message.
    std::atomic<bool> closeControlOnBye{false};
    // Stop reading, trickle answers (every channel).
    LinkFaults link;
};

} // namespace camsim
