#include "builder.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "text_util.h"

namespace tiltra {
namespace {

// One command line split for a request; the field texts live in `buffer`.
struct CommandLine {
    char buffer[kMaxLine + 1];
    const char* bytes[kMaxCommandBytes + 1];
    int byteCount = 0;
};

bool paramMatches(const char* field, int param) {
    std::int64_t value = 0;
    readDecimal(field, &value);
    return value == param;
}

std::size_t skipBlanks(std::string_view line, std::size_t pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    return pos;
}

// Start of the field after the ";" at or behind `from`, npos when there is
// none (no ";", or only blanks after it).
std::size_t nextField(std::string_view line, std::size_t from) {
    const std::size_t semi = line.find(';', from);
    if (semi == std::string_view::npos) return semi;
    const std::size_t start = skipBlanks(line, semi + 1);
    return start < line.size() ? start : std::string_view::npos;
}

// Same result as splitting the line into fields first, but lines of other
// commands cost one comparison and lines of other parameters no copy: the
// parameter numbers are read in place, where they end at their ";".
bool matchLine(const std::string& stored, std::string_view name, int param1, int param2, CommandLine& out) {
    std::string_view line = stored;
    if (line.size() > kMaxLine) line = line.substr(0, kMaxLine);
    if (line.empty() || line.front() == '[') return false;
    if (line.size() <= name.size() || line[name.size()] != ';' || line.compare(0, name.size(), name) != 0) {
        return false;
    }
    const std::size_t field2 = nextField(line, name.size());
    if (field2 == std::string_view::npos) return false;
    const std::size_t field3 = nextField(line, field2);
    if (field3 == std::string_view::npos) return false;
    const std::size_t field4 = nextField(line, field3);
    if (field4 == std::string_view::npos) return false;
    if (!paramMatches(stored.c_str() + field2, param1) || !paramMatches(stored.c_str() + field3, param2)) {
        return false;
    }
    std::string_view list = line.substr(field4);
    list = list.substr(0, list.find(';'));
    // A command holds 1 to 32 bytes; a longer list is refused, not cut, so a
    // head never receives half a command.
    const std::size_t n = splitFields(list, ',', out.buffer, out.bytes, kMaxCommandBytes + 1);
    if (n == 0 || n > kMaxCommandBytes) return false;
    out.byteCount = static_cast<int>(n);
    return true;
}

std::uint32_t operandValue(const Operand& op, const unsigned char* bytes, int count) {
    switch (op.kind) {
    case OperandKind::ByteRef:
        // A reference outside the command reads 0.
        return op.value >= 0 && op.value < count ? bytes[op.value] : 0u;
    case OperandKind::Constant: return static_cast<std::uint32_t>(op.value);
    case OperandKind::End: return 0u; // contributes nothing to a sum or exclusive or
    }
    return 0u;
}

std::uint32_t combine(std::uint32_t c, std::uint8_t op, std::uint32_t v) {
    switch (op) {
    case 0: return c ^ v;
    case 1: return c | v;
    case 2: return c & v;
    case 3: return c + v;
    case 4: return c - v;
    default: return c;
    }
}

void buildGeneric(const PTZContext& ctx, const CommandLine& line, unsigned char* bytes) {
    const Attributes& a = ctx.attributes;
    const int n = line.byteCount;
    const int address = mod256(std::int64_t{ctx.commandAddress} + a.addrIdStart - 1);
    // ADDRIDPOS 0 or past the last byte: the command goes out without address.
    const bool addressFits = a.addrIdPos >= 1 && a.addrIdPos <= n;
    unsigned char previous = 0;
    for (int i = 0; i < n; ++i) {
        std::uint32_t value = 0;
        if (addressFits && i == a.addrIdPos - 1) {
            previous = static_cast<unsigned char>(address);
        } else if (readHexPrefixed(line.bytes[i], &value)) {
            previous = static_cast<unsigned char>(value & 0xFFu);
        }
        bytes[i] = previous;
    }
    const ChecksumRule& rule = a.checksum;
    if (!rule.on || rule.operandCount == 0) return;
    std::uint32_t c = operandValue(rule.operands[0], bytes, n);
    for (int i = 1; i < rule.operandCount; ++i) {
        c = combine(c, rule.operators[i], operandValue(rule.operands[i], bytes, n));
    }
    if (addressFits) bytes[a.addrIdPos - 1] = static_cast<unsigned char>(address);
    // A destination outside the command is never written.
    if (rule.destination >= 0 && rule.destination < n) {
        bytes[rule.destination] = static_cast<unsigned char>(c & 0xFFu);
    }
}

void buildKalatel(const PTZContext& ctx, const CommandLine& line, unsigned char* bytes) {
    const Attributes& a = ctx.attributes;
    const int n = line.byteCount;
    unsigned char previous = 0;
    for (int i = 0; i < n; ++i) {
        std::uint32_t value = 0;
        if (readHexPrefixed(line.bytes[i], &value, 2)) previous = static_cast<unsigned char>(value & 0xFFu);
        bytes[i] = previous;
    }
    if (a.addrIdPos >= 1 && a.addrIdPos <= n) {
        bytes[a.addrIdPos - 1] = static_cast<unsigned char>(mod256(std::int64_t{ctx.commandAddress} + a.addrIdStart));
    }
    unsigned sum = 0;
    for (int i = 1; i < n - 1; ++i) sum += bytes[i];
    bytes[n - 1] = static_cast<unsigned char>((0u - sum) & 0xFFu);
}

void rememberCommand(PTZContext& ctx, std::string_view name) {
    // A name that does not fit is not kept: a cut name could stop a different command.
    if (name.size() >= sizeof ctx.lastCommand) {
        ctx.lastCommand[0] = '\0';
        return;
    }
    std::memcpy(ctx.lastCommand, name.data(), name.size());
    ctx.lastCommand[name.size()] = '\0';
}

} // namespace

bool findAndBuild(PTZContext& ctx, const char* name, int param1, int param2) {
    if (name == nullptr) return false;
    const std::string_view wanted(name);
    // A name holding ";" can never equal a first field.
    if (wanted.find(';') != std::string_view::npos) return false;
    CommandLine line;
    for (const std::string& stored : ctx.lines) {
        if (!matchLine(stored, wanted, param1, param2, line)) continue;
        unsigned char bytes[kMaxCommandBytes];
        if (ctx.attributes.kind == ProtocolKind::Kalatel) {
            buildKalatel(ctx, line, bytes);
        } else {
            buildGeneric(ctx, line, bytes);
        }
        std::memcpy(ctx.output, bytes, static_cast<std::size_t>(line.byteCount));
        ctx.outputCount = line.byteCount;
        rememberCommand(ctx, wanted);
        return true;
    }
    return false;
}

void formatHex(const unsigned char* bytes, int count, char* out) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    out[2 * count] = '\0';
}

const void* resultInOutputMode(PTZContext& ctx, int* count) {
    if (ctx.outputMode == 1) {
        if (count) *count = ctx.outputCount;
        return ctx.output;
    }
    if (ctx.outputMode != 2) {
        if (count) *count = 0;
        return nullptr;
    }
    formatHex(ctx.output, ctx.outputCount, ctx.hexText);
    if (count) *count = ctx.outputCount;
    if (ctx.cameraIp[0] && ctx.userName[0] && ctx.password[0]) {
        std::snprintf(ctx.urlText, sizeof ctx.urlText, "http://%s/cgi-bin/mpeg4?USER=%s&PWD=%s&SERIAL_HEX=%s",
                      ctx.cameraIp, ctx.userName, ctx.password, ctx.hexText);
        return ctx.urlText;
    }
    return ctx.hexText;
}

} // namespace tiltra
