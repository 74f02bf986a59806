// Camera control requests: PTZ, presets, OSD, quad display mode, digital
// output and serial settings.
#include "interface_object.h"
#include "ptz_requests.h"
#include "quad_request.h"

using ostrel::ptzCommand;
using ostrel::ptzDiagonal;

extern "C" {

OSTREL_API int32_t M_KEnablePTZProtocol(OstrelInterface* handle, int32_t enable, const PTZEnableInfo* info) {
    if (handle == nullptr) return 0;
    platform::ReasonScope scope(&handle->report.reasons);
    return ostrel::enablePtz(*handle, enable, info);
}

OSTREL_API int32_t M_KPTZ_UP(OstrelInterface* handle, int32_t speed) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "TILTUP", speed);
}

OSTREL_API int32_t M_KPTZ_DOWN(OstrelInterface* handle, int32_t speed) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "TILTDOWN", speed);
}

OSTREL_API int32_t M_KPTZ_LEFT(OstrelInterface* handle, int32_t speed) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "PANLEFT", speed);
}

OSTREL_API int32_t M_KPTZ_RIGHT(OstrelInterface* handle, int32_t speed) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "PANRIGHT", speed);
}

OSTREL_API int32_t M_KPTZ_UP_LEFT(OstrelInterface* handle, int32_t speed) {
    return handle == nullptr ? 0 : ptzDiagonal(*handle, "MOVEUPLEFT", "TILTUP", "PANLEFT", speed);
}

OSTREL_API int32_t M_KPTZ_UP_RIGHT(OstrelInterface* handle, int32_t speed) {
    return handle == nullptr ? 0 : ptzDiagonal(*handle, "MOVEUPRIGHT", "TILTUP", "PANRIGHT", speed);
}

OSTREL_API int32_t M_KPTZ_DOWN_LEFT(OstrelInterface* handle, int32_t speed) {
    return handle == nullptr ? 0 : ptzDiagonal(*handle, "MOVEDOWNLEFT", "TILTDOWN", "PANLEFT", speed);
}

OSTREL_API int32_t M_KPTZ_DOWN_RIGHT(OstrelInterface* handle, int32_t speed) {
    return handle == nullptr ? 0 : ptzDiagonal(*handle, "MOVEDOWNRIGHT", "TILTDOWN", "PANRIGHT", speed);
}

OSTREL_API int32_t M_KPTZ_STOP(OstrelInterface* handle, int32_t direction) {
    return handle == nullptr ? 0 : ostrel::ptzStop(*handle, direction);
}

OSTREL_API int32_t M_KPTZ_ZOOM_IN(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "ZOOMIN", 1);
}

OSTREL_API int32_t M_KPTZ_ZOOM_OUT(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "ZOOMOUT", 1);
}

OSTREL_API int32_t M_KPTZ_ZOOM_STOP(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "ZOOMSTOP", 0);
}

OSTREL_API int32_t M_KPTZ_OSD_ON(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "OSDON", 0);
}

OSTREL_API int32_t M_KPTZ_OSD_OFF(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "OSDOFF", 0);
}

OSTREL_API int32_t M_KPTZ_OSD_UP(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "OSDUP", 0);
}

OSTREL_API int32_t M_KPTZ_OSD_DOWN(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "OSDDOWN", 0);
}

OSTREL_API int32_t M_KPTZ_OSD_LEFT(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "OSDLEFT", 0);
}

OSTREL_API int32_t M_KPTZ_OSD_RIGHTT(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "OSDRIGHT", 0);
}

OSTREL_API int32_t M_KPTZ_OSD_ENTER(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "OSDENTER", 0);
}

OSTREL_API int32_t M_KPTZ_OSD_LEAVE(OstrelInterface* handle) {
    return handle == nullptr ? 0 : ptzCommand(*handle, "OSDLEAVE", 0);
}

OSTREL_API int32_t M_KPTZ_GOTO_PRESET(OstrelInterface* handle, int32_t preset) {
    if (handle == nullptr || preset < 0) return 0;
    return ptzCommand(*handle, "PRESETGOTO", preset);
}

OSTREL_API int32_t M_KPTZ_SET_PRESET(OstrelInterface* handle, int32_t preset) {
    if (handle == nullptr || preset < 0) return 0;
    return ptzCommand(*handle, "PRESETSET", preset);
}

// Reports success whatever the server answered: the viewer has nothing to
// show for a failed mode change.
OSTREL_API int32_t M_KQuadSetDisplayMode(OstrelInterface* handle, int32_t mode) {
    if (handle == nullptr) return 0;
    try {
        ostrel::fetchAndDiscard(ostrel::quadUrl(handle->mediaConfig, mode));
    } catch (...) {
        // Out of memory while building the URL: nothing was sent.
    }
    return 1;
}

OSTREL_API void M_KSendDO(OstrelInterface* handle, uint8_t value) {
    if (handle == nullptr) return;
    ostrel::sendTransportCommand(*handle, ostrel::kCommandDigitalOutput, &value, 1);
}

OSTREL_API int32_t M_KSendRS232Setting(OstrelInterface* handle, uint8_t dataFormat, uint8_t baudRateIndex) {
    if (handle == nullptr) return 0;
    const uint8_t data[2] = {dataFormat, baudRateIndex};
    return ostrel::sendTransportCommand(*handle, ostrel::kCommandSerialSetting, data, 2);
}

} // extern "C"
