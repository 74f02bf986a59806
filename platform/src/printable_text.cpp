#include "platform/printable_text.h"

#include <cstdint>

namespace platform {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// The length of the valid UTF-8 sequence at `at`, or 0 when the bytes there
// are not one (a stray continuation byte, an overlong form, a surrogate, a
// code point above U+10FFFF or a sequence cut short).
std::size_t sequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(text[at + i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    uint8_t low = 0x80; // bounds of the second byte
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

bool isLineBreakOrTab(uint8_t c) { return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

} // namespace

std::string printableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(text, at);
        if (length == 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        const auto lead = static_cast<uint8_t>(text[at]);
        if (length == 1 && isLineBreakOrTab(lead)) {
            out += ' ';
        } else if (length == 1 && (lead < 0x20 || lead == 0x7F)) {
            // C0 controls and DEL are left out.
        } else if (length == 2 && lead == 0xC2 && static_cast<uint8_t>(text[at + 1]) < 0xA0) {
            // C1 controls, U+0080 to U+009F, are left out.
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    return out;
}

std::size_t utf8PrefixLength(std::string_view text, std::size_t limit) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t length = sequenceLength(text, end);
        if (length == 0 || end + length > limit) break;
        end += length;
    }
    return end;
}

} // namespace platform
