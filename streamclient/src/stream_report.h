// What a handle's stream tells its caller besides the callbacks: the last
// reason told on its behalf (a refused login, a lost connection). It belongs
// to the interface object, so that any thread may read it while sessions
// come and go.
#pragma once

#include "platform/diagnostics.h"

namespace ostrel {

struct StreamReport {
    // Kept by the handle's own threads and by the exports that act for it.
    platform::ReasonSlot reasons;
};

} // namespace ostrel
