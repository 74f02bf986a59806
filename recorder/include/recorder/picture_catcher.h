// A snapshot from a camera's compressed stream: fed its frame records (the
// stream client's tap, which a view's connection already runs) or frames
// kept before (the newest group of a pre-roll), it decodes them from a key
// picture on a thread of its own with libavcodec and keeps the first picture
// decoded without errors, whose group decoded without errors up to it (a
// damaged picture smears into the ones after it until the next key
// picture). The picture is coded as a JPEG at the stream's own size.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "recorder/frame.h"

namespace recorder {

class PictureCatcher {
public:
    struct Picture {
        std::vector<uint8_t> jpeg;
        int width = 0;
        int height = 0;
        std::chrono::system_clock::time_point taken; // when its frame arrived
    };

    // `caught` runs once, on the catcher's thread, when the picture is there.
    explicit PictureCatcher(std::function<void()> caught = {});
    // Joins the thread; frames still queued are dropped.
    ~PictureCatcher();
    PictureCatcher(const PictureCatcher&) = delete;
    PictureCatcher& operator=(const PictureCatcher&) = delete;

    // The stream client's frame tap with the catcher as its user value.
    static void tap(void* catcher, int32_t frameKind, const uint8_t* record, int32_t length);
    // A frame record as the tap hands it over; copied, returns at once.
    void take(int32_t frameKind, const uint8_t* record, int32_t length);
    // A frame kept before (its arrival on the platform's clock, in ms). Once
    // such frames were given, records from the tap are taken only from their
    // next key picture on: what came between is missing.
    void take(Frame frame);

    std::optional<Picture> picture() const;
    // Why there is no picture (yet), as one phrase for "No snapshot: ...".
    std::string whyNone() const;
    // Waits up to `timeoutMs` for the picture.
    bool waitFor(int timeoutMs) const;

private:
    void queue(Frame frame);
    void run();
    void decode(const Frame& frame);

    std::function<void()> caught_;
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    std::deque<Frame> queue_;
    std::size_t queuedBytes_ = 0;
    bool skipToKey_ = false;   // the queue overflowed
    bool seeded_ = false;      // frames kept before came
    bool liveFromKey_ = false; // records are taken (after a seed: from a key picture)
    bool quit_ = false;
    std::optional<Picture> picture_;
    int damaged_ = 0;     // pictures decoded with errors
    std::string failure_; // no decoder, a JPEG that could not be made

    struct Decoder;
    std::unique_ptr<Decoder> decoder_; // the thread's alone
    std::thread thread_;               // last: starts once the rest exists
};

} // namespace recorder
