// What the wall asks of the streams of its cameras, one stream per camera
// position at most. The widget layer keeps one camera stream object per
// open position; tests record the calls.
#pragma once

namespace tavolin {

class WallStreams {
public:
    virtual ~WallStreams() = default;
    // Starts connecting camera `position`; its news comes back through the
    // controller's stream events.
    virtual void open(int position, bool playAudio) = 0;
    // Ends the stream; the controller's streamClosed follows once it is gone.
    virtual void close(int position) = 0;
    virtual void setAudio(int position, bool play) = 0;
};

} // namespace tavolin
