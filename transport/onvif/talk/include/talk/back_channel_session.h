// The RTSP session of a camera's audio back channel, on GStreamer's RTSP
// source: DESCRIBE with "Require: www.onvif.org/ver20/backchannel", SETUP of
// the back-channel stream alone (interleaved on the RTSP connection), PLAY,
// then packets pushed to the camera. It is a session of its own, apart from
// the one that receives the picture.
//
// The address must have passed the loopback guard: every connection the
// source makes goes to that host and port, and a request the camera
// redirects anywhere else is not sent.
#pragma once

#include "rtsp_password/password_rule.h"

#include "talk/running_pipeline.h"
#include "talk/talk_encoding.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

typedef struct _GError GError;
typedef struct _GstSample GstSample;

namespace talk {

struct SessionTarget {
    std::string url; // rtsp://host:port/path, host as the guard allowed it
    std::string user;
    std::string password;
    // The camera's streaming type's: digest only for ONVIF cameras.
    rtsp_password::Authentication authentication = rtsp_password::Authentication::DigestOnly;
};

class BackChannelSession {
public:
    BackChannelSession();
    ~BackChannelSession(); // close()
    BackChannelSession(const BackChannelSession&) = delete;
    BackChannelSession& operator=(const BackChannelSession&) = delete;

    // Sets the session up within `deadlineMs`. The encoding offered, or
    // nothing with reason() saying why in one line.
    std::optional<Encoding> open(const SessionTarget& target, int deadlineMs);
    // Sends one packet (takes it); false when the session is not open.
    bool push(GstSample* packet);
    // TEARDOWN (briefly bounded) and everything freed.
    void close();

    bool isOpen() const { return open_.load(); }
    std::string reason() const;

    // What the source's signal handlers learn, on its own threads.
    struct Offer;

private:
    // Waits for the PLAY to be answered; nothing with the reason set.
    std::optional<Encoding> awaitPlaying(int deadlineMs);
    void setReason(const std::string& why);
    // One line for an error the source posted.
    std::string errorReason(const GError* error, const std::string& debug, int deadlineMs) const;

    std::mutex mutex_;        // running_
    RunningPipeline running_; // the pipeline and its RTSP source
    std::unique_ptr<Offer> offer_;
    std::atomic<bool> open_{false};
    mutable std::mutex reasonLock_;
    std::string reason_;
};

} // namespace talk
