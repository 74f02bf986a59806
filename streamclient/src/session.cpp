#include "session.h"

#include "audio_player.h"
#include "platform/diagnostics.h"
#include "platform/thread_name.h"
#include "video_renderer.h"

namespace ostrel {

namespace {

// The owner of the session whose thread this is; null on other threads.
thread_local const void* tOwner = nullptr;

// How often a receive thread still connecting is woken again: it may have
// gone on to its next step since the last wake-up.
constexpr int kWakeAgainMs = 50;

void joinIfRunning(std::thread& thread) {
    if (thread.joinable()) thread.join();
}

} // namespace

Session::Session(TransportPlugin& transport, const ClientSettings& settings, const Seams& seams, StreamReport& report,
                 const void* owner, int streamingType)
    : transport_(transport), settings_(settings), seams_(seams), report_(report), owner_(owner),
      codecStream_(isCodecStreamingType(streamingType)), recordOnly_(settings.recordOnly()),
      receiveBufferSize_(codecStream_ ? kCodecReceiveBufferSize : kReceiveBufferSize) {
    report_.setStreamSize({});
}

Session::~Session() {
    disconnecting_.store(true);
    running_.store(false);
    // A receive thread still inside the transport's connect is woken rather
    // than waited for; it tears its connection down itself.
    if (connectAbandoned_.load()) wakeAndJoinReceiveThread();
    transport_.stop();
    joinIfRunning(receiveThread_);
    // The receive thread's farewell signals may have been consumed by a reset;
    // wake the other two once more.
    frameReady_.set();
    eventInfo_.set();
    joinIfRunning(renderThread_);
    joinIfRunning(eventThread_);
    // Renderer, picture descriptor and picture buffer go only now that both
    // the receive and the render thread are gone (members end in reverse).
}

bool Session::isOwnThread(const void* owner) { return owner != nullptr && tOwner == owner; }

std::thread Session::startThread(void (Session::*body)(), const char* name) {
    return std::thread([this, body, name] {
        platform::nameThisThread(name);
        tOwner = owner_;
        platform::ReasonScope scope(&report_.reasons);
        (this->*body)();
    });
}

bool Session::start() {
    receiveThread_ = startThread(&Session::receiveMain, "ostrel-receive");
    seams_.clock->waitFor(connectDone_, kConnectWaitMs);
    {
        std::lock_guard lock(connectLock_);
        if (!connected_.load()) {
            // A thread that already failed has told its reason; one still
            // connecting has not.
            if (!receiveEnded_.wait(0) && !connectFailed_.load())
                platform::diagnose("Ostrel-M: no connection within " + std::to_string(kConnectWaitMs / 1000) +
                                   " s; the attempt is abandoned");
            connectAbandoned_.store(true);
            return false;
        }
    }
    watchStartMs_ = seams_.clock->nowMs();
    if (!eventThreadWatchesPictures()) renderThread_ = startThread(&Session::renderMain, "ostrel-render");
    eventThread_ = startThread(&Session::eventMain, "ostrel-events");
    return true;
}

// The transport's stop wakes a receive thread blocked in its connect or start
// of streaming; that call then fails and the thread ends on its own.
void Session::wakeAndJoinReceiveThread() {
    if (!receiveThread_.joinable()) return;
    while (!receiveEnded_.wait(0)) {
        transport_.stop();
        if (receiveEnded_.wait(kWakeAgainMs)) break;
    }
    receiveThread_.join();
}

} // namespace ostrel
