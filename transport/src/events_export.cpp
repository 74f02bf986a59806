// The export a plug-in that subscribes to a camera's events adds to the
// shared ones (plugin_exports.cpp): whether anybody shows the events, so that
// a camera nobody watches for them holds no subscription for this viewer.
#include "transport/plugin_exports.h"
#include "transport/plugin_instance.h"

extern "C" int32_t M_XSetEventsWanted(void* handle, int32_t wanted) {
    if (handle == nullptr) return 0;
    try {
        transport::instanceOf(handle)->setEventsWanted(wanted != 0);
        return 1;
    } catch (...) {
        return 0;
    }
}
