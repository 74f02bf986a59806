// Camera control requests: PTZ, presets, OSD, quad display mode, digital
// output and serial settings. Not carried yet: every request answers 0 and
// sends nothing.
#include "interface_object.h"
#include "plugin_hooks.h"

namespace ostrel {

void releasePtz(OstrelInterface& self) { self.ptzHandle = nullptr; }

} // namespace ostrel

extern "C" {

OSTREL_API int32_t M_KEnablePTZProtocol(OstrelInterface* handle, int32_t enable, const PTZEnableInfo* info) {
    (void)enable;
    (void)info;
    if (handle == nullptr) return 0;
    return 0;
}

OSTREL_API int32_t M_KPTZ_UP(OstrelInterface* handle, int32_t speed) {
    (void)handle;
    (void)speed;
    return 0;
}

OSTREL_API int32_t M_KPTZ_DOWN(OstrelInterface* handle, int32_t speed) {
    (void)handle;
    (void)speed;
    return 0;
}

OSTREL_API int32_t M_KPTZ_LEFT(OstrelInterface* handle, int32_t speed) {
    (void)handle;
    (void)speed;
    return 0;
}

OSTREL_API int32_t M_KPTZ_RIGHT(OstrelInterface* handle, int32_t speed) {
    (void)handle;
    (void)speed;
    return 0;
}

OSTREL_API int32_t M_KPTZ_UP_LEFT(OstrelInterface* handle, int32_t speed) {
    (void)handle;
    (void)speed;
    return 0;
}

OSTREL_API int32_t M_KPTZ_UP_RIGHT(OstrelInterface* handle, int32_t speed) {
    (void)handle;
    (void)speed;
    return 0;
}

OSTREL_API int32_t M_KPTZ_DOWN_LEFT(OstrelInterface* handle, int32_t speed) {
    (void)handle;
    (void)speed;
    return 0;
}

OSTREL_API int32_t M_KPTZ_DOWN_RIGHT(OstrelInterface* handle, int32_t speed) {
    (void)handle;
    (void)speed;
    return 0;
}

OSTREL_API int32_t M_KPTZ_STOP(OstrelInterface* handle, int32_t direction) {
    (void)handle;
    (void)direction;
    return 0;
}

OSTREL_API int32_t M_KPTZ_ZOOM_IN(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_ZOOM_OUT(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_ZOOM_STOP(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_OSD_ON(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_OSD_OFF(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_OSD_UP(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_OSD_DOWN(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_OSD_LEFT(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_OSD_RIGHTT(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_OSD_ENTER(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_OSD_LEAVE(OstrelInterface* handle) {
    (void)handle;
    return 0;
}

OSTREL_API int32_t M_KPTZ_GOTO_PRESET(OstrelInterface* handle, int32_t preset) {
    (void)handle;
    (void)preset;
    return 0;
}

OSTREL_API int32_t M_KPTZ_SET_PRESET(OstrelInterface* handle, int32_t preset) {
    (void)handle;
    (void)preset;
    return 0;
}

OSTREL_API int32_t M_KQuadSetDisplayMode(OstrelInterface* handle, int32_t mode) {
    (void)handle;
    (void)mode;
    return 0;
}

OSTREL_API void M_KSendDO(OstrelInterface* handle, uint8_t value) {
    (void)handle;
    (void)value;
}

OSTREL_API int32_t M_KSendRS232Setting(OstrelInterface* handle, uint8_t dataFormat, uint8_t baudRateIndex) {
    (void)handle;
    (void)dataFormat;
    (void)baudRateIndex;
    return 0;
}

} // extern "C"
