#include "stream/frame_fan_out.h"

#include <algorithm>

namespace tavolin::ui {

void FrameFanOut::tap(void* fanOut, int32_t frameKind, const uint8_t* record, int32_t length) {
    static_cast<FrameFanOut*>(fanOut)->deliver(frameKind, record, length);
}

void FrameFanOut::deliver(int32_t frameKind, const uint8_t* record, int32_t length) {
    std::lock_guard lock(mutex_);
    for (Entry& e : consumers_) {
        e.consumer.function(e.consumer.user, frameKind, record, length);
        e.fed = record != nullptr;
    }
}

void FrameFanOut::add(Consumer consumer) {
    if (consumer.function == nullptr) return;
    std::lock_guard lock(mutex_);
    if (std::none_of(consumers_.begin(), consumers_.end(), [&](const Entry& e) { return e.consumer == consumer; }))
        consumers_.push_back({consumer, false});
}

void FrameFanOut::remove(Consumer consumer) {
    std::lock_guard lock(mutex_);
    const auto it =
        std::find_if(consumers_.begin(), consumers_.end(), [&](const Entry& e) { return e.consumer == consumer; });
    if (it == consumers_.end()) return;
    if (it->fed) consumer.function(consumer.user, 0, nullptr, 0);
    consumers_.erase(it);
}

bool FrameFanOut::has(Consumer consumer) const {
    std::lock_guard lock(mutex_);
    return std::any_of(consumers_.begin(), consumers_.end(), [&](const Entry& e) { return e.consumer == consumer; });
}

std::size_t FrameFanOut::consumers() const {
    std::lock_guard lock(mutex_);
    return consumers_.size();
}

} // namespace tavolin::ui
