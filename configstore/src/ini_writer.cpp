#include "ini_writer.h"

namespace ledra {
namespace {

void appendLine(std::string& out, const char* text) {
  out += text;
  out += '\n';
}

}  // namespace

std::string writeIni(const SectionList& sections) {
  std::string out;
  for (const Section& s : sections) {
    if (s.comment[0] != '\0') appendLine(out, s.comment);
    out += '[';
    out += s.name;
    out += "]\n";
    for (const Entry& e : s.entries) {
      if (e.comment[0] != '\0') appendLine(out, e.comment);
      out += e.key;
      out += '=';
      appendLine(out, e.value);
    }
  }
  return out;
}

}  // namespace ledra
