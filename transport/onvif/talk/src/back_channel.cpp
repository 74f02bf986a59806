#include "talk/back_channel.h"

namespace talk {

BackChannel::~BackChannel() { close(); }

bool BackChannel::open(const SessionTarget& target, int deadlineMs) {
    close();
    std::lock_guard lock(mutex_);
    reason_.clear();
    const std::optional<Encoding> encoding = session_.open(target, deadlineMs);
    if (!encoding) {
        reason_ = session_.reason();
        return false;
    }
    std::string error;
    if (!encoder_.start(
            *encoding, [this](GstSample* packet) { session_.push(packet); }, error)) {
        session_.close();
        reason_ = error;
        return false;
    }
    encoding_ = describe(*encoding);
    open_ = true;
    return true;
}

bool BackChannel::send(const int16_t* samples, std::size_t count) {
    std::lock_guard lock(mutex_);
    return open_ && encoder_.push(samples, count);
}

void BackChannel::close() {
    std::lock_guard lock(mutex_);
    if (!open_) return;
    open_ = false;
    // The encoder's thread pushes into the session: it goes first.
    encoder_.stop();
    session_.close();
    encoding_.clear();
}

bool BackChannel::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

std::string BackChannel::reason() const {
    std::lock_guard lock(mutex_);
    return reason_;
}

std::string BackChannel::encodingText() const {
    std::lock_guard lock(mutex_);
    return encoding_;
}

} // namespace talk
