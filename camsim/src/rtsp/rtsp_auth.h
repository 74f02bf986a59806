// How the simulated cameras' RTSP servers let a client in: digest
// authentication with the camera's user and password (Basic when a fault
// says so), and the role every mount grants the camera's user.
#pragma once

#include <gst/rtsp-server/rtsp-server.h>

#include <string>

namespace camsim::rtsp {

// Asks every client of `server` for the user and password: digest, or
// Basic alone when `basicOnly`.
void requireLogin(GstRTSPServer* server, const std::string& user, const std::string& password, bool basicOnly = false);
// Lets the logged-in camera user reach and build the factory's media.
void admitCameraUser(GstRTSPMediaFactory* factory);

} // namespace camsim::rtsp
