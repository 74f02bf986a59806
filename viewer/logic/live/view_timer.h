// The live view's timers (the event period, the hold that opens the menu)
// behind a small interface, so that its logic runs on a manual clock in
// tests and on QTimer in the program.
#pragma once

#include <QTimer>
#include <functional>
#include <memory>

namespace tavolin::ui {

class ViewTimer {
public:
    virtual ~ViewTimer() = default;
    virtual void start() = 0;
    // Starts again, this time and from now on with `intervalMs`.
    virtual void restart(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Makes a timer of `intervalMs` that calls `timeout` once (single shot) or
// every period.
using ViewTimerFactory =
    std::function<std::unique_ptr<ViewTimer>(int intervalMs, bool singleShot, std::function<void()> timeout)>;

class QtViewTimer final : public ViewTimer {
public:
    QtViewTimer(int intervalMs, bool singleShot, std::function<void()> timeout) {
        timer_.setInterval(intervalMs);
        timer_.setSingleShot(singleShot);
        QObject::connect(&timer_, &QTimer::timeout, std::move(timeout));
    }
    void start() override { timer_.start(); }
    void restart(int intervalMs) override { timer_.start(intervalMs); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

inline ViewTimerFactory qtViewTimers() {
    return [](int intervalMs, bool singleShot, std::function<void()> timeout) -> std::unique_ptr<ViewTimer> {
        return std::make_unique<QtViewTimer>(intervalMs, singleShot, std::move(timeout));
    };
}

} // namespace tavolin::ui
