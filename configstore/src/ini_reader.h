// Reads the settings file format line by line and hands each section header
// and key line, with the comment block before it, to a sink.
#pragma once

#include <cstddef>
#include <string_view>

namespace ledra {

class IniSink {
public:
    virtual ~IniSink() = default;
    // Both return false when a record cannot be allocated.
    virtual bool onSection(std::string_view name, std::string_view comment) = 0;
    virtual bool onEntry(std::string_view section, std::string_view key, std::string_view value,
                         std::string_view comment) = 0;
};

enum class ReadResult {
    kOk,
    kParseError, // a line the format cannot take; reading stopped there
    kNoMemory,
};

struct ReadOutcome {
    ReadResult result = ReadResult::kOk;
    std::size_t line = 0;      // 1-based number of the line reading stopped at
    const char* why = nullptr; // what is wrong with that line
};

// The longest line the store reads and writes, without its line end: with
// the line feed it fills the 254 characters a field holds.
inline constexpr std::size_t kMaxLineText = 253;

// Lines end at a line feed; one carriage return before it belongs to the line
// end, as text mode reads it. Blank lines are skipped. A line longer than
// kMaxLineText or holding a NUL stops the reading, as do a header without
// "]" and a key line without "=" or without a section: cutting such a line
// would change what the next save writes.
ReadOutcome readIni(std::string_view text, IniSink& sink);

} // namespace ledra
