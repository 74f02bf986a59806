// The one player behind every source: it starts the source where a seek
// asks, decodes with the decoder library from the key picture before and
// shows pictures only from the time asked for on, then paces them by their
// own times at the speed set (the source sends as fast as it is read), and
// draws each into the output surface. It runs on a thread of its own;
// commands queue and return at once.
//
// At 4x and 8x (and backwards) it asks the source for key pictures alone;
// a source that sends others anyway has them left out. A gap (pictures
// marked so, or further apart than any recording's pictures are) is jumped,
// not waited out.
#pragma once

#include "media_source.h"
#include "playback/player.h"

#include <platform/clock.h>
#include <platform/event.h>

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace playback {

class PacedPlayer final : public Player {
public:
    struct Settings {
        PlayerOutput output;
        int64_t startMs = 0; // the first seek
        bool playAtStart = false;
        double speed = 1;
        const platform::Clock* clock = nullptr; // null: the system's
        // Two pictures of one recording are never further apart than this
        // at 1x; further, and the second comes after a gap.
        int64_t longestStepMs = 5000;
        // A wait for the source's next unit, in real time.
        int fetchWaitMs = 100;
    };

    PacedPlayer(std::unique_ptr<MediaSource> source, Settings settings);
    ~PacedPlayer() override; // ends the source and joins the thread
    PacedPlayer(const PacedPlayer&) = delete;
    PacedPlayer& operator=(const PacedPlayer&) = delete;

    void seek(int64_t timeMs) override;
    void play() override;
    void pause() override;
    void stepForward() override;
    bool setSpeed(double speed) override;
    PlayerStatus status() const override;

    struct Worker;

private:
    struct Command {
        enum Kind { Seek, Play, Pause, Step, Speed } kind;
        int64_t timeMs = 0;
        double speed = 1;
    };
    void post(const Command& command);
    void run();
    friend struct Worker;

    std::unique_ptr<MediaSource> source_;
    const Settings settings_;
    const platform::Clock& clock_;
    const bool reverseOffered_;

    mutable std::mutex mutex_;
    std::deque<Command> commands_;
    bool quit_ = false;
    PlayerStatus status_;
    platform::ManualResetEvent wake_;

    std::thread thread_; // last: starts once everything above exists
};

} // namespace playback
