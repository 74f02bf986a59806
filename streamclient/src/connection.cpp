// Connecting and disconnecting an interface object.
#include "clock_wait.h"
#include "interface_object.h"
#include "video_renderer.h"

#include "platform/diagnostics.h"

namespace ostrel {

namespace {

void joinIfRunning(std::thread& thread) {
    if (thread.joinable()) thread.join();
}

// Renderer, picture descriptor and picture buffer outlive both the render and
// the receive thread, so they go only once both are joined.
void freeRenderObjects(OstrelInterface& self) {
    self.renderer.reset();
    self.picture.reset();
    self.pictureBuffer.reset();
}

} // namespace

bool onOwnThread(const OstrelInterface& self) {
    const auto me = std::this_thread::get_id();
    return me == self.receiveThread.get_id() || me == self.renderThread.get_id() || me == self.eventThread.get_id();
}

// How often a receive thread still connecting is woken again: it may have
// gone on to its next step since the last wake-up.
constexpr int kWakeAgainMs = 50;

// The transport's stop wakes a receive thread blocked in M_XConnect or
// M_XStartStreaming; that call then fails and the thread ends on its own.
void wakeAndJoinReceiveThread(OstrelInterface& self) {
    if (!self.receiveThread.joinable()) return;
    while (!self.receiveEnded.wait(0)) {
        stopTransport(self);
        if (self.receiveEnded.wait(kWakeAgainMs)) break;
    }
    self.receiveThread.join();
}

void joinAbandonedReceiveThread(OstrelInterface& self) {
    if (self.connected.load() != 0) return; // a connected stream is ended by M_KDisconnect
    wakeAndJoinReceiveThread(self);
}

int32_t connect(OstrelInterface& self) {
    if (self.connected.load() != 0) return 0;
    joinAbandonedReceiveThread(self);
    self.connectAbandoned.store(0);
    self.connectDone.reset();
    self.frameReady.reset();
    self.eventInfo.reset();
    self.picturePending.store(0);
    self.eventInfoPending.store(0);

    self.receiveEnded.reset();
    self.receiveThread = std::thread(receiveThreadMain, &self);
    waitOnClock(self.connectDone, *self.seams.clock, kConnectWaitMs);
    {
        std::lock_guard lock(self.connectLock);
        if (self.connected.load() == 0) {
            // A thread that already ended has told its reason; one still
            // connecting has not.
            if (!self.receiveEnded.wait(0))
                platform::diagnose("Ostrel-M: no connection within " + std::to_string(kConnectWaitMs / 1000) +
                                   " s; the attempt is abandoned");
            // The thread is joined later, before anything it uses goes away.
            self.connectAbandoned.store(1);
            return 0;
        }
    }
    self.renderThread = std::thread(renderThreadMain, &self);
    self.eventThread = std::thread(eventThreadMain, &self);
    return 1;
}

void disconnect(OstrelInterface& self) {
    self.disconnecting.store(1);
    self.running.store(0);
    // A receive thread still inside M_XConnect is woken rather than waited
    // for; it tears its connection down itself.
    if (self.connectAbandoned.load() != 0) wakeAndJoinReceiveThread(self);
    stopTransport(self);
    joinIfRunning(self.receiveThread);
    // The receive thread's farewell signals may have been consumed by a reset;
    // wake the other two once more.
    self.frameReady.set();
    self.eventInfo.set();
    joinIfRunning(self.renderThread);
    joinIfRunning(self.eventThread);
    freeRenderObjects(self);
}

} // namespace ostrel
