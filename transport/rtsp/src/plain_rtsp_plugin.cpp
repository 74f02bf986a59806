// Corvel-M: a camera reached at its RTSP URL or host.
#include "corvel/instance.h"

#include <new>

std::unique_ptr<transport::PluginInstance> transport::makePluginInstance() {
    return std::unique_ptr<PluginInstance>(new (std::nothrow) corvel::Instance("Corvel-M", &corvel::locatePlainRtsp));
}
