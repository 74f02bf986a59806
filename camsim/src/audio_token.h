// The audio-out token of a camera: one client at a time may talk to it. A
// client asks on a control connection with login code 2; the camera grants
// the token (status 0, the client's own address) or refuses it (status 1,
// the holder's address) and records every message that follows.
#pragma once

#include "camsim/recording.h"
#include "camsim/tcp_server.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace camsim {

class AudioToken {
public:
    // refuseAll: a switch that makes every request fail as if the token were
    // taken by the holder set with setForcedHolder().
    AudioToken(Recording& recording, const std::atomic<bool>& refuseAll);

    // Address a forced refusal names (192.168.0.5 unless set).
    void setForcedHolder(const std::array<uint8_t, 4>& address);
    bool isHeld() const;
    // Called (on the connection's thread) with every message the holder
    // sends, after it is recorded. Set before the camera starts.
    void setPacketHandler(std::function<void(uint32_t type, const std::vector<uint8_t>& payload)> handler);

    // Serves one request whose login block was already read; returns when
    // the client is gone. Every message after the reply is recorded on
    // Channel::AudioOut; message 49 or the end of the connection frees a
    // token the client held.
    void serve(const std::shared_ptr<Connection>& connection);

private:
    // Takes the token, waiting a little for a holder that is leaving.
    bool take(const Connection* asker, std::array<uint8_t, 4>& holder);
    void give(const Connection* holder);

    Recording& recording_;
    const std::atomic<bool>& refuseAll_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    const Connection* holder_ = nullptr;
    std::array<uint8_t, 4> holderAddress_{};
    std::array<uint8_t, 4> forcedHolder_{192, 168, 0, 5};
    std::function<void(uint32_t, const std::vector<uint8_t>&)> onPacket_;
};

} // namespace camsim
