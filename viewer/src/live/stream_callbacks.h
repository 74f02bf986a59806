// The stream client's callbacks, bridged to the live view. Each stream gets
// its own bridge as the callbacks' user value, tagged with the stream's
// number, so that a late call from a stream that is already closed can be
// told apart from the current stream's.
#pragma once

#include <cstdint>

#include "ostrel/stream_client.h"

namespace tavolin::ui {

// What the view does with the calls; every method may run on a stream
// client thread and must only store or post, never wait.
class StreamEventSink {
 public:
  virtual ~StreamEventSink() = default;
  virtual void motionFromStream(uint64_t stream, int32_t r1, int32_t r2, int32_t r3, int32_t r4) = 0;
  virtual void digitalInputFromStream(uint64_t stream, int32_t di1, int32_t di2) = 0;
  virtual void networkLossFromStream(uint64_t stream) = 0;
};

struct StreamBridge {
  StreamEventSink* sink;
  uint64_t stream;
};

// Motion and digital-input callbacks (three motion regions).
void setEventCallbacks(OstrelInterface* handle, StreamBridge* bridge);
void setNetworkLossCallback(OstrelInterface* handle, StreamBridge* bridge);

}  // namespace tavolin::ui
