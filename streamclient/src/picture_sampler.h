// A grey copy of the next picture drawn, made only when a caller asks for
// one: the drawing thread offers every picture, and converts and scales it
// (libyuv) only while a caller waits. Callers take turns.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace ostrel {

struct PictureDescriptor;

class PictureSampler {
public:
    // Waits up to timeoutMs for the next picture drawn after the call and
    // writes it, grey, scaled to width x height, into `out`. False when none
    // came in time or the size is not one.
    bool next(uint8_t* out, int width, int height, int timeoutMs);

    // The drawing thread's picture; cheap when nobody waits.
    void offer(const PictureDescriptor& picture);
    // The same for a picture drawn as planes: its luma plane, studio or full
    // range.
    void offerLuma(const uint8_t* luma, std::size_t stride, int width, int height, bool fullRange);

private:
    std::mutex callers_; // one caller at a time
    std::mutex mutex_;
    std::condition_variable served_;
    bool waiting_ = false;
    bool done_ = false;
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> sample_;
    std::vector<uint8_t> argb_; // reused: converted and scaled pictures
    std::vector<uint8_t> scaled_;
};

} // namespace ostrel
