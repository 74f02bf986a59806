#include "audio_token.h"

#include "message_io.h"
#include "transport/protocol_message.h"

#include <chrono>
#include <cstring>
#include <vector>

namespace camsim {

namespace {

constexpr std::size_t kReplySize = 128;
constexpr uint32_t kRelease = 49;
// A client that asks again right after dropping its connection finds the
// token back once the camera has seen that connection end.
constexpr auto kLeavingHolderGrace = std::chrono::milliseconds(500);

} // namespace

AudioToken::AudioToken(Recording& recording, const std::atomic<bool>& refuseAll)
    : recording_(recording), refuseAll_(refuseAll) {}

void AudioToken::setForcedHolder(const std::array<uint8_t, 4>& address) {
    std::lock_guard lock(mutex_);
    forcedHolder_ = address;
}

void AudioToken::setPacketHandler(std::function<void(uint32_t, const std::vector<uint8_t>&)> handler) {
    onPacket_ = std::move(handler);
}

bool AudioToken::isHeld() const {
    std::lock_guard lock(mutex_);
    return holder_ != nullptr;
}

bool AudioToken::take(const Connection* asker, std::array<uint8_t, 4>& holder) {
    std::unique_lock lock(mutex_);
    if (refuseAll_.load()) {
        holder = forcedHolder_;
        return false;
    }
    released_.wait_for(lock, kLeavingHolderGrace, [&] { return holder_ == nullptr; });
    if (holder_ != nullptr) {
        holder = holderAddress_;
        return false;
    }
    holder_ = asker;
    holderAddress_ = holder;
    return true;
}

void AudioToken::give(const Connection* holder) {
    {
        std::lock_guard lock(mutex_);
        if (holder_ != holder) return;
        holder_ = nullptr;
    }
    released_.notify_all();
}

void AudioToken::serve(const std::shared_ptr<Connection>& c) {
    std::array<uint8_t, 4> address{};
    platform::parseIPv4(c->socket().peerAddress(), address.data());
    const bool granted = take(c.get(), address);

    std::vector<uint8_t> reply(kReplySize, 0);
    transport::putUint32Le(reply.data(), granted ? 0 : 1);
    std::memcpy(reply.data() + 8, address.data(), 4);
    if (c->send(reply.data(), reply.size())) {
        uint32_t type = 0;
        std::vector<uint8_t> payload;
        while (readMessage(*c, transport::kMaxMessagePayload, type, payload) == ReadResult::Ok) {
            recording_.add(Channel::AudioOut, type, payload);
            if (granted && onPacket_) onPacket_(type, payload);
            if (type == kRelease && granted) give(c.get());
        }
    }
    if (granted) give(c.get());
}

} // namespace camsim
