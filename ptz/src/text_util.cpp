#include "text_util.h"

#include <cstring>

namespace tiltra {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string_view cleanLine(std::string_view piece) {
    if (!piece.empty() && (piece.back() == '\n' || piece.back() == '\r')) {
        const bool lineFeed = piece.back() == '\n';
        piece.remove_suffix(1);
        if (lineFeed && !piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    }
    if (auto hash = piece.find('#'); hash != std::string_view::npos) piece = piece.substr(0, hash);
    while (!piece.empty() && isBlank(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && isBlank(piece.back())) piece.remove_suffix(1);
    return piece;
}

std::size_t splitFields(std::string_view text, char sep, char* buffer, const char** fields, std::size_t maxFields) {
    if (!text.empty()) std::memmove(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    std::size_t count = 0;
    std::size_t pos = 0;
    const std::size_t end = text.size();
    if (end == 0) return 0;
    if (maxFields == 0) return 0;
    for (;;) {
        fields[count++] = buffer + pos;
        const void* hit = std::memchr(buffer + pos, sep, end - pos);
        if (hit == nullptr) break;
        std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - buffer);
        buffer[at] = '\0';
        if (count == maxFields) break;
        pos = at + 1;
        while (pos < end && isBlank(buffer[pos])) ++pos;
        if (pos >= end) break;
    }
    return count;
}

std::string_view firstField(std::string_view line) { return line.substr(0, line.find(';')); }

bool readDecimal(const char* text, std::int64_t* value) {
    constexpr std::int64_t kCap = std::int64_t{1} << 40;
    const char* p = text;
    while (isSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') {
        *value = 0;
        return false;
    }
    std::int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (v < kCap) v = v * 10 + (*p - '0');
    }
    *value = negative ? -v : v;
    return true;
}

std::int64_t decimalOrZero(const char* text) {
    std::int64_t v = 0;
    readDecimal(text, &v);
    return v;
}

bool readHexPrefixed(const char* text, std::uint32_t* value, unsigned maxDigits) {
    if (text[0] != '0' || text[1] != 'x') return false;
    const char* p = text + 2;
    while (isSpace(*p)) ++p;
    unsigned budget = maxDigits == 0 ? ~0u : maxDigits;
    bool negative = false;
    if (budget > 0 && (*p == '+' || *p == '-')) {
        negative = *p++ == '-';
        --budget;
    }
    if (budget > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigit(p[2]) >= 0) {
        p += 2;
        budget -= 2;
    }
    std::uint32_t v = 0;
    unsigned digits = 0;
    for (; budget > 0 && hexDigit(*p) >= 0; ++p, --budget, ++digits) {
        v = v * 16u + static_cast<std::uint32_t>(hexDigit(*p));
    }
    if (digits == 0) return false;
    *value = negative ? 0u - v : v;
    return true;
}

int mod256(std::int64_t value) { return static_cast<int>(((value % 256) + 256) % 256); }

} // namespace tiltra
