// A DESCRIBE without credentials on a connection of its own, made with
// GStreamer's RTSP connection, to read a camera's challenge before a client
// that cannot be told "digest only" (libavformat's) is given the password.
#pragma once

#include "rtsp_password/password_rule.h"

#include <atomic>
#include <mutex>
#include <string>

typedef struct _GstRTSPConnection GstRTSPConnection;

namespace rtsp_password {

struct Preflight {
    enum class Outcome {
        Answered,   // `answer` and `status` hold what the camera said
        Aborted,    // abort() was called
        Unanswered, // no connection, no whole answer in time, or no RTSP; `detail` says which
    };
    Outcome outcome = Outcome::Unanswered;
    int status = 0;
    Answer answer = Answer::NoPassword;
    std::string detail;
};

class ChallengePreflight {
public:
    // `url` is rtsp://host:port/path without credentials, its host already
    // allowed by the loopback guard (it is checked again here).
    Preflight run(const std::string& url, Authentication policy, int deadlineMs);
    // From any thread: a run under way returns at once with Aborted.
    void abort();
    // Makes the next run possible after an abort().
    void reset() { aborted_.store(false); }

private:
    std::mutex mutex_;
    GstRTSPConnection* connection_ = nullptr; // while a run is under way
    std::atomic<bool> aborted_{false};
};

} // namespace rtsp_password
