// Pointing requests (positions and relative moves of cameras that know
// them) and grey copies of the stream's pictures for comparing them.
#include <cstring>

#include <transport/streaming_types.h>

#include "interface_object.h"
#include "ptz_requests.h"
#include "session.h"

namespace {

// Hands one pointing request to the transport. The command lock is not
// taken: the call waits for the camera, and the transport itself sends it
// in turn with the PTZ commands given before. Only the ONVIF plug-in knows
// the request: the protocol 1 and 2 plug-ins pass any command on to the
// camera as a message of its type, which must never carry this one.
int32_t aim(OstrelInterface& self, transport::PtzAimOperation operation, float pan, float tilt, float zoom,
            transport::PtzAimReply* reply) {
    if (!ostrel::ptzAllowed(self) || self.transport.instance() == nullptr ||
        self.streamingType != transport::kOnvifStreamingType)
        return 0;
    const transport::PtzAimRequest request{operation, pan, tilt, zoom};
    transport::PtzAimReply answer{};
    const int32_t taken = self.transport.sendCommand(
        transport::kCommandPtzAim, reinterpret_cast<const uint8_t*>(&request), sizeof request, &answer, sizeof answer);
    if (taken != 0 && reply != nullptr) *reply = answer;
    return taken != 0 ? 1 : 0;
}

} // namespace

extern "C" {

OSTREL_API int32_t M_KPTZ_GET_SPACES(OstrelInterface* handle, uint32_t* spaces) {
    if (spaces != nullptr) *spaces = 0;
    if (handle == nullptr) return 0;
    transport::PtzAimReply reply{};
    if (aim(*handle, transport::PtzAimOperation::Spaces, 0, 0, 0, &reply) == 0) return 0;
    if (spaces != nullptr) *spaces = reply.spaces;
    return 1;
}

OSTREL_API int32_t M_KPTZ_RELATIVE_MOVE(OstrelInterface* handle, int32_t fov, float pan, float tilt, float zoom) {
    if (handle == nullptr) return 0;
    const auto operation =
        fov != 0 ? transport::PtzAimOperation::FovRelative : transport::PtzAimOperation::GenericRelative;
    return aim(*handle, operation, pan, tilt, zoom, nullptr);
}

OSTREL_API int32_t M_KPTZ_ABSOLUTE_MOVE(OstrelInterface* handle, float pan, float tilt, float zoom) {
    return handle == nullptr ? 0 : aim(*handle, transport::PtzAimOperation::Absolute, pan, tilt, zoom, nullptr);
}

OSTREL_API int32_t M_KPTZ_GET_POSITION(OstrelInterface* handle, float* pan, float* tilt, float* zoom, int32_t* moving) {
    if (handle == nullptr) return 0;
    transport::PtzAimReply reply{};
    if (aim(*handle, transport::PtzAimOperation::Position, 0, 0, 0, &reply) == 0) return 0;
    if (pan != nullptr) *pan = reply.pan;
    if (tilt != nullptr) *tilt = reply.tilt;
    if (zoom != nullptr) *zoom = reply.zoom;
    if (moving != nullptr) *moving = reply.moving;
    return 1;
}

OSTREL_API int32_t M_KGetPictureSample(OstrelInterface* handle, uint8_t* gray, int32_t width, int32_t height,
                                       int32_t timeoutMs) {
    // A callback's thread draws the pictures it would wait for.
    if (handle == nullptr || ostrel::Session::isOwnThread(handle)) return 0;
    return handle->report.pictures.next(gray, width, height, timeoutMs) ? 1 : 0;
}

} // extern "C"
