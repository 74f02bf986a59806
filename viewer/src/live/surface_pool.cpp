#include "live/surface_pool.h"

#include <QWidget>
#include <utility>

#include "platform/surface.h"

namespace tavolin::ui {

SurfacePool::SurfacePool(QWidget* widget, VideoSurface::Repaint repaint, Show show)
    : widget_(widget), repaint_(repaint), show_(std::move(show)) {
    if (widget != nullptr) clientSize_ = widget->size();
}

SurfacePool::~SurfacePool() {
    for (const auto& [handle, surface] : surfaces_) {
        surface->detach();
        platform::SurfaceRegistry::remove(handle);
    }
}

uint32_t SurfacePool::addSurface() {
    auto surface = std::make_shared<VideoSurface>(widget_, repaint_);
    surface->setKeepAspect(keepAspect_);
    surface->setTakesPlanes(takesPlanes_);
    surface->setClientSize(clientSize_);
    const uint32_t handle = platform::SurfaceRegistry::add(surface);
    surfaces_.emplace(handle, std::move(surface));
    return handle;
}

void SurfacePool::showSurface(uint32_t handle) {
    const auto it = surfaces_.find(handle);
    if (it == surfaces_.end()) return;
    shown_ = handle;
    if (show_) show_(it->second);
}

void SurfacePool::moveTo(QWidget* widget, Show show) {
    widget_ = widget;
    show_ = std::move(show);
    if (widget != nullptr) clientSize_ = widget->size();
    for (const auto& [handle, surface] : surfaces_) {
        surface->attach(widget);
        surface->setClientSize(clientSize_);
    }
    showSurface(shown_);
}

void SurfacePool::removeSurface(uint32_t handle) {
    const auto it = surfaces_.find(handle);
    if (it == surfaces_.end()) return;
    // The place may go on painting its last picture; nothing draws into it.
    platform::SurfaceRegistry::remove(handle);
    surfaces_.erase(it);
}

QSize SurfacePool::pictureSize(uint32_t handle) const {
    const auto it = surfaces_.find(handle);
    return it == surfaces_.end() ? QSize() : it->second->pictureSize();
}

void SurfacePool::setTakesPlanes(bool takes) {
    takesPlanes_ = takes;
    for (const auto& entry : surfaces_) entry.second->setTakesPlanes(takes);
}

void SurfacePool::setKeepAspect(bool keep) {
    keepAspect_ = keep;
    for (const auto& entry : surfaces_) entry.second->setKeepAspect(keep);
}

void SurfacePool::setClientSize(QSize size) {
    clientSize_ = size;
    for (const auto& entry : surfaces_) entry.second->setClientSize(size);
}

} // namespace tavolin::ui
