// Carries PTZ and relay commands to the camera on a thread of its own, so
// the caller returns at once however slowly the camera answers. Commands go
// out in the order given; a move still waiting behind a slow call is
// replaced by a newer move (only the latest direction matters), and a stop
// is never dropped or reordered.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "onvif/ptz_record.h"

namespace onvif {

// What the worker drives: a camera's PTZ and relay calls.
class PtzCamera {
public:
    virtual ~PtzCamera() = default;
    virtual bool move(double pan, double tilt, double zoom) = 0;
    virtual bool stop(bool panTilt, bool zoom) = 0;
    virtual bool setPreset(int number) = 0;
    virtual bool gotoPreset(int number) = 0;
    virtual bool setRelay(bool active) = 0;
};

class PtzWorker {
public:
    explicit PtzWorker(PtzCamera& camera);
    // Stops and joins the thread; a call in progress must be ended first
    // (the transport's abort) if it could take long.
    ~PtzWorker();
    PtzWorker(const PtzWorker&) = delete;
    PtzWorker& operator=(const PtzWorker&) = delete;

    // Queue a command; false only when too many commands wait already (a
    // stop is always taken).
    bool submit(const PtzRecord& record);
    bool submitRelay(bool active);
    // Runs `work` in turn with the commands (after every command given
    // before it) and waits up to timeoutMs for its result; false when it
    // failed, did not finish in time or the worker stopped. What `work`
    // touches must outlive it even when the wait gives up.
    bool runAndWait(std::function<bool()> work, int timeoutMs);

    // Drops what still waits and takes nothing more; a call in progress
    // finishes. Later submits answer false.
    void stop();

    // Waits until nothing waits or runs; false when timeoutMs passed.
    bool waitIdle(int timeoutMs);

    // Commands given, and commands replaced by a later move before they ran.
    int merged() const;

private:
    struct Waited;
    struct Task {
        bool relay = false;
        bool relayActive = false;
        PtzRecord record;
        std::function<bool()> work;     // a waited-for call instead of a record
        std::shared_ptr<Waited> waited; // its result
    };
    void run();
    void execute(const Task& task);
    bool enqueue(const Task& task);

    PtzCamera& camera_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Task> pending_;
    bool busy_ = false;
    bool stopping_ = false;
    int merged_ = 0;
    std::thread thread_;
};

} // namespace onvif
