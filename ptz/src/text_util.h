// Small text helpers shared by the protocol reader, the attribute scan and
// the command builder. None of them allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tiltra {

inline constexpr std::size_t kMaxLine = 127;  // characters of one protocol line
inline constexpr std::size_t kMaxFields = 32; // fields of one line
inline constexpr std::size_t kMaxCommandBytes = 32;

// Removes one trailing line feed (and the carriage return before it, as a
// text-mode read would), cuts at the first "#", trims blanks and tabs.
std::string_view cleanLine(std::string_view piece);

// Splits `text` at `sep` into `buffer` (at least text.size() + 1 bytes).
// After each separator the blanks and tabs that start the next field are
// skipped; a separator at the end gives no further field; an empty text has
// no field. At most `maxFields` fields are taken, the rest is ignored.
std::size_t splitFields(std::string_view text, char sep, char* buffer, const char** fields, std::size_t maxFields);

// Text before the first ";".
std::string_view firstField(std::string_view line);

// A decimal number the way the protocol files were always read: leading
// white space, an optional sign, digits. False (value 0) without digits.
// The value saturates far outside the int range, so it never wraps.
bool readDecimal(const char* text, std::int64_t* value);
std::int64_t decimalOrZero(const char* text);

// "0x" followed by a hexadecimal number; the number wraps at 32 bits and may
// carry a sign, blanks or a second "0x" as a scanned "0x%X" would accept.
// maxDigits limits the characters after "0x" (0 = no limit).
bool readHexPrefixed(const char* text, std::uint32_t* value, unsigned maxDigits = 0);

int mod256(std::int64_t value);

} // namespace tiltra
