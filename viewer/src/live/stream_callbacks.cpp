#include "live/stream_callbacks.h"

namespace tavolin::ui {

namespace {

void onMotion(void* user, int32_t r1, int32_t r2, int32_t r3, int32_t r4) {
  auto* bridge = static_cast<StreamBridge*>(user);
  bridge->sink->motionFromStream(bridge->stream, r1, r2, r3, r4);
}

void onDigitalInput(void* user, int32_t di1, int32_t di2) {
  auto* bridge = static_cast<StreamBridge*>(user);
  bridge->sink->digitalInputFromStream(bridge->stream, di1, di2);
}

void onNetworkLoss(void* user) {
  auto* bridge = static_cast<StreamBridge*>(user);
  bridge->sink->networkLossFromStream(bridge->stream);
}

}  // namespace

void setEventCallbacks(OstrelInterface* handle, StreamBridge* bridge) {
  // 0: three motion regions; the fourth is always reported as 0.
  M_KSetMotionDetectionCallback(handle, bridge, onMotion, 0);
  M_KSetDICallback(handle, bridge, onDigitalInput);
}

void setNetworkLossCallback(OstrelInterface* handle, StreamBridge* bridge) {
  M_KSetNetworkLossCallback(handle, bridge, onNetworkLoss);
}

}  // namespace tavolin::ui
