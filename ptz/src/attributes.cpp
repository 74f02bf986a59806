#include "attributes.h"

#include <cstring>
#include <string_view>

#include "text_util.h"

namespace tiltra {
namespace {

enum Keyword { AddrIdStart, AddrIdPos, Checksum, Interval, MousePtz, Panel, KeywordCount };

constexpr std::string_view kKeywords[KeywordCount] = {"ADDRIDSTART", "ADDRIDPOS", "CHECKSUM",
                                                      "INTERVAL",    "MOUSEPTZ",  "PANEL"};

int clampInt(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int>(v);
}

int operatorCode(char c) {
    switch (c) {
    case '^': return 0;
    case '|': return 1;
    case '&': return 2;
    case '+': return 3;
    case '-': return 4;
    default: return 5; // '='
    }
}

// The text right after "KEYWORD;" up to the next ";" (empty without ";").
std::string_view valueAfterKeyword(std::string_view line, std::string_view keyword) {
    if (line.size() <= keyword.size()) return {};
    std::string_view rest = line.substr(keyword.size() + 1);
    return rest.substr(0, rest.find(';'));
}

// Second field of the line, copied NUL-terminated into `out`; false if none.
bool secondField(std::string_view line, char (&out)[kMaxLine + 1]) {
    char buffer[kMaxLine + 1];
    const char* fields[2];
    if (line.size() > kMaxLine) line = line.substr(0, kMaxLine);
    if (splitFields(line, ';', buffer, fields, 2) < 2) return false;
    std::strcpy(out, fields[1]);
    return true;
}

void copyValue(std::string_view text, char (&out)[kMaxLine + 1]) {
    if (text.size() > kMaxLine) text = text.substr(0, kMaxLine);
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
}

void readAddrIdStart(std::string_view line, Attributes& a) {
    char value[kMaxLine + 1];
    copyValue(valueAfterKeyword(line, kKeywords[AddrIdStart]), value);
    std::uint32_t hex = 0;
    if (readHexPrefixed(value, &hex)) {
        a.addrIdStart = static_cast<int>(hex);
    } else {
        a.addrIdStart = clampInt(decimalOrZero(value));
    }
}

void readAddrIdPos(std::string_view line, Attributes& a) {
    char value[kMaxLine + 1];
    copyValue(valueAfterKeyword(line, kKeywords[AddrIdPos]), value);
    a.addrIdPos = clampInt(decimalOrZero(value));
}

} // namespace

void parseChecksumRule(const char* rule, ChecksumRule& out) {
    out = ChecksumRule{};
    out.on = true;
    const std::size_t length = std::strlen(rule);
    out.destination = clampInt(length >= 2 ? decimalOrZero(rule + 2) - 1 : -1);

    const char* p = rule;
    while (out.operandCount < kMaxRuleTerms && out.operatorCount < kMaxRuleTerms) {
        while (*p == ' ' || *p == '\t') ++p;
        const char* op = std::strpbrk(p, "^&|=+-");
        if (op == nullptr) break;
        out.operators[out.operatorCount++] = static_cast<std::uint8_t>(operatorCode(*op));
        const char* dollar = std::strchr(op, '$');
        if (dollar == nullptr) break;
        Operand operand;
        std::int64_t number = 0;
        std::uint32_t constant = 0;
        if (dollar[1] == 'B' && dollar[2] == 'E') {
            operand.kind = OperandKind::End;
        } else if (dollar[1] == 'B' && readDecimal(dollar + 2, &number)) {
            operand.kind = OperandKind::ByteRef;
            operand.value = number - 1;
        } else if (dollar[1] == 'C' && readHexPrefixed(dollar + 2, &constant)) {
            operand.kind = OperandKind::Constant;
            operand.value = constant;
        } else {
            break;
        }
        out.operands[out.operandCount++] = operand;
        p = dollar + 3; // remaining digits hold no operator characters
    }
}

void scanAttributes(PTZContext& context) {
    Attributes& a = context.attributes;
    bool taken[KeywordCount] = {};
    for (const std::string& stored : context.lines) {
        const std::string_view line = stored;
        const std::string_view name = firstField(line);
        int match = -1;
        for (int k = 0; k < KeywordCount; ++k) {
            if (!taken[k] && name == kKeywords[k]) {
                match = k;
                break;
            }
        }
        if (match < 0) {
            if (taken[AddrIdStart] && taken[AddrIdPos] && taken[Checksum] && taken[Interval] && taken[Panel]) {
                break;
            }
            continue;
        }
        taken[match] = true;
        char value[kMaxLine + 1];
        switch (match) {
        case AddrIdStart: readAddrIdStart(line, a); break;
        case AddrIdPos: readAddrIdPos(line, a); break;
        case Checksum:
            context.commandAddress = context.addressId;
            if (secondField(line, value)) {
                parseChecksumRule(value, a.checksum);
            } else {
                a.checksum = ChecksumRule{};
            }
            break;
        case Interval: a.interval = secondField(line, value) ? clampInt(decimalOrZero(value)) : 0; break;
        case MousePtz: a.mousePtz = secondField(line, value) ? clampInt(decimalOrZero(value)) : 0; break;
        case Panel:
            if (secondField(line, value)) {
                static_assert(sizeof value <= sizeof a.panel);
                std::memcpy(a.panel, value, sizeof a.panel);
            } else {
                a.panel[0] = '\0';
            }
            break;
        default: break;
        }
    }
}

} // namespace tiltra
