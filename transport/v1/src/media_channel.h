// The media channel: attach handshake, stream header, and reading camera
// video messages into frame records.
#pragma once

#include "channel_socket.h"
#include "control_channel.h"
#include "frame_builder.h"
#include "instance_state.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace fenwa10 {

inline constexpr int kErrorMediaNotConnected = 201;
inline constexpr int kErrorMediaConnect = 202;
inline constexpr int kErrorMediaRefused = 203;
inline constexpr int kErrorMediaWrongState = 204;

// How long the media channel waits on the camera.
inline constexpr int kMediaTimeoutMs = 15000;

class MediaChannel {
public:
    explicit MediaChannel(InstanceState& state);
    MediaChannel(const MediaChannel&) = delete;
    MediaChannel& operator=(const MediaChannel&) = delete;

    bool open(const MediaConfig& config);
    // Message 2 with the connection number, then the 20-byte answer.
    bool attach(uint32_t connectionNumber);
    // Receives the 33 bytes the camera sends when the stream starts.
    bool receiveStreamHeader();
    // Replaces the camera video configuration the frames are built from.
    void setCameraConfig(const CameraVideoConfig& config);
    // Ends reading: wakes a blocked reader, then closes the socket.
    void close();
    // Wakes a blocked reader or handshake without freeing the socket.
    void abort();
    // How long a read waits on a silent camera before it looks whether the
    // control connection still stands (tests shorten it). Takes
    // effect at the next open.
    void setSilentReadTimeoutMs(int ms) { silentReadTimeoutMs_ = ms; }

    // One frame record into out; the record length, or -1. Never writes
    // more than capacity bytes.
    int32_t nextFrame(ControlChannel& control, uint8_t* out, std::size_t capacity);
    // Reads records until an intra one, which is discarded too; its length or -1.
    int32_t skipToIntraFrame(ControlChannel& control);

    int state() const { return stateNumber_.load(); }
    int lastError() const { return lastError_.load(); }
    // Why the last open failed (an error number of the socket).
    int socketError() const { return socket_.lastError(); }

private:
    enum class ReadResult { Ok, Failed, Closed };
    // Makes at least n unread bytes available from the read position.
    ReadResult fill(std::size_t n);
    // One receive into dst (up to max bytes), waiting through time-outs
    // until the connection is declared lost; bytes received, or 0 when closed.
    std::size_t receiveSome(uint8_t* dst, std::size_t max);
    // Receives exactly n bytes into dst; false when closed.
    bool receiveInto(uint8_t* dst, std::size_t n);
    // Consumes the rest of a message whose first `have` bytes were read.
    ReadResult skipRest(std::size_t length);
    FrameFields fieldsFromConfig();
    int32_t readRecord(ControlChannel& control, uint8_t* out, std::size_t capacity, bool consumeStatus, bool& closed);

    InstanceState& state_;
    ChannelSocket socket_;
    std::mutex readMutex_; // held by the reading caller; close waits for it
    int silentReadTimeoutMs_ = kMediaTimeoutMs;
    std::atomic<int> stateNumber_{0};
    std::atomic<int> lastError_{0};

    std::mutex configMutex_;
    CameraVideoConfig cameraConfig_{};
    uint8_t streamHeader_[21] = {};

    // Touched only by the reading thread. Reads take whatever the socket
    // has, so several small messages cost one receive; unread bytes are
    // [readStart_, readEnd_).
    std::unique_ptr<uint8_t[]> receive_;
    std::size_t readStart_ = 0;
    std::size_t readEnd_ = 0;
    std::unique_ptr<uint8_t[]> staging_;
    IntraMemory intraMemory_;
};

} // namespace fenwa10
