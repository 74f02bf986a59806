// The RTSP side of a simulated camera's SD card: GStreamer's ONVIF RTSP
// server on 127.0.0.1 with one mount whose query names the recording,
//
//   rtsp://127.0.0.1:PORT/replay?recording=REC-1234
//
// behind digest authentication with the camera's user and password, as its
// live streams are. Each session gets its own pipeline: the recording's
// pictures (replay_source.h), x264, the H.264 payloader and GStreamer's
// ONVIF time-stamp element, which puts each picture's absolute time and the
// C, E, D and T flags in the 0xABAC header extension.
//
// Like a strict camera it wants "Require: onvif-replay" on SETUP and PLAY
// (551 without it), and refuses that requirement altogether while told to
// (551, "Unsupported: onvif-replay"). GStreamer's server handles Range:
// clock=, Scale and Speed, Frames: intra[/ms] and Rate-Control: no; this
// class adds the rest: 404 for a recording the card does not hold, 501 for
// reverse playback (not offered), the PLAY's CSeq in the extension.
#pragma once

#include "camsim/sd_card.h"

#include <cstdint>
#include <memory>
#include <string>

namespace camsim::replay {

class ReplayServer {
public:
    ReplayServer(std::shared_ptr<SdCard> card, std::string user, std::string password);
    ~ReplayServer();
    ReplayServer(const ReplayServer&) = delete;
    ReplayServer& operator=(const ReplayServer&) = delete;

    // Listens on an ephemeral port of 127.0.0.1; false (error() says why)
    // when it cannot, or an element it needs is missing.
    bool start();
    // Ends every session and waits (a few seconds at most) for their
    // pipelines to go.
    void stop();
    uint16_t port() const;
    std::string error() const;

    // The address a client plays a recording at (no credentials).
    std::string uri(const std::string& recordingToken) const;
    // While true, a request requiring onvif-replay gets 551.
    void refuseReplay(bool refuse);
    // Replay pipelines built so far.
    int sessionsStarted() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace camsim::replay
