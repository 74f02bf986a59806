// Talking to a camera over its audio back channel: the RTSP session that
// carries it and the encoder for what the camera offers, behind one object.
// Open and close run on the caller's thread; PCM may come from another (the
// microphone's) at the same time.
#pragma once

#include "talk/back_channel_session.h"
#include "talk/talk_encoder.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace talk {

class BackChannel {
public:
    BackChannel() = default;
    ~BackChannel(); // close()
    BackChannel(const BackChannel&) = delete;
    BackChannel& operator=(const BackChannel&) = delete;

    // Sets the back channel up within `deadlineMs`; false with reason().
    bool open(const SessionTarget& target, int deadlineMs);
    // 16-bit mono PCM at 8,000 samples/s; false when not open.
    bool send(const int16_t* samples, std::size_t count);
    void close();

    bool isOpen() const;
    // Why the last open failed, one line.
    std::string reason() const;
    // The encoding in use, for people ("" when closed).
    std::string encodingText() const;

private:
    mutable std::mutex mutex_;
    BackChannelSession session_;
    TalkEncoder encoder_;
    bool open_ = false;
    std::string reason_;
    std::string encoding_;
};

} // namespace talk
