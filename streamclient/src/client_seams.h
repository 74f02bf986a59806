// What the stream client takes from its surroundings. M_KOpenInterface uses
// the defaults; tests pass their own when they open an interface.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/processor.h"
#include "stream_limits.h"

namespace ostrel {

// The transport plug-in of each streaming type, in type order.
inline std::array<std::string, kStreamingTypeCount> transportPluginNames() {
    std::array<std::string, kStreamingTypeCount> names;
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = transport::kStreamingTypes[i].plugin;
    return names;
}

struct Seams {
    // Measures the connect wait, the picture time-out and the microphone's
    // stop acknowledgement.
    const platform::Clock* clock = &platform::SystemClock::instance();
    std::function<platform::ProcessorInfo()> processorInfo = [] { return platform::readProcessorInfo(); };
    // Plug-in names by streaming type 1 to 5 and by decoder type 1, 2.
    std::array<std::string, kStreamingTypeCount> transportNames = transportPluginNames();
    std::array<std::string, 2> decoderNames = {"Garnet-M", "Quillon-M"};
    // Speaker and microphone; null means none. Asked once per connection for
    // the speaker and once per object for the microphone.
    std::function<std::shared_ptr<platform::AudioDevices>()> audioDevices = [] {
        return std::shared_ptr<platform::AudioDevices>(platform::makeSystemAudioDevices());
    };
};

} // namespace ostrel
