// What the simulator received, for tests to read back. Every server thread
// appends; tests take snapshots or wait for a message to arrive.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

// The connection a message arrived on. Protocol version 1 uses Login,
// Control and Media; the other values are for further protocols and servers.
enum class Channel {
    Login,
    Control,
    Media,
    VideoV2,
    Http,
    AudioOut,
    Other,
};

const char* channelName(Channel channel);

struct ReceivedMessage {
    Channel channel = Channel::Other;
    uint32_t type = 0;            // message type; 0 where a channel has none (HTTP)
    std::vector<uint8_t> payload; // payload bytes, or the raw request for HTTP
    uint64_t sequence = 0;        // arrival order over all channels, from 1

    std::string payloadText() const { return std::string(payload.begin(), payload.end()); }
};

class Recording {
public:
    void add(Channel channel, uint32_t type, std::vector<uint8_t> payload);
    void clear();

    std::vector<ReceivedMessage> snapshot() const;
    std::vector<ReceivedMessage> on(Channel channel) const;
    // Types received on one channel, in arrival order.
    std::vector<uint32_t> typesOn(Channel channel) const;
    std::size_t count(Channel channel, uint32_t type) const;

    // Waits until a message matching the predicate is present (or arrives);
    // returns it, or false after timeoutMs.
    bool waitFor(const std::function<bool(const ReceivedMessage&)>& match, int timeoutMs,
                 ReceivedMessage* found = nullptr) const;
    bool waitFor(Channel channel, uint32_t type, int timeoutMs, ReceivedMessage* found = nullptr) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<ReceivedMessage> messages_;
    uint64_t nextSequence_ = 1;
};

} // namespace camsim
