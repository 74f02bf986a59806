#include "camsim/recording.h"

#include <chrono>

namespace camsim {

const char* channelName(Channel channel) {
    switch (channel) {
    case Channel::Login: return "login";
    case Channel::Control: return "control";
    case Channel::Media: return "media";
    case Channel::VideoV2: return "video";
    case Channel::Http: return "http";
    case Channel::AudioOut: return "audio-out";
    case Channel::Other: break;
    }
    return "other";
}

void Recording::add(Channel channel, uint32_t type, std::vector<uint8_t> payload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(ReceivedMessage{channel, type, std::move(payload), nextSequence_++});
    }
    changed_.notify_all();
}

void Recording::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
}

std::vector<ReceivedMessage> Recording::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<ReceivedMessage> Recording::on(Channel channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ReceivedMessage> out;
    for (const auto& m : messages_) {
        if (m.channel == channel) out.push_back(m);
    }
    return out;
}

std::vector<uint32_t> Recording::typesOn(Channel channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint32_t> out;
    for (const auto& m : messages_) {
        if (m.channel == channel) out.push_back(m.type);
    }
    return out;
}

std::size_t Recording::count(Channel channel, uint32_t type) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t n = 0;
    for (const auto& m : messages_) {
        if (m.channel == channel && m.type == type) ++n;
    }
    return n;
}

bool Recording::waitFor(const std::function<bool(const ReceivedMessage&)>& match, int timeoutMs,
                        ReceivedMessage* found) const {
    std::unique_lock<std::mutex> lock(mutex_);
    auto test = [&] {
        for (const auto& m : messages_) {
            if (match(m)) {
                if (found != nullptr) *found = m;
                return true;
            }
        }
        return false;
    };
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), test);
}

bool Recording::waitFor(Channel channel, uint32_t type, int timeoutMs, ReceivedMessage* found) const {
    return waitFor([&](const ReceivedMessage& m) { return m.channel == channel && m.type == type; }, timeoutMs, found);
}

} // namespace camsim
