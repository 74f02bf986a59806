// The GLib main loop a simulated camera's RTSP server runs on, on a thread
// of its own; stopping it closes every client and session on that thread
// before the thread is joined.
#pragma once

#include <gst/rtsp-server/rtsp-server.h>

#include <cstdint>
#include <thread>

namespace camsim::rtsp {

class RtspServerLoop {
public:
    RtspServerLoop() = default;
    ~RtspServerLoop() { stop(); }
    RtspServerLoop(const RtspServerLoop&) = delete;
    RtspServerLoop& operator=(const RtspServerLoop&) = delete;

    // Attaches `server` (address and port already set) to a new context and
    // runs it; the port it listens on, or 0 when it could not listen. The
    // server must outlive the loop's stop().
    uint16_t start(GstRTSPServer* server);
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    GstRTSPServer* server_ = nullptr;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    guint source_ = 0;
    std::thread thread_;
};

} // namespace camsim::rtsp
