// Playing what was recorded: a camera's own recordings (ONVIF replay over
// RTSP) and Tavolin's clips (Matroska files), through one small interface a
// view drives from its GUI thread and a test replaces with a fake.
//
// Times are milliseconds since 1970, UTC, on THIS computer's clock. A
// camera whose clock is off has the offset applied by its source: a seek to
// 03:00:00 shows what the camera recorded when our clock said 03:00:00, and
// the picture's own stamp (what the camera's clock said) comes along too.
//
// Every command only queues and returns at once; the player works on a
// thread of its own, draws each picture into the surface registered under
// its handle (platform/surface.h) as the live view's stream does, and tells
// what it shows through the callbacks, on that thread.
//
//   playback::PlayerOutput out;
//   out.surface = surfaceHandle;
//   out.callbacks.picture = [](const playback::PictureShown& p) { ... p.timeMs ... };
//   out.callbacks.status = [](const playback::PlayerStatus& s) { ... s.mode, s.reason ... };
//   std::unique_ptr<playback::Player> player = playback::openClip(path, out, startMs);
//   player->seek(t);          // shows the picture at t (paused or playing, as before)
//   player->play();           // from the picture shown, at the speed set
//   player->setSpeed(4);      // 1/2, 1, 2, 4, 8; negative where reverse is offered
//   player->stepForward();    // pauses and shows the next picture
//   player.reset();           // ends the session and joins the thread
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>

namespace playback {

// "No time": nothing shown yet, or not known.
inline constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();

// The speeds a player takes (and their negatives where reverse is offered).
inline constexpr double kSpeeds[] = {0.5, 1, 2, 4, 8};
bool isOfferedSpeed(double speed, bool reverseOffered);

enum class PlayerMode {
    Opening, // reaching the recording or the file
    Seeking, // decoding from the key picture before the time asked for
    Playing,
    Paused, // the picture shown stays; stepForward() moves one on
    Ended,  // the recording or clip has nothing after the picture shown
    Failed, // nothing can be played; `reason` says why, in one line
};

const char* modeName(PlayerMode mode);

struct PlayerStatus {
    PlayerMode mode = PlayerMode::Opening;
    bool playWanted = false;       // play() was asked last (a seek keeps it)
    double speed = 1;              // as set; negative: reverse
    int64_t requestedMs = kNoTime; // the time of the last seek
    int64_t shownMs = kNoTime;     // the picture shown, on our clock
    bool reverseOffered = false;
    // Why the player ended or failed, or why the last command was refused
    // (a speed the source does not offer); empty otherwise.
    std::string reason;
};

struct PictureShown {
    int64_t timeMs = kNoTime;       // the picture's own time, on our clock
    int64_t sourceTimeMs = kNoTime; // the same as the source stamped it (a camera: its own clock)
    int width = 0;                  // as drawn
    int height = 0;
    bool afterGap = false; // the recording has no pictures between the one before and this one
};

struct PlayerCallbacks {
    // On the player's thread; they must not block. They may call the
    // player's commands (which only queue), never destroy it.
    std::function<void(const PlayerStatus&)> status;
    std::function<void(const PictureShown&)> picture;
};

struct PlayerOutput {
    uint32_t surface = 0; // the registered surface pictures go to; 0: none (headless)
    // Pictures larger than this box are scaled down into it, aspect kept
    // (0: the recording's own size).
    int maxWidth = 0;
    int maxHeight = 0;
    PlayerCallbacks callbacks;
};

class Player {
public:
    virtual ~Player() = default;

    // Shows the picture recorded at timeMs: the first one at or after it
    // (decoded from the key picture before, which is not shown). Playing
    // goes on from there when it was playing.
    virtual void seek(int64_t timeMs) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    // Pauses and shows the next picture (at 4x and 8x, the next key picture).
    virtual void stepForward() = 0;
    // False, with the reason in the status, for a speed not offered.
    virtual bool setSpeed(double speed) = 0;

    virtual PlayerStatus status() const = 0;
};

// A player over one of Tavolin's clips (a Matroska file the recorder wrote),
// showing its picture at startMs, paused or playing. Times are the clip's
// start (as the file or its name gives it, as ClipIndex reads it) plus each
// picture's time in the file. A file that cannot be read fails the player
// (status and reason), as an unreachable camera does.
std::unique_ptr<Player> openClip(const std::string& path, const PlayerOutput& output, int64_t startMs,
                                 bool play = false);

} // namespace playback
