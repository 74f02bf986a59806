// What a caller sets on an interface object and the stream's threads read:
// render information, overlay text, mute and the callbacks. One lock; the
// threads take copies.
#pragma once

#include <ostrel/stream_client.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/surface.h"
#include "stream_limits.h"

namespace ostrel {

// A caller's function and the pointer it gets back.
template <class Function>
struct Callback {
    Function function = nullptr;
    void* user = nullptr;
};

struct Callbacks {
    Callback<M_KNetworkLossCallback> networkLoss;
    Callback<M_KAfterRenderCallback> afterRender;
    Callback<M_KMotionCallback> motion;
    bool fourRegions = false;
    Callback<M_KDICallback> digitalInput;
    Callback<M_KFrameTapCallback> frameTap;
};

class ClientSettings {
public:
    void setRenderInfo(const RenderInfo& info);
    RenderInfo renderInfo() const;

    void setNetworkLossCallback(void* user, M_KNetworkLossCallback callback);
    void setAfterRenderCallback(void* user, M_KAfterRenderCallback callback);
    void setMotionCallback(void* user, M_KMotionCallback callback, bool fourRegions);
    void setDigitalInputCallback(void* user, M_KDICallback callback);
    void setFrameTap(void* user, M_KFrameTapCallback callback);
    Callback<M_KFrameTapCallback> frameTap() const;
    Callbacks callbacks() const;

    void setPlayAudio(bool play);
    bool playAudio() const;
    void setRecordOnly(bool recordOnly);
    bool recordOnly() const;

    // Text in the device's 8-bit code page; a null or too long text switches
    // the overlay off and keeps the previous one's place and characters.
    void setOverlay(bool enable, int32_t x, int32_t y, const char* text);
    // Copies the overlay text and its box; false when the overlay is off.
    // text should have kOverlayCapacity reserved so that nothing is allocated.
    bool takeOverlay(std::u16string& text, platform::SurfaceRect& box) const;

private:
    mutable std::mutex lock_;
    RenderInfo renderInfo_{};
    Callbacks callbacks_;
    bool playAudio_ = false;
    bool recordOnly_ = false;
    bool overlayOn_ = false;
    int32_t overlayX_ = 0;
    int32_t overlayY_ = 0;
    int32_t overlayLength_ = 0;
    char16_t overlayText_[kOverlayCapacity] = {};
};

} // namespace ostrel
