#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "attributes.h"
#include "catalogue.h"
#include "operations.h"
#include "platform/diagnostics.h"
#include "protocol_file.h"
#include "reader.h"

namespace tiltra {
namespace {

// Copies a fixed-width record field: at most width - 1 characters, even when
// the caller forgot the terminating NUL.
template <std::size_t To, std::size_t From>
void copyField(char (&to)[To], const char (&from)[From]) {
    static_assert(To >= From);
    std::memset(to, 0, To);
    std::memcpy(to, from, strnlen(from, From - 1));
}

std::unique_ptr<PTZContext> createContext(const PTZOpenRecord& record) {
    std::unique_ptr<PTZContext> ctx(new (std::nothrow) PTZContext);
    if (!ctx) return nullptr;
    ctx->addressId = record.addressId;
    copyField(ctx->cameraIp, record.cameraIp);
    copyField(ctx->userName, record.userName);
    copyField(ctx->password, record.password);
    return ctx;
}

void finishOpen(PTZContext& ctx, const PTZOpenRecord& record) {
    ctx.attributes.kind = kindFromName(ctx.protocolName);
    scanAttributes(ctx);
    // Every protocol addresses the camera it was opened for, also one
    // without a CHECKSUM line; otherwise its commands would all go to
    // address 1.
    ctx.commandAddress = ctx.addressId;
    ctx.outputMode = record.outputMode;
}

PTZContext* openLines(const PTZOpenRecord& record, std::string_view name, std::vector<std::string> lines) {
    std::unique_ptr<PTZContext> ctx = createContext(record);
    if (!ctx) return nullptr;
    const std::size_t n = name.size() < sizeof ctx->protocolName ? name.size() : sizeof ctx->protocolName - 1;
    if (n > 0) std::memcpy(ctx->protocolName, name.data(), n);
    ctx->lines = std::move(lines);
    finishOpen(*ctx, record);
    return ctx.release();
}

} // namespace

PTZContext* openText(const PTZOpenRecord* record, std::string_view name, std::string_view text) {
    if (record == nullptr) return nullptr;
    try {
        std::vector<std::string> lines;
        readProtocolText(text, lines);
        if (lines.empty()) {
            platform::diagnose("Tiltra-M: PTZ protocol " + std::string(name) + " refused: it holds no protocol lines");
            return nullptr;
        }
        return openLines(*record, name, std::move(lines));
    } catch (...) {
        return nullptr;
    }
}

PTZContext* openBuiltin(const PTZOpenRecord* record) {
    if (record == nullptr || record->vendor[0] == '\0' || record->protocol[0] == '\0') return nullptr;
    char vendor[sizeof record->vendor];
    char protocol[sizeof record->protocol];
    copyField(vendor, record->vendor);
    copyField(protocol, record->protocol);
    char name[64];
    std::snprintf(name, sizeof name, "%s_%s", vendor, protocol);
    const std::string_view text = builtinText(name);
    if (text.empty()) {
        platform::diagnose(std::string("Tiltra-M: no built-in PTZ protocol ") + name);
        return nullptr;
    }
    return openText(record, name, text);
}

PTZContext* openStream(const PTZOpenRecord* record, std::string_view name, std::FILE* stream) {
    if (record == nullptr) return nullptr;
    try {
        std::vector<std::string> lines;
        if (stream) readProtocolStream(stream, lines);
        return openLines(*record, name, std::move(lines));
    } catch (...) {
        return nullptr;
    }
}

PTZContext* openFile(const PTZOpenRecord* record) {
    if (record == nullptr) return nullptr;
    char path[sizeof record->protocolFile];
    copyField(path, record->protocolFile);
    try {
        std::vector<std::string> lines;
        std::string why;
        if (const std::optional<std::string> bytes = readProtocolFile(path, why)) {
            readProtocolBytes(*bytes, lines);
        } else {
            // Refused or unreadable, it still gives a context; its requests
            // find nothing.
            platform::diagnose("Tiltra-M: PTZ protocol file " + std::string(path) + " is not read (" + why +
                               "); its commands will be empty");
        }
        return openLines(*record, path, std::move(lines));
    } catch (...) {
        return nullptr;
    }
}

void close(PTZContext* context) { delete context; }

const char* enumerate(PTZContext* context, int kind, int* length) {
    if (kind == 3) return listCatalogue(length);
    if (context == nullptr) return nullptr;
    switch (kind) {
    case 1: return listSections(*context, length);
    case 2: return listCommandNames(*context, length);
    case 5: return context->attributes.panel;
    default: return nullptr;
    }
}

} // namespace tiltra
