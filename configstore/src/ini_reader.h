// Reads the settings file format line by line and hands each section header
// and key line, with the comment block before it, to a sink.
#pragma once

#include <cstdio>
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
  kParseError,  // a header without "]", a key line without "=" or without a section
  kReadError,   // the file could not be read to its end
  kNoMemory,
};

// Lines are read at most 254 characters at a time; a longer physical line
// arrives as several lines, each handled by itself.
ReadResult readIni(std::FILE* file, IniSink& sink);

}  // namespace ledra
