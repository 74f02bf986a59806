// Turns talk-back PCM (16-bit mono, 8,000 samples/s) into the RTP packets of
// one encoding, on a GStreamer pipeline of its own. The packets come out on
// the pipeline's streaming thread, handed to the sink one by one.
#pragma once

#include "talk/running_pipeline.h"
#include "talk/talk_encoding.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

typedef struct _GstSample GstSample;

namespace talk {

class TalkEncoder {
public:
    // Takes each packet (a sample whose caps are the RTP caps); the sink owns
    // it from then on.
    using PacketSink = std::function<void(GstSample* packet)>;

    TalkEncoder() = default;
    ~TalkEncoder(); // stop()
    TalkEncoder(const TalkEncoder&) = delete;
    TalkEncoder& operator=(const TalkEncoder&) = delete;

    // Builds and starts the pipeline; false with the reason in `error`.
    bool start(const Encoding& encoding, PacketSink sink, std::string& error);
    // Queues samples for encoding; false when not started. Samples keep
    // their own time line: a pause in talking is no gap in the stream.
    bool push(const int16_t* samples, std::size_t count);
    // Ends the pipeline; no packet comes out afterwards.
    void stop();

private:
    std::mutex mutex_;        // running_, position_
    RunningPipeline running_; // the pipeline and its appsrc
    uint64_t position_ = 0;   // samples pushed so far
    PacketSink sink_;
};

} // namespace talk
