#include "onvif/ptz_worker.h"

#include <platform/worker_thread.h>

#include <chrono>
#include <optional>

namespace onvif {

namespace {

// Enough for a burst of presets and relay switches; moves merge anyway.
constexpr std::size_t kMaxPending = 32;

} // namespace

struct PtzWorker::Waited {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<bool> result;
};

PtzWorker::PtzWorker(PtzCamera& camera)
    : camera_(camera), thread_(platform::startWorkerThread("onvif-ptz", [this] { run(); })) {}

PtzWorker::~PtzWorker() {
    stop();
    thread_.join();
}

void PtzWorker::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        // A caller waiting for a dropped call hears at once that it failed.
        for (const Task& task : pending_) {
            if (!task.waited) continue;
            std::lock_guard waitedLock(task.waited->mutex);
            task.waited->result = false;
            task.waited->done.notify_all();
        }
        pending_.clear();
    }
    wake_.notify_all();
}

bool PtzWorker::enqueue(const Task& task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return false;
        const bool isMove = !task.relay && task.record.operation == PtzOperation::Move;
        const bool isStop = !task.relay && task.record.operation == PtzOperation::Stop;
        if (isMove && !pending_.empty() && !pending_.back().relay &&
            pending_.back().record.operation == PtzOperation::Move) {
            pending_.back() = task;
            ++merged_;
        } else {
            if (!isStop && pending_.size() >= kMaxPending) return false;
            pending_.push_back(task);
        }
    }
    wake_.notify_one();
    return true;
}

bool PtzWorker::submit(const PtzRecord& record) { return enqueue(Task{false, false, record, {}, {}}); }

bool PtzWorker::submitRelay(bool active) { return enqueue(Task{true, active, {}, {}, {}}); }

bool PtzWorker::runAndWait(std::function<bool()> work, int timeoutMs) {
    auto waited = std::make_shared<Waited>();
    Task task;
    task.record.operation = PtzOperation::SetPreset; // neither merged nor a stop
    task.work = std::move(work);
    task.waited = waited;
    if (!enqueue(task)) return false;
    std::unique_lock lock(waited->mutex);
    if (!waited->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return waited->result.has_value(); }))
        return false;
    return *waited->result;
}

bool PtzWorker::waitIdle(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return pending_.empty() && !busy_; });
}

int PtzWorker::merged() const {
    std::lock_guard lock(mutex_);
    return merged_;
}

void PtzWorker::execute(const Task& task) {
    if (task.work) {
        const bool ok = task.work();
        std::lock_guard lock(task.waited->mutex);
        task.waited->result = ok;
        task.waited->done.notify_all();
        return;
    }
    if (task.relay) {
        camera_.setRelay(task.relayActive);
        return;
    }
    const PtzRecord& r = task.record;
    switch (r.operation) {
    case PtzOperation::Move: camera_.move(r.pan, r.tilt, r.zoom); break;
    case PtzOperation::Stop: camera_.stop(r.stopPanTilt, r.stopZoom); break;
    case PtzOperation::SetPreset: camera_.setPreset(r.preset); break;
    case PtzOperation::GotoPreset: camera_.gotoPreset(r.preset); break;
    }
}

void PtzWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (stopping_) break;
        const Task task = pending_.front();
        pending_.pop_front();
        busy_ = true;
        lock.unlock();
        execute(task);
        lock.lock();
        busy_ = false;
        if (pending_.empty()) idle_.notify_all();
    }
    busy_ = false;
    idle_.notify_all();
}

} // namespace onvif
