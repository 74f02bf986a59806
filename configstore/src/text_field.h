// Fixed-width text fields of the store's records: 255 bytes, at most 254
// characters. Longer texts are cut to the field, never written past it.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace ledra {

inline constexpr std::size_t kFieldSize = 255;
inline constexpr std::size_t kMaxText = kFieldSize - 1;

using Field = char[kFieldSize];

// The part of a caller's text that a field can hold; a null text is empty.
inline std::string_view fieldText(const char* text) {
    if (text == nullptr) return {};
    return {text, ::strnlen(text, kMaxText)};
}

inline void copyField(Field& dst, std::string_view src) {
    const std::size_t n = src.size() < kMaxText ? src.size() : kMaxText;
    if (n > 0) std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

// A comment block is one or more lines joined by line feeds. When it is longer
// than a field, keep the leading whole lines that fit: cutting inside a line
// and leaving a trailing line feed would put a blank line into the file, and
// a blank line stops the next load.
inline std::string_view commentThatFits(std::string_view block) {
    if (block.size() <= kMaxText) return block;
    const auto cut = block.substr(0, kMaxText + 1).rfind('\n');
    if (cut == std::string_view::npos) return block.substr(0, kMaxText);
    return block.substr(0, cut);
}

} // namespace ledra
