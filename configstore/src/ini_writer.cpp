#include "ini_writer.h"

#include <string_view>

namespace ledra {
namespace {

// The reader takes at most 254 characters per read, line feed included when
// it fits. A longer line comes back as pieces that load as lines of their own
// (usually stopping the load), so every line written stays within 253
// characters: an overlong value, key, name or comment line is cut on the way
// out. A name, key or value never holds a line feed here (the store cuts or
// refuses them, and the reader splits at them), and a key or name never
// holds what would make its line read as something else; so the file always
// loads back. Carriage returns are kept: a file with CR LF line ends is
// written back as it was read.
constexpr std::size_t kMaxLine = 253;

// The text up to its room and before any line feed.
std::string_view cut(std::string_view text, std::size_t room) {
  text = text.substr(0, text.find('\n'));
  return text.size() <= room ? text : text.substr(0, room);
}

void appendCommentBlock(std::string& out, std::string_view block) {
  while (!block.empty()) {
    const auto end = block.find('\n');
    out += cut(block.substr(0, end), kMaxLine);
    out += '\n';
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 1);
  }
}

}  // namespace

std::string writeIni(const SectionList& sections) {
  std::string out;
  for (const Section& s : sections) {
    appendCommentBlock(out, s.comment);
    out += '[';
    out += cut(s.name, kMaxLine - 2);
    out += "]\n";
    for (const Entry& e : s.entries) {
      appendCommentBlock(out, e.comment);
      const std::string_view key = cut(e.key, kMaxLine - 1);
      out += key;
      out += '=';
      out += cut(e.value, kMaxLine - 1 - key.size());
      out += '\n';
    }
  }
  return out;
}

}  // namespace ledra
