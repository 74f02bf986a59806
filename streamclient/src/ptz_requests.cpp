#include "ptz_requests.h"

#include <tiltra/ptz.h>

#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "interface_object.h"

namespace ostrel {

namespace {

// PTZ commands are at most 32 bytes; the library's output buffer is 64.
constexpr int kMaxCommandBytes = 64;
constexpr auto kDiagonalPause = std::chrono::milliseconds(10);

// A command the library built, copied out of its buffer.
struct CommandBytes {
    std::array<uint8_t, kMaxCommandBytes> bytes{};
    int32_t count = 0;
};

PTZHandle ptzOf(const OstrelInterface& self) { return static_cast<PTZHandle>(self.ptzHandle); }

// Copies at most width - 1 characters and always terminates.
void copyText(char* out, std::size_t width, const char* in, std::size_t inWidth) {
    std::size_t n = 0;
    while (n + 1 < width && n < inWidth && in[n] != '\0') {
        out[n] = in[n];
        ++n;
    }
    out[n] = '\0';
}

bool lookUp(OstrelInterface& self, const char* name, int32_t param, CommandBytes& out) {
    int count = 0;
    const unsigned char* bytes = PTZGetString(ptzOf(self), name, param, 0, &count);
    if (bytes == nullptr || count <= 0 || count > kMaxCommandBytes) return false;
    std::memcpy(out.bytes.data(), bytes, static_cast<std::size_t>(count));
    out.count = count;
    return true;
}

int32_t sendSerialBytes(OstrelInterface& self, const CommandBytes& command) {
    return sendTransportCommand(self, kCommandSerialBytes, command.bytes.data(), command.count);
}

// Looks the command up and sends it. The command lock spans both, because the
// library's result buffer belongs to the context and two callers would
// otherwise overwrite each other's bytes. sent tells whether a send happened.
int32_t lookUpAndSend(OstrelInterface& self, const char* name, int32_t param, bool* sent = nullptr) {
    std::lock_guard lock(self.commandLock);
    CommandBytes command;
    if (sent != nullptr) *sent = false;
    if (!lookUp(self, name, param, command)) return 0;
    if (sent != nullptr) *sent = true;
    return sendSerialBytes(self, command);
}

} // namespace

int32_t sendTransportCommand(OstrelInterface& self, int32_t type, const uint8_t* data, int32_t length) {
    return self.transport.sendCommand(type, data, length);
}

void releasePtz(OstrelInterface& self) {
    if (self.ptzHandle != nullptr) PTZCloseInterface(ptzOf(self));
    self.ptzHandle = nullptr;
}

int32_t enablePtz(OstrelInterface& self, int32_t enable, const PTZEnableInfo* info) {
    if (enable == 0) {
        releasePtz(self);
        return 1;
    }
    if (info == nullptr) return 0;
    if (info->sourceType != OSTREL_PTZ_SOURCE_FILE && info->sourceType != OSTREL_PTZ_SOURCE_BUILTIN) {
        return self.ptzHandle != nullptr ? 1 : 0;
    }
    PTZOpenRecord record{};
    record.addressId = info->addressId;
    record.outputMode = 2;
    copyText(record.vendor, sizeof record.vendor, info->vendorName, sizeof info->vendorName);
    copyText(record.protocol, sizeof record.protocol, info->protocolName, sizeof info->protocolName);
    copyText(record.protocolFile, sizeof record.protocolFile, info->fileName, sizeof info->fileName);
    // A second enable replaces the context instead of losing the first one.
    releasePtz(self);
    self.ptzHandle =
        info->sourceType == OSTREL_PTZ_SOURCE_FILE ? PTZOpenInterfaceWithFile(&record) : PTZOpenInterface(&record);
    return self.ptzHandle != nullptr ? 1 : 0;
}

bool ptzAllowed(const OstrelInterface& self) {
    return self.ptzHandle != nullptr && self.mediaConfig.connectionType != 1;
}

int32_t ptzCommand(OstrelInterface& self, const char* name, int32_t param) {
    if (!ptzAllowed(self)) return 0;
    return lookUpAndSend(self, name, param);
}

int32_t ptzDiagonal(OstrelInterface& self, const char* diagonal, const char* vertical, const char* horizontal,
                    int32_t speed) {
    if (!ptzAllowed(self)) return 0;
    bool sent = false;
    const int32_t result = lookUpAndSend(self, diagonal, speed, &sent);
    if (sent) return result;
    if (lookUpAndSend(self, vertical, speed) == 0) return 0;
    std::this_thread::sleep_for(kDiagonalPause);
    return lookUpAndSend(self, horizontal, speed);
}

int32_t ptzStop(OstrelInterface& self, int32_t direction) {
    if (!ptzAllowed(self)) return 0;
    bool sent = false;
    int32_t result = lookUpAndSend(self, "PANTILTSTOP", 0, &sent);
    if (sent) return result;
    switch (direction) {
    case 0: {
        // Speed 0 stops a move on protocols without a stop command; each
        // further command only while the last send went through.
        result = 0;
        bool anySent = false;
        for (const char* name : {"PANRIGHT", "PANLEFT", "TILTDOWN", "TILTUP"}) {
            if (anySent && result == 0) break;
            const int32_t r = lookUpAndSend(self, name, 0, &sent);
            if (!sent) continue;
            anySent = true;
            result = r;
        }
        return result;
    }
    case 1: return lookUpAndSend(self, "TILTUP", 0);
    case 2: return lookUpAndSend(self, "TILTDOWN", 0);
    case 3: return lookUpAndSend(self, "PANLEFT", 0);
    case 4: return lookUpAndSend(self, "PANRIGHT", 0);
    default: return 0;
    }
}

} // namespace ostrel
