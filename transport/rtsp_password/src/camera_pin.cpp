#include "rtsp_password/camera_pin.h"

#include <gst/gst.h>
#include <gst/rtsp/rtsp.h>

namespace rtsp_password {

std::optional<CameraPin> cameraPinOf(const std::string& url) {
    GstRTSPUrl* parsed = nullptr;
    if (gst_rtsp_url_parse(url.c_str(), &parsed) != GST_RTSP_OK || parsed == nullptr) return std::nullopt;
    CameraPin pin;
    pin.host = parsed->host != nullptr ? parsed->host : "";
    guint16 port = 0;
    gst_rtsp_url_get_port(parsed, &port);
    pin.port = port;
    gst_rtsp_url_free(parsed);
    if (pin.host.empty()) return std::nullopt;
    return pin;
}

void pinSource(GstElement* source, const CameraPin& pin) {
    // The source's proxy is where it connects; an IPv6 literal keeps the
    // address's own host (the guard refuses those under loopback-only mode).
    if (pin.host.find(':') != std::string::npos) return;
    const std::string pinned = pin.host + ":" + std::to_string(pin.port);
    g_object_set(source, "proxy", pinned.c_str(), nullptr);
}

bool staysWithCamera(const CameraPin& pin, GstRTSPMessage* request, std::string& elsewhere) {
    GstRTSPMethod method;
    const gchar* uri = nullptr;
    GstRTSPVersion version;
    if (gst_rtsp_message_parse_request(request, &method, &uri, &version) != GST_RTSP_OK) return true;
    if (method != GST_RTSP_OPTIONS && method != GST_RTSP_DESCRIBE) return true;
    const std::optional<CameraPin> target = cameraPinOf(uri != nullptr ? uri : "");
    if (target && target->host == pin.host && target->port == pin.port) return true;
    elsewhere = uri != nullptr ? uri : "an unreadable address";
    return false;
}

} // namespace rtsp_password
