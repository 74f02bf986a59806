// The seconds before a recording starts: a camera's latest compressed
// pictures and audio, kept as whole groups of pictures so that what it hands
// over always starts at a key picture. It holds the last `duration` from the
// key picture at or before that (so a little more), and never more than
// `maxBytes` of memory: the oldest groups go first, and a single group larger
// than the bound is dropped whole, keeping nothing until the next key picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "recorder/frame.h"

namespace recorder {

struct PreRollLimits {
    std::size_t maxBytes = std::size_t{32} << 20;
    int64_t durationMs = 10000;
};

class PreRollBuffer {
public:
    explicit PreRollBuffer(PreRollLimits limits = {}) : limits_(limits) {}

    // Takes a frame whose timeMs is repaired; frames before the first key
    // picture (audio too) are dropped.
    void push(Frame frame);
    // Everything kept, oldest first (a key picture first); the buffer is then
    // empty and waits for the next key picture.
    std::vector<Frame> take();
    void clear();

    std::size_t bytes() const { return bytes_; }
    std::size_t frameCount() const;
    bool empty() const { return groups_.empty(); }
    // Time of the first kept key picture; 0 when empty.
    int64_t firstTimeMs() const { return groups_.empty() ? 0 : groups_.front().startMs; }
    // Copies of the frames from the newest key picture on; empty when none.
    std::vector<Frame> newestGroup() const;

    // Why it holds less than its duration, since the last take or clear.
    enum class Shortened {
        No,
        ByBytes,      // older groups went for the byte bound
        GroupTooLarge // one group outgrew the bound: empty until the next key picture
    };
    Shortened shortened() const { return shortened_; }

private:
    struct Group {
        int64_t startMs = 0;
        std::size_t bytes = 0;
        std::vector<Frame> frames;
    };
    void dropOldGroups(int64_t newestMs);

    PreRollLimits limits_;
    std::deque<Group> groups_;
    std::size_t bytes_ = 0;
    Shortened shortened_ = Shortened::No;
};

} // namespace recorder
