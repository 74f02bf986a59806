// Keeps a camera's RTSP session made with GStreamer's RTSP source on the one
// host and port its address names (which the loopback guard allowed): the
// source connects there whatever a request names, and a request that starts
// over somewhere else (OPTIONS or DESCRIBE after a redirect) is not sent.
// Later requests may name another host, as a camera behind NAT describes
// itself; the connection stays where it is.
#pragma once

#include <optional>
#include <string>

typedef struct _GstElement GstElement;
typedef struct _GstRTSPMessage GstRTSPMessage;

namespace rtsp_password {

struct CameraPin {
    std::string host;
    unsigned port = 0;
};

// The host and port of an rtsp:// URL; nothing when it is none.
std::optional<CameraPin> cameraPinOf(const std::string& url);

// Makes `source` (an "rtspsrc") connect to the pinned host and port.
void pinSource(GstElement* source, const CameraPin& pin);

// For the source's "before-send" signal: true when `request` may go out;
// false, with where it would have gone in `elsewhere`, for a request that
// starts over at another host or port.
bool staysWithCamera(const CameraPin& pin, GstRTSPMessage* request, std::string& elsewhere);

} // namespace rtsp_password
