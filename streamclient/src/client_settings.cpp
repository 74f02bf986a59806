#include "client_settings.h"

#include <cstring>

namespace ostrel {

namespace {

constexpr int kOverlayCharWidth = 14;
constexpr int kOverlayHeight = 14;

} // namespace

void ClientSettings::setRenderInfo(const RenderInfo& info) {
    std::lock_guard lock(lock_);
    renderInfo_ = info;
}

RenderInfo ClientSettings::renderInfo() const {
    std::lock_guard lock(lock_);
    return renderInfo_;
}

void ClientSettings::setNetworkLossCallback(void* user, M_KNetworkLossCallback callback) {
    std::lock_guard lock(lock_);
    callbacks_.networkLoss = {callback, user};
}

void ClientSettings::setAfterRenderCallback(void* user, M_KAfterRenderCallback callback) {
    std::lock_guard lock(lock_);
    callbacks_.afterRender = {callback, user};
}

void ClientSettings::setMotionCallback(void* user, M_KMotionCallback callback, bool fourRegions) {
    std::lock_guard lock(lock_);
    callbacks_.motion = {callback, user};
    callbacks_.fourRegions = fourRegions;
}

void ClientSettings::setDigitalInputCallback(void* user, M_KDICallback callback) {
    std::lock_guard lock(lock_);
    callbacks_.digitalInput = {callback, user};
}

void ClientSettings::setFrameTap(void* user, M_KFrameTapCallback callback) {
    std::lock_guard lock(lock_);
    callbacks_.frameTap = {callback, user};
}

Callback<M_KFrameTapCallback> ClientSettings::frameTap() const {
    std::lock_guard lock(lock_);
    return callbacks_.frameTap;
}

Callbacks ClientSettings::callbacks() const {
    std::lock_guard lock(lock_);
    return callbacks_;
}

void ClientSettings::setPlayAudio(bool play) {
    std::lock_guard lock(lock_);
    playAudio_ = play;
}

bool ClientSettings::playAudio() const {
    std::lock_guard lock(lock_);
    return playAudio_;
}

void ClientSettings::setRecordOnly(bool recordOnly) {
    std::lock_guard lock(lock_);
    recordOnly_ = recordOnly;
}

bool ClientSettings::recordOnly() const {
    std::lock_guard lock(lock_);
    return recordOnly_;
}

void ClientSettings::setOverlay(bool enable, int32_t x, int32_t y, const char* text) {
    std::lock_guard lock(lock_);
    overlayOn_ = false;
    if (text == nullptr) return;
    const std::size_t length = std::strlen(text);
    if (length >= kOverlayCapacity) return;
    overlayX_ = x;
    overlayY_ = y;
    overlayLength_ = static_cast<int32_t>(length);
    // 8-bit text in the device's code page: its first 256 code points.
    for (std::size_t i = 0; i < kOverlayCapacity; ++i) {
        overlayText_[i] = i < length ? static_cast<char16_t>(static_cast<unsigned char>(text[i])) : u'\0';
    }
    overlayOn_ = enable;
}

bool ClientSettings::takeOverlay(std::u16string& text, platform::SurfaceRect& box) const {
    std::lock_guard lock(lock_);
    if (!overlayOn_) return false;
    text.assign(overlayText_, static_cast<std::size_t>(overlayLength_));
    box = {overlayX_, overlayY_, kOverlayCharWidth * overlayLength_, kOverlayHeight};
    return true;
}

} // namespace ostrel
