// What a caller sets on an interface object and the stream's threads read:
// render information, overlay text, mute and the callbacks. One lock; the
// threads take copies.
#pragma once

#include <ostrel/stream_client.h>

#include <cstdint>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

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
    // Once it returns, the previous tap is not called any more: a call under
    // way is waited for (unless it is made from that call).
    void setFrameTap(void* user, M_KFrameTapCallback callback);
    // Hands a record (or the end of the stream: null, 0) to the tap, if any.
    void callFrameTap(int32_t kind, const uint8_t* record, int32_t length) const;
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
    // Held while the tap runs; lock_ may be taken under it, never the reverse.
    mutable std::mutex tapLock_;
    mutable std::atomic<std::thread::id> tapCaller_{};
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
