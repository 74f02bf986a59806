// What a handle's stream tells its caller besides the callbacks: the last
// reason told on its behalf (a refused login, a lost connection), the
// size of the camera's pictures and, when asked, a grey copy of one. It belongs
// to the interface object, so that any thread may read it while sessions
// come and go.
#pragma once

#include <atomic>
#include <cstdint>

#include "picture_sampler.h"
#include "picture_scan.h"
#include "platform/diagnostics.h"

namespace ostrel {

struct StreamReport {
    // Kept by the handle's own threads and by the exports that act for it.
    platform::ReasonSlot reasons;

    // The camera's picture size as the stream carries it (not as fitted to
    // the window); 0 x 0 until a picture was decoded.
    void setStreamSize(PictureSize size) {
        streamSize_.store(static_cast<uint64_t>(static_cast<uint32_t>(size.width)) << 32 |
                          static_cast<uint32_t>(size.height));
    }
    PictureSize streamSize() const {
        const uint64_t both = streamSize_.load();
        return {static_cast<int32_t>(both >> 32), static_cast<int32_t>(both & 0xFFFFFFFFu)};
    }

    // Copies of drawn pictures for callers that compare them.
    PictureSampler pictures;

private:
    // Width and height in one word, so that a reader never gets half of a change.
    std::atomic<uint64_t> streamSize_{0};
};

} // namespace ostrel
