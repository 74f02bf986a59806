// Corvel-M: a camera reached at its RTSP URL or host.
#include "corvel/plugin.h"

#include <new>

namespace corvel {

std::unique_ptr<Instance> makePluginInstance() {
    return std::unique_ptr<Instance>(new (std::nothrow) Instance("Corvel-M", &locatePlainRtsp));
}

} // namespace corvel
