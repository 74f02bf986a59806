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
    {
        std::lock_guard lock(lock_);
        callbacks_.frameTap = {callback, user};
    }
    // The old tap's user may be freed once this returns: a call of it still
    // running is waited for, unless this is that call.
    if (tapCaller_.load() == std::this_thread::get_id()) return;
    std::lock_guard wait(tapLock_);
}

void ClientSettings::callFrameTap(int32_t kind, const uint8_t* record, int32_t length) const {
    std::lock_guard calling(tapLock_);
    Callback<M_KFrameTapCallback> tap;
    {
        std::lock_guard lock(lock_);
        tap = callbacks_.frameTap;
    }
    if (tap.function == nullptr) return;
    tapCaller_.store(std::this_thread::get_id());
    tap.function(tap.user, kind, record, length);
    tapCaller_.store({});
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
