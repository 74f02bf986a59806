// Connecting and disconnecting an interface object.
#include "clock_wait.h"
#include "interface_object.h"
#include "video_renderer.h"

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

void joinAbandonedReceiveThread(OstrelInterface& self) {
    if (self.connected.load() != 0) return;  // a connected stream is ended by M_KDisconnect
    joinIfRunning(self.receiveThread);
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

    self.receiveThread = std::thread(receiveThreadMain, &self);
    waitOnClock(self.connectDone, *self.seams.clock, kConnectWaitMs);
    {
        std::lock_guard lock(self.connectLock);
        if (self.connected.load() == 0) {
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
    // A receive thread still inside M_XConnect must not meet a concurrent
    // M_XDisconnect: let it finish (it tears its connection down itself).
    if (self.connectAbandoned.load() != 0) joinIfRunning(self.receiveThread);
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
