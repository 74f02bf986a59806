// A stream with no camera behind it, for the live view's logic: it records
// every call as text, and a test makes it report (connected, failed, lost,
// events, talk results, closed) when it chooses. A manual clock drives the
// view's timers.
#pragma once

#include <cstdio>
#include <optional>
#include <QString>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "live/live_stream.h"
#include "live/view_timer.h"
#include "platform/clock.h"

namespace tavolin::ui::test {

class FakeStream final : public LiveStream {
public:
    // `name` goes before each entry it logs.
    explicit FakeStream(const StreamSettings& settings, std::vector<std::string>& log, std::string name = {})
        : settings(settings), log_(log), name_(std::move(name)) {}
    ~FakeStream() override { log_.push_back(name_ + "destroyed"); }

    void open() override { log_.push_back(name_ + "open"); }
    void close() override { log_.push_back(name_ + "close"); }
    void startMove(PtzSector sector, int speed) override {
        log_.push_back("start " + std::to_string(static_cast<int>(sector)) + " speed " + std::to_string(speed));
    }
    void stopMove(PtzSector sector) override { log_.push_back("stop " + std::to_string(static_cast<int>(sector))); }
    void setPreset(int n) override { log_.push_back("set preset " + std::to_string(n)); }
    void goToPreset(int n) override { log_.push_back("go to preset " + std::to_string(n)); }
    void osd(OsdCommand c) override { log_.push_back("osd " + std::to_string(static_cast<int>(c))); }
    void setQuadDisplay(int mode) override { log_.push_back("quad " + std::to_string(mode)); }
    void setOutput(bool on) override { log_.push_back(on ? "output 1" : "output 0"); }
    void setAudioIn(bool play) override { log_.push_back(play ? "audio in 1" : "audio in 0"); }
    void startTalking() override { log_.push_back("talk"); }
    void stopTalking() override { log_.push_back("stop talking"); }
    void fitPicturesInto(QSize box) override {
        log_.push_back("fit " + std::to_string(box.width()) + "x" + std::to_string(box.height()));
    }

    void setDigitalZoom(double factor) override { log_.push_back("zoom " + QString::number(factor).toStdString()); }
    void aim(const AimRequest& request) override {
        char text[96];
        std::snprintf(text, sizeof text, "aim %.3f,%.3f x%.2f", request.target.fov.x, request.target.fov.y,
                      request.target.magnification);
        log_.push_back(text);
        lastAim = request;
    }

    std::optional<AimRequest> lastAim;
    const StreamSettings settings;

private:
    std::vector<std::string>& log_;
    const std::string name_;
};

// Timers that fire only when the test moves the clock, and the clock they
// keep, for what reads the time.
class ManualTimers {
public:
    const platform::Clock& clock() const { return clock_; }

    ViewTimerFactory factory() {
        return [this](int intervalMs, bool singleShot, std::function<void()> timeout) -> std::unique_ptr<ViewTimer> {
            auto timer = std::make_unique<Timer>(*this, intervalMs, singleShot, std::move(timeout));
            timers_.push_back(timer.get());
            return timer;
        };
    }

    // Moves the clock on by `ms`, firing every timer that falls due, in order.
    void advance(int ms) {
        const long end = now_ + ms;
        for (;;) {
            Timer* next = nullptr;
            for (Timer* t : timers_) {
                if (t->active && t->due <= end && (next == nullptr || t->due < next->due)) next = t;
            }
            if (next == nullptr) break;
            now_ = next->due;
            clock_.setMs(now_);
            if (next->singleShot) {
                next->active = false;
            } else {
                next->due += next->interval;
            }
            next->timeout();
        }
        now_ = end;
        clock_.setMs(now_);
    }

private:
    struct Timer final : ViewTimer {
        Timer(ManualTimers& owner, int interval, bool singleShot, std::function<void()> timeout)
            : owner(owner), interval(interval), singleShot(singleShot), timeout(std::move(timeout)) {}
        ~Timer() override { std::erase(owner.timers_, this); }
        void start() override {
            active = true;
            due = owner.now_ + interval;
        }
        void restart(int intervalMs) override {
            interval = intervalMs;
            start();
        }
        void stop() override { active = false; }
        bool isActive() const override { return active; }

        ManualTimers& owner;
        int interval;
        bool singleShot;
        std::function<void()> timeout;
        bool active = false;
        long due = 0;
    };

    long now_ = 0;
    platform::ManualClock clock_{0};
    std::vector<Timer*> timers_;
};

} // namespace tavolin::ui::test
