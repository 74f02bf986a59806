// A simulated ONVIF camera's SD card and its replay server on 127.0.0.1,
// and a watcher that reads each picture a player shows back from the
// surface: the time its strip of blocks spells, beside the time the player
// says it showed.
#pragma once

#include "playback/camera_replay.h"

#include <camsim/camera_head.h>
#include <camsim/onvif_camera.h>
#include <camsim/onvif_rtsp_streams.h>
#include <camsim/sd_card.h>
#include <platform/surface.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace playback::test {

inline constexpr char kUser[] = "admin";
inline constexpr char kPassword[] = "replay pass";

// The camera's card: 320 x 240 at 10 pictures a second, a key picture a second.
class SimulatedCard {
public:
    explicit SimulatedCard(int64_t clockOffsetMs = 0);
    ~SimulatedCard();
    bool start();
    std::string error() const { return streams_->error(); }

    camsim::SdCard& card() { return *card_; }
    camsim::RtspProfileStreams& streams() { return *streams_; }
    // The camera's ONVIF services in front of the card (made by start()).
    camsim::OnvifCamera& onvif() { return *onvif_; }
    // A recording the card finished (the one before the newest).
    camsim::CardRecording finished() const;
    // What a player is given for the camera (the offset as GetSystemDateAndTime told it).
    CameraReplay replay() const;

private:
    std::shared_ptr<camsim::SdCard> card_;
    camsim::OnvifOptions options_;
    std::shared_ptr<camsim::RtspProfileStreams> streams_;
    std::unique_ptr<camsim::OnvifCamera> onvif_;
};

struct SeenPicture {
    PictureShown shown;
    std::optional<int64_t> stripMs; // what the picture's time strip spells
    int64_t atMs = 0;               // steady clock, when shown
};

class PictureWatcher {
public:
    PictureWatcher();
    ~PictureWatcher();
    PlayerOutput output();

    std::vector<SeenPicture> awaitPictures(std::size_t count, int timeoutMs = 10000);
    PlayerStatus awaitMode(PlayerMode mode, int timeoutMs = 10000);
    std::vector<SeenPicture> pictures() const;

private:
    std::shared_ptr<platform::RecordingSurface> surface_;
    uint32_t handle_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<SeenPicture> seen_;
    std::vector<PlayerStatus> statuses_;
};

} // namespace playback::test
