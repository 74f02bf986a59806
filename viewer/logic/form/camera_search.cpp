#include "form/camera_search.h"

#include <utility>

namespace tavolin::ui {

CameraSearch::CameraSearch(QObject* parent) : QObject(parent) {}

// The worker is joined before the object goes; an answer it posted by then
// goes with the object.
CameraSearch::~CameraSearch() { stop(); }

void CameraSearch::start(std::vector<onvif::ProbeTarget> targets, int windowMs) {
    stop();
    running_ = true;
    const unsigned search = ++search_;
    worker_ = std::jthread([this, search, targets = std::move(targets), windowMs](std::stop_token stopToken) {
        std::string why;
        const auto devices = onvif::discover(targets, windowMs, &why, stopToken);
        if (stopToken.stop_requested()) return;
        std::vector<FoundCamera> cameras;
        for (const onvif::DiscoveredDevice& device : devices) cameras.push_back(foundCameraOf(device));
        const QString reason = QString::fromStdString(why);
        QMetaObject::invokeMethod(
            this,
            [this, search, cameras = std::move(cameras), reason] {
                // An answer of a search stopped since is not this search's.
                if (search != search_) return;
                running_ = false;
                emit finished(cameras, reason);
            },
            Qt::QueuedConnection);
    });
}

void CameraSearch::stop() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
    running_ = false;
    ++search_;
}

} // namespace tavolin::ui
