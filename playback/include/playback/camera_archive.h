// An ONVIF camera's own recordings for a timeline and a player: whether it
// replays them, what it holds, the events recorded with it, and what a
// player needs to replay it (playback/camera_replay.h). Times here are on
// OUR clock: the camera's clock offset (measured by connect()) is taken off
// everything it lists and put back on what is asked of it.
//
// Every call is bounded by the call time-out (a search by its bounds) and
// may come from any thread; cancel() ends a search under way. A player made
// from replay() asks the archive for replay addresses on its own thread,
// beside any search.
//
//   playback::CameraArchive archive({"127.0.0.1", 8080, "admin", "secret"});
//   if (!archive.connect()) ... archive.reason()
//   if (!archive.replayOffered()) ... grey playback out with archive.reason()
//   auto recordings = archive.recordings();
//   auto events = archive.events(fromMs, toMs);
//   auto player = playback::openCameraReplay(archive.replay(), output, t);
#pragma once

#include "playback/camera_replay.h"

#include <onvif/recordings.h>

#include <cstdint>
#include <memory>
#include <string>

namespace playback {

struct ArchiveCamera {
    std::string host; // as configured; every address the camera hands back gets it
    int port = 80;    // of the device service
    std::string user;
    std::string password;
    int callTimeoutMs = 3000;
};

class CameraArchive {
public:
    explicit CameraArchive(ArchiveCamera camera);
    ~CameraArchive();
    CameraArchive(const CameraArchive&) = delete;
    CameraArchive& operator=(const CameraArchive&) = delete;

    // Reads the camera's clock and its services; false when it cannot.
    bool connect();
    // The camera's clock minus ours.
    int64_t clockOffsetMs() const;
    // Whether the camera offers its recordings for replay; false with the
    // reason (no replay service, no search service, not connected).
    bool replayOffered();
    // Every recording, its span on our clock.
    onvif::Found<onvif::Recording> recordings(const onvif::SearchBounds& bounds = {});
    // Events in [fromMs, toMs] of our clock, oldest first, on our clock.
    onvif::Found<onvif::RecordedEvent> events(int64_t fromMs, int64_t toMs, const onvif::SearchBounds& bounds = {});
    // A player's camera for the recordings found last (recordings() first).
    CameraReplay replay() const;
    // Ends a search under way, from any thread.
    void cancel();
    // Why the last call that failed failed (never holds the password).
    std::string reason() const;

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace playback
