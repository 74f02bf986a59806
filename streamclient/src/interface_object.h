// The interface object behind an Ostrel-M handle: the caller's settings, the
// transport plug-in, the PTZ context, the audio-out sender and, while
// connected, the session.
#pragma once

#include <ostrel/stream_client.h>

#include <cstdint>
#include <memory>
#include <mutex>

#include "client_seams.h"
#include "client_settings.h"
#include "session.h"
#include "stream_report.h"
#include "transport_plugin.h"

namespace ostrel {
class AudioSender;
class BackChannelSender;
} // namespace ostrel

// One object per M_KOpenInterface; the handle is its address.
struct OstrelInterface {
    explicit OstrelInterface(ostrel::Seams seams);
    // Ends the session, the audio-out token, the back channel, the transport
    // and the PTZ context, in that order.
    ~OstrelInterface();
    OstrelInterface(const OstrelInterface&) = delete;
    OstrelInterface& operator=(const OstrelInterface&) = delete;

    const ostrel::Seams seams;
    // Outlives everything below, whose threads report into it.
    ostrel::StreamReport report;
    ostrel::ClientSettings settings;
    int32_t streamingType = 2;
    // The transport keeps a pointer to this copy.
    MediaConfig mediaConfig{};
    ostrel::TransportPlugin transport;

    // Made by M_KConnect; a session that did not connect stays until the next
    // connect, configuration or disconnect ends its late receive thread.
    std::unique_ptr<ostrel::Session> session;
    // An object streams once: after a connect succeeded, later ones fail.
    bool everConnected = false;

    void* ptzHandle = nullptr;
    // Serialises PTZ command look-ups and sends.
    std::mutex commandLock;

    std::unique_ptr<ostrel::AudioSender> audioSender;
    // Talk-back through a plug-in that carries it (ONVIF cameras).
    std::unique_ptr<ostrel::BackChannelSender> backChannel;
};

namespace ostrel {

// M_KOpenInterface with the given seams; null when out of memory.
OstrelInterface* openInterface(Seams seams);

// Starts a session; 1 when it connected.
int32_t connect(OstrelInterface& self);
// Ends the session, if any.
void disconnect(OstrelInterface& self);
// Ends a session whose connect gave up: wakes its receive thread inside the
// transport rather than waiting out its time-outs. A connected one stays.
void endAbandonedSession(OstrelInterface& self);
// True on the object's own receive, render or event thread, i.e. inside one of
// its callbacks: such a thread cannot wait for itself.
bool onOwnThread(const OstrelInterface& self);

} // namespace ostrel
