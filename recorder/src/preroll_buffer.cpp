#include "recorder/preroll_buffer.h"

#include <utility>

namespace recorder {

void PreRollBuffer::push(Frame frame) {
    const bool startsGroup = isVideo(frame.kind) && frame.key;
    if (!startsGroup && groups_.empty()) return;
    if (startsGroup) {
        groups_.push_back(Group{frame.timeMs, 0, {}});
        // A group that fits again: what was kept is shorter, no longer empty.
        if (shortened_ == Shortened::GroupTooLarge) shortened_ = Shortened::ByBytes;
    }
    const int64_t newestMs = frame.timeMs;
    const std::size_t cost = memoryCost(frame);
    Group& group = groups_.back();
    group.frames.push_back(std::move(frame));
    group.bytes += cost;
    bytes_ += cost;
    dropOldGroups(newestMs);
}

void PreRollBuffer::dropOldGroups(int64_t newestMs) {
    // The clip may start at the newest key picture at least `duration` old;
    // everything before it goes.
    while (groups_.size() >= 2 && groups_[1].startMs <= newestMs - limits_.durationMs) {
        bytes_ -= groups_.front().bytes;
        groups_.pop_front();
    }
    // Then the oldest whole groups for the byte bound; the newest, still
    // growing, goes last, and with it everything until the next key picture.
    while (!groups_.empty() && bytes_ > limits_.maxBytes) {
        bytes_ -= groups_.front().bytes;
        groups_.pop_front();
        shortened_ = groups_.empty() ? Shortened::GroupTooLarge : Shortened::ByBytes;
    }
}

std::vector<Frame> PreRollBuffer::newestGroup() const {
    if (groups_.empty()) return {};
    return groups_.back().frames;
}

std::vector<Frame> PreRollBuffer::take() {
    std::vector<Frame> all;
    all.reserve(frameCount());
    for (Group& group : groups_) {
        for (Frame& frame : group.frames) all.push_back(std::move(frame));
    }
    clear();
    return all;
}

void PreRollBuffer::clear() {
    groups_.clear();
    bytes_ = 0;
    shortened_ = Shortened::No;
}

std::size_t PreRollBuffer::frameCount() const {
    std::size_t n = 0;
    for (const Group& group : groups_) n += group.frames.size();
    return n;
}

} // namespace recorder
