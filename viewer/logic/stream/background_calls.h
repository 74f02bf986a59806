// Calls that may take a while (a camera asked over the network), each on a
// thread of its own and answered on the GUI thread through `context`. Going
// away asks every call under way to stop (its stop token) and waits for it;
// a finished call's thread is joined once its answer is delivered. Owned by
// `context`, whose queued answers go with it.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <map>
#include <stop_token>
#include <thread>
#include <utility>

namespace tavolin::ui {

class BackgroundCalls {
public:
    explicit BackgroundCalls(QObject& context) : context_(context) {}
    // Asks every call to stop and joins them; answers not yet delivered are
    // dropped with the context's queue.
    ~BackgroundCalls() { calls_.clear(); }
    BackgroundCalls(const BackgroundCalls&) = delete;
    BackgroundCalls& operator=(const BackgroundCalls&) = delete;

    // Runs `work` on a thread; `done` gets its result on the GUI thread,
    // unless this object went first or the call was asked to stop.
    template <class Result>
    void run(std::function<Result(std::stop_token)> work, std::function<void(Result)> done) {
        const int id = ++lastId_;
        calls_[id] = std::jthread([this, id, work = std::move(work), done = std::move(done)](std::stop_token stop) {
            Result result = work(stop);
            if (stop.stop_requested()) return;
            QMetaObject::invokeMethod(
                &context_,
                [this, id, done, result = std::move(result)]() mutable {
                    // The thread posted this as its last step.
                    calls_.erase(id);
                    done(std::move(result));
                },
                Qt::QueuedConnection);
        });
    }

    bool busy() const { return !calls_.empty(); }

private:
    QObject& context_;
    int lastId_ = 0;
    std::map<int, std::jthread> calls_; // last: joined before the rest goes
};

} // namespace tavolin::ui
