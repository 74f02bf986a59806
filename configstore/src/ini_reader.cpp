#include "ini_reader.h"

#include <cstring>

#include "text_field.h"

namespace ledra {
namespace {

constexpr std::size_t kPendingSize = 1024;  // comment block collected before an item

// Comment lines waiting for the next header or key line.
class PendingComment {
 public:
  void add(std::string_view line) {
    const std::size_t extra = (len_ ? 1 : 0) + line.size();
    // Only the leading lines that fit a field are kept in the end; dropping
    // whole lines beyond the block's room keeps it a list of full lines.
    if (len_ + extra >= kPendingSize) return;
    if (len_) buf_[len_++] = '\n';
    std::memcpy(buf_ + len_, line.data(), line.size());
    len_ += line.size();
  }
  std::string_view text() const { return {buf_, len_}; }
  void clear() { len_ = 0; }

 private:
  char buf_[kPendingSize];
  std::size_t len_ = 0;
};

}  // namespace

ReadResult readIni(std::FILE* file, IniSink& sink) {
  char line[kFieldSize];
  char section[kFieldSize] = "";
  PendingComment pending;

  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] == '\n') line[--len] = '\0';
    const std::string_view text(line, len);

    if (!text.empty() && (text[0] == '#' || text[0] == ';')) {
      pending.add(text);
      continue;
    }

    if (!text.empty() && text[0] == '[') {
      // A header with several "]" ends its name at the first one.
      const auto close = text.find(']');
      if (close == std::string_view::npos) return ReadResult::kParseError;
      const std::string_view name = text.substr(1, close - 1);
      if (!sink.onSection(name, commentThatFits(pending.text()))) return ReadResult::kNoMemory;
      pending.clear();
      std::memcpy(section, name.data(), name.size());
      section[name.size()] = '\0';
      continue;
    }

    // A key line splits at its first "=", so a value may itself hold "=".
    const auto eq = text.find('=');
    if (eq == std::string_view::npos || section[0] == '\0') return ReadResult::kParseError;
    if (!sink.onEntry(section, text.substr(0, eq), text.substr(eq + 1), commentThatFits(pending.text()))) {
      return ReadResult::kNoMemory;
    }
    pending.clear();
  }
  if (std::ferror(file)) return ReadResult::kReadError;
  // A comment block after the last item is dropped.
  return ReadResult::kOk;
}

}  // namespace ledra
