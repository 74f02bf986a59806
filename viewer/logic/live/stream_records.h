// The records the live view hands to the stream client, filled from a camera
// record: the connection record, the render information and the PTZ enable
// record, and the text of the name label.
#pragma once

#include <QSize>
#include <QString>
#include <cstdint>

#include "ostrel/stream_client.h"
#include "tavolin/camera_record.h"
#include "transport/contract.h"

namespace tavolin::ui {

// Seconds the transport waits for each connection of an attempt.
inline constexpr int32_t kConnectTimeoutSeconds = 3;

// True when the record has a control port, a streaming port and a host text
// longer than five characters (an RTSP or ONVIF record: any address): only
// then is it worth a connection record.
bool recordCanConnect(const CameraRecord& record);

// Fills the fields of `config` a connection needs from `record`; every other
// byte keeps what it held.
void fillMediaConfig(MediaConfig& config, const CameraRecord& record);

// Prepares `config` for `record`: filled when the record passes the checks,
// otherwise cleared to nothing (connection type 0), so that the stream client
// refuses it and the attempt fails instead of reaching the previous camera.
void prepareMediaConfig(MediaConfig& config, const CameraRecord& record);

// The whole window from its top-left corner.
RenderInfo makeRenderInfo(uint32_t window, QSize screen);

PTZEnableInfo makePtzEnableInfo(const CameraRecord& record);

// " <position + 1> - <name>", as the name label shows it.
QString cameraNameText(int position, const CameraRecord& record);

} // namespace tavolin::ui
