// The password rule over GStreamer's RTSP messages: what an answer's
// challenges allow, for the picture's preflight and for GStreamer's RTSP
// source, which must never learn of a challenge the rule refuses.
#pragma once

#include "rtsp_password/password_rule.h"

#include <gst/rtsp/gstrtspmessage.h>

#include <string>
#include <vector>

namespace rtsp_password {

// The WWW-Authenticate values of an answer, in order.
std::vector<std::string> challengesOf(const GstRTSPMessage* response);

// What the rule says about the answer's challenges.
Answer answerTo(Authentication policy, const GstRTSPMessage* response);

// Takes out of `response` every challenge the policy forbids answering (each
// WWW-Authenticate header that holds a Basic one, under DigestOnly), so that
// a client reading it next answers with digest or not at all. Returns what
// the rule said about the challenges as they came.
Answer keepAnswerableChallenges(Authentication policy, GstRTSPMessage* response);

} // namespace rtsp_password
