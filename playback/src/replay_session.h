// One RTSP replay session of one recording, on GStreamer's RTSP source in
// its ONVIF mode: made behind the password guard (digest only for ONVIF
// cameras), pinned to the camera's host and port, over TCP, with our replay
// headers on SETUP and PLAY (replay_request.h) and no jitter buffering (it
// would hold back the first picture of every PLAY). Each packet's time
// comes from its replay header extension (replay_stamp.h): packets of an
// earlier PLAY, still on the wire, are left out by their CSeq; the time
// rides on to the depayloaded access unit, which play() and next() hand out
// on the camera's clock.
//
// Every call but interrupt() from one thread.
#pragma once

#include "media_source.h"
#include "replay_request.h"

#include <rtsp_password/password_rule.h>

#include <memory>
#include <string>

namespace playback {

struct ReplaySessionTarget {
    std::string url; // rtsp://host:port/path?query, no credentials, host allowed by the loopback guard
    std::string user;
    std::string password;
    rtsp_password::Authentication authentication = rtsp_password::Authentication::DigestOnly;
    int deadlineMs = 10000; // for the set-up and each PLAY answer
};

class ReplaySession {
public:
    explicit ReplaySession(ReplaySessionTarget target);
    ~ReplaySession(); // TEARDOWN (briefly bounded); every thread joined
    ReplaySession(const ReplaySession&) = delete;
    ReplaySession& operator=(const ReplaySession&) = delete;

    // The first call sets the session up and plays from request.fromMs; a
    // later one plays again from there in the same session. Waits for the
    // camera's answer (bounded; interrupt() ends the wait, and the answer is
    // then awaited by the next play() or next()).
    Started play(const ReplayRequest& request);
    // The next access unit of the latest PLAY, its times on the camera's
    // clock (AccessUnit::timeMs and sourceTimeMs alike).
    Fetched next(AccessUnit& unit, int timeoutMs);
    void interrupt();
    std::string reason() const;
    bool failed() const;

    struct Shared;

private:
    Started awaitAnswer();
    bool build();

    const ReplaySessionTarget target_;
    std::shared_ptr<Shared> shared_;
    bool built_ = false;
};

} // namespace playback
