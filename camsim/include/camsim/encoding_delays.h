// How long the simulated camera takes to make each live picture: from its
// capture (the moment the time strip spells) to the encoded picture being
// handed to the RTP payloader. That takes in drawing the scene and the
// strip, waiting in the source's queue and encoding; not the packets' way
// out of the server. A client's age of the picture less this is what the
// network and the client add.
//
//   auto delays = std::make_shared<EncodingDelays>();
//   options.encodingDelays = delays;      // RtspOptions, live encoding
//   ... later: delays->figures().median  (microseconds)
#pragma once

#include "camsim/delay_figures.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace camsim {

// Kept by the pipelines' streaming threads, read by anyone.
class EncodingDelays {
public:
    void add(std::chrono::microseconds delay);
    // Over every picture so far, in microseconds.
    DelayFigures figures() const;

private:
    mutable std::mutex mutex_;
    std::vector<int64_t> delaysUs_;
};

} // namespace camsim
