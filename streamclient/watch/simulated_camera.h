// A simulated camera on 127.0.0.1 for tavolin-watch to watch when it is
// given none.
#pragma once

#include <transport/contract.h>

#include <memory>
#include <string>

namespace watch {

class SimulatedCamera {
public:
    virtual ~SimulatedCamera() = default;
    // Puts the camera's address, ports and login into the settings.
    virtual void describe(MediaConfig& config) const = 0;
};

// Starts a camera speaking the protocol of the streaming type (1 or 2); null
// with a message in error when none can be started.
std::unique_ptr<SimulatedCamera> startSimulatedCamera(int streamingType, std::string& error);

} // namespace watch
