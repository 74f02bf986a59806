// Binding and unbinding of the transport and decoder plug-ins.
#include "interface_object.h"

#include "platform/function_table.h"

namespace ostrel {

bool bindTransport(OstrelInterface& self) {
    const int type = self.streamingType;
    if (type < 1 || type > 3) return false;
    unbindTransport(self);
    if (!self.transportModule.load(self.seams.transportNames[static_cast<std::size_t>(type - 1)])) return false;
    // A plug-in without one of the functions called unchecked is refused here
    // rather than crashing later.
    if (!bindTransportTable(self.transportModule, type, self.transport).empty()) {
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
    const int type = chooseDecoderType(self.seams.processorInfo ? self.seams.processorInfo() : platform::ProcessorInfo{});
    if (!self.decoderModule.load(self.seams.decoderNames[static_cast<std::size_t>(type - 1)])) return;
    if (platform::bindFunctionTable(self.decoderModule, self.decoder) != nullptr) {
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
