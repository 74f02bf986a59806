// One search for cameras at a time, on a worker thread: the ONVIF discovery
// probe and its answer window, the cameras that answered handed back on the
// GUI thread. Stopping (or destroying the search) ends the window early and
// joins the worker.
#pragma once

#include <QObject>
#include <QString>
#include <thread>
#include <vector>

#include "form/found_camera.h"

namespace tavolin::ui {

class CameraSearch final : public QObject {
    Q_OBJECT

public:
    explicit CameraSearch(QObject* parent = nullptr);
    ~CameraSearch() override;

    // Stops a search under way, then probes `targets` and collects answers
    // for `windowMs`.
    void start(std::vector<onvif::ProbeTarget> targets, int windowMs);
    void stop();
    bool isRunning() const { return running_; }

signals:
    // The cameras that answered, in the order they answered; `why` says why
    // no probe could be sent, when none was.
    void finished(const std::vector<tavolin::ui::FoundCamera>& cameras, const QString& why);

private:
    std::jthread worker_;
    bool running_ = false;
    unsigned search_ = 0; // GUI thread only
};

} // namespace tavolin::ui
