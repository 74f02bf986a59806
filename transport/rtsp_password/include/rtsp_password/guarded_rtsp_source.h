// GStreamer's RTSP source under the password rule, for every path that
// streams a camera with it (the audio back channel, replay). The source
// writes the Authorization header itself as it sends, after its
// "before-send" signal, so that signal never sees it; what the rule needs
// is to keep the source from learning of a challenge it must not answer.
// An RTSP extension (GStreamer's own hook for RTSP protocol variants, called
// with every answer before the source reads its challenges) takes those out.
//
// Make every such source with makeGuardedRtspSource(), and keep it on TCP:
// over UDP the source answers a challenge to a keep-alive on a path that
// passes no extension.
#pragma once

#include "rtsp_password/password_rule.h"

#include <atomic>
#include <memory>
#include <string>

typedef struct _GstElement GstElement;

namespace rtsp_password {

class SourceGuard {
public:
    explicit SourceGuard(Authentication policy) : policy_(policy) {}
    Authentication policy() const { return policy_; }
    // The camera asked for Basic alone and the source was kept from it:
    // read on any thread once the source failed.
    bool basicRefused() const { return basicRefused_.load(); }

    // For the extension, on the source's threads.
    void noteBasicRefused() { basicRefused_.store(true); }
    void noteAttached() { attached_.store(true); }
    bool attached() const { return attached_.load(); }

private:
    const Authentication policy_;
    std::atomic<bool> basicRefused_{false};
    std::atomic<bool> attached_{false};
};

struct GuardedSource {
    GstElement* element = nullptr; // a floating reference, as GStreamer makes it
    std::shared_ptr<SourceGuard> guard;
    std::string error; // why there is no element
};

// A new "rtspsrc" whose answers pass the rule for `policy`. No element (and
// the reason) when GStreamer lacks the source or the guard could not be put
// in front of it: the password is then never handed to it.
GuardedSource makeGuardedRtspSource(Authentication policy);

} // namespace rtsp_password
