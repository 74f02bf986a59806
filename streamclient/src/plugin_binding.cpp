// Binding and unbinding of the transport and decoder plug-ins.
#include "interface_object.h"

#include "platform/diagnostics.h"
#include "platform/function_table.h"

namespace ostrel {

bool bindTransport(OstrelInterface& self) {
    const int type = self.streamingType;
    if (type < 1 || type > 3) {
        platform::diagnose("Ostrel-M: streaming type " + std::to_string(type) + " is not 1, 2 or 3");
        return false;
    }
    unbindTransport(self);
    const std::string& name = self.seams.transportNames[static_cast<std::size_t>(type - 1)];
    if (!self.transportModule.load(name)) {
        platform::diagnose("Ostrel-M: transport plug-in " + name + " for streaming type " + std::to_string(type) +
                           " could not be loaded: " + self.transportModule.error());
        return false;
    }
    // A plug-in without one of the functions called unchecked is refused here
    // rather than crashing later.
    const std::string missing = bindTransportTable(self.transportModule, type, self.transport);
    if (!missing.empty()) {
        platform::diagnose("Ostrel-M: transport plug-in " + self.transportModule.path() + " lacks " + missing +
                           " and is not used");
        self.transport = {};
        self.transportModule.unload();
        return false;
    }
    return true;
}

void stopTransport(OstrelInterface& self) {
    std::lock_guard lock(self.transportStopLock);
    if (self.transportInstance == nullptr) return;
    self.transport.disconnect(self.transportInstance);
    self.transport.stopStreaming(self.transportInstance);
}

void unbindTransport(OstrelInterface& self) {
    {
        std::lock_guard lock(self.transportStopLock);
        if (self.transportInstance != nullptr) {
            self.transport.stopStreaming(self.transportInstance);
            self.transport.disconnect(self.transportInstance);
            self.transport.exit(self.transportInstance);
            self.transportInstance = nullptr;
        }
    }
    self.transportModule.unload();
    self.transport = {};
}

void bindDecoder(OstrelInterface& self) {
    const int type =
        chooseDecoderType(self.seams.processorInfo ? self.seams.processorInfo() : platform::ProcessorInfo{});
    const std::string& name = self.seams.decoderNames[static_cast<std::size_t>(type - 1)];
    if (!self.decoderModule.load(name)) {
        platform::diagnose("Ostrel-M: decoder plug-in " + name +
                           " could not be loaded (no pictures will be shown): " + self.decoderModule.error());
        return;
    }
    if (const char* missing = platform::bindFunctionTable(self.decoderModule, self.decoder); missing != nullptr) {
        platform::diagnose("Ostrel-M: decoder plug-in " + self.decoderModule.path() + " lacks " + missing +
                           " and is not used (no pictures will be shown)");
        // Unusable: run without a decoder.
        self.decoder = {};
        self.decoderModule.unload();
        return;
    }
    if (self.decoderInstance == nullptr) self.decoderInstance = self.decoder.init(nullptr);
}

void unbindDecoder(OstrelInterface& self) {
    if (self.decoderInstance != nullptr && self.decoder.exit != nullptr) self.decoder.exit(self.decoderInstance);
    self.decoderInstance = nullptr;
    self.decoderModule.unload();
    self.decoder = {};
}

} // namespace ostrel
