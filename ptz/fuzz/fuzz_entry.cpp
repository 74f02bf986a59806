#include "fuzz_entry.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "operations.h"
#include "text_util.h"

// Input: one flag byte (bit 0 file reader, bit 1 Kalatel name, bits 2-3 output
// mode), four bytes of address ID, then a protocol text, a NUL, and request
// lines NAME;P1;P2 separated by line feeds.
namespace {

struct ContextCloser {
    PTZContext* ctx;
    ~ContextCloser() { tiltra::close(ctx); }
};

void request(PTZContext* ctx, const char* name, int p1, int p2) {
    int count = -1;
    if (const unsigned char* bytes = tiltra::getString(ctx, name, p1, p2, &count)) {
        // Touch every byte reported, so ASan sees an overrun.
        unsigned sum = 0;
        for (int i = 0; i < count; ++i) sum += bytes[i];
        (void)sum;
    }
    if (const char* hex = tiltra::getStringUrl(ctx, name, p1, p2, &count)) {
        (void)std::strlen(tiltra::urlCommand(hex, name, hex, hex));
    }
}

void everyExport(PTZContext* ctx, int p1, int p2) {
    for (int code = 0; code <= 41; ++code) {
        int count = 0;
        tiltra::move(ctx, code, p1, p2, &count);
        tiltra::zoom(ctx, code, &count);
        tiltra::focus(ctx, code);
        tiltra::iris(ctx, code);
        tiltra::osd(ctx, code);
        tiltra::preset(ctx, code, p1);
        tiltra::dayNight(ctx, code);
        tiltra::blc(ctx, code);
    }
}

void listings(PTZContext* ctx) {
    for (int kind = 0; kind <= 6; ++kind) {
        int length = -1;
        if (const char* text = tiltra::enumerate(ctx, kind, &length)) (void)std::strlen(text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::uint8_t flags = data[0];
    PTZOpenRecord record{};
    std::memcpy(&record.addressId, data + 1, sizeof record.addressId);
    record.outputMode = (flags >> 2) & 3;
    std::strcpy(record.cameraIp, "127.0.0.1");
    std::strcpy(record.userName, "user");
    std::strcpy(record.password, "pass");

    const std::string_view rest(reinterpret_cast<const char*>(data + 5), size - 5);
    const std::size_t nul = rest.find('\0');
    const std::string_view text = rest.substr(0, nul);
    const std::string_view script = nul == std::string_view::npos ? std::string_view{} : rest.substr(nul + 1);
    const char* name = (flags & 2) ? "/protocol/GE_Kalatel.ptz" : "/protocol/fuzz.ptz";

    PTZContext* ctx = nullptr;
    if (flags & 1) {
        std::string copy(text);
        std::FILE* stream = copy.empty() ? nullptr : fmemopen(copy.data(), copy.size(), "r");
        ctx = tiltra::openStream(&record, name, stream);
        if (stream) std::fclose(stream);
    } else {
        ctx = tiltra::openText(&record, name, text);
    }
    if (ctx == nullptr) return 0;
    ContextCloser closer{ctx};

    listings(ctx);
    // Ask for every line's own command with its own parameters, so the
    // builder runs on every line the reader kept.
    for (const std::string& line : ctx->lines) {
        char buffer[tiltra::kMaxLine + 1];
        const char* fields[3];
        const std::size_t n = tiltra::splitFields(line.substr(0, tiltra::kMaxLine), ';', buffer, fields, 3);
        if (n < 3) continue;
        request(ctx, fields[0], static_cast<int>(tiltra::decimalOrZero(fields[1])),
                static_cast<int>(tiltra::decimalOrZero(fields[2])));
    }
    std::string_view lines = script;
    while (!lines.empty()) {
        const std::size_t lf = lines.find('\n');
        const std::string line(lines.substr(0, lf));
        lines = lf == std::string_view::npos ? std::string_view{} : lines.substr(lf + 1);
        char buffer[tiltra::kMaxLine + 1];
        const char* fields[3] = {"", "0", "0"};
        tiltra::splitFields(std::string_view(line).substr(0, tiltra::kMaxLine), ';', buffer, fields, 3);
        const int p1 = static_cast<int>(tiltra::decimalOrZero(fields[1]));
        const int p2 = static_cast<int>(tiltra::decimalOrZero(fields[2]));
        request(ctx, fields[0], p1, p2);
        everyExport(ctx, p1, p2);
    }
    everyExport(ctx, 1, 0);
    listings(ctx);
    return 0;
}
