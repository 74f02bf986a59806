// A worker thread works for whoever started it: a plug-in's keep-alive,
// event or command thread belongs to the stream whose call made it, however
// many streams run in the process. The lines it tells are kept in the reason
// slot its starter kept lines in at the start (none when the starter had
// none), not in whatever slot happens to be current on the thread that
// ends up looking.
#pragma once

#include <thread>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/thread_name.h"

namespace platform {

// Starts `body` on a new thread named `name` (else it would carry its
// starter's name, and per-thread figures would count a stream's PTZ or
// keep-alive thread as its receive thread) inside a ReasonScope of the
// calling thread's current slot. That slot must outlive the thread, as it
// must for any scope: a stream's owner joins its plug-in's threads before
// its report goes.
template <typename Body>
std::thread startWorkerThread(const char* name, Body&& body) {
    ReasonSlot* const slot = currentReasonSlot();
    return std::thread([slot, name, body = std::forward<Body>(body)]() mutable {
        nameThisThread(name);
        const ReasonScope scope(slot);
        body();
    });
}

} // namespace platform
