// The audio back channel of a simulated camera's RTSP mounts, on GStreamer's
// ONVIF server: a client whose DESCRIBE carries
// "Require: www.onvif.org/ver20/backchannel" gets a media that only listens
// (the talk receiver hears it), unless the receiver is told to refuse.
#pragma once

#include "camsim/talk_receiver.h"

#include <gst/rtsp-server/rtsp-server.h>

#include <memory>
#include <string>

namespace camsim::rtsp {

// The pipeline that takes the client's RTP and decodes it for the receiver
// (an appsink named "talk").
std::string backChannelLaunch(TalkCodec codec);

// The server and the mount factories: ONVIF ones when `talk` is given, else
// the plain ones. The factory's launch line is still the caller's to set.
GstRTSPServer* makeServer(bool backChannel);
GstRTSPMediaFactory* makeMediaFactory(const std::shared_ptr<TalkReceiver>& talk);

// For a media a factory made: hands a back-channel media's decoded sound to
// `talk`. True when the media is the back channel alone (it has no picture
// to feed).
bool attachBackChannel(GstRTSPMedia* media, const std::shared_ptr<TalkReceiver>& talk);

// Answers a client's back-channel requests as `talk`'s refusal says.
void watchBackChannelRequests(GstRTSPClient* client, const std::shared_ptr<TalkReceiver>& talk);

// Empty when every element the back channel of `codec` needs is installed;
// else the first missing one and its package.
std::string missingBackChannelElement(TalkCodec codec);

} // namespace camsim::rtsp
