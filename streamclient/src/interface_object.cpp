#include "interface_object.h"

#include "audio_sender.h"
#include "back_channel_sender.h"
#include "ptz_requests.h"

OstrelInterface::OstrelInterface(ostrel::Seams seamsIn)
    : seams(std::move(seamsIn)), audioSender(std::make_unique<ostrel::AudioSender>(*seams.clock, seams.audioDevices)),
      backChannel(std::make_unique<ostrel::BackChannelSender>(*seams.clock, seams.audioDevices)) {}

OstrelInterface::~OstrelInterface() {
    // A caller that skipped M_KDisconnect still gets its threads stopped
    // before anything they use goes.
    session.reset();
    audioSender.reset(); // stops capture and frees the token
    backChannel.reset(); // stops capture and closes it in the plug-in
    transport.unbind();
    ostrel::releasePtz(*this);
}

namespace ostrel {

OstrelInterface* openInterface(Seams seams) {
    try {
        return new OstrelInterface(std::move(seams));
    } catch (...) {
        return nullptr;
    }
}

int32_t connect(OstrelInterface& self) {
    if (self.everConnected) return 0;
    endAbandonedSession(self);
    // Events are asked of the camera only when a callback shows them.
    const Callbacks callbacks = self.settings.callbacks();
    self.transport.setEventsWanted(callbacks.motion.function != nullptr || callbacks.digitalInput.function != nullptr);
    self.session = std::make_unique<Session>(self.transport, self.settings, self.seams, self.report, &self,
                                             self.transport.streamingType());
    // A session that did not connect is kept: its receive thread may still
    // be inside the transport and is ended later.
    if (!self.session->start()) return 0;
    self.everConnected = true;
    return 1;
}

void disconnect(OstrelInterface& self) { self.session.reset(); }

void endAbandonedSession(OstrelInterface& self) {
    if (self.everConnected) return; // a connected stream is ended by M_KDisconnect
    self.session.reset();
}

bool onOwnThread(const OstrelInterface& self) { return Session::isOwnThread(&self); }

} // namespace ostrel
