#include "ini_writer.h"

#include <string_view>

#include "ini_reader.h"

namespace ledra {
namespace {

// The reader refuses a line longer than kMaxLineText, so every line written
// stays within it: an overlong value, key, name or comment line is cut on the
// way out. A name, key or value never holds a line feed here (the store cuts
// or refuses them, and the reader splits at them), and a key or name never
// holds what would make its line read as something else; so the file always
// loads back. Lines end in a line feed alone; a line whose text itself ends
// in a carriage return gets one more, which the reader takes as part of the
// line end, so that the text comes back whole.
constexpr std::size_t kMaxLine = kMaxLineText;

// The text up to its room and before any line feed.
std::string_view cut(std::string_view text, std::size_t room) {
    text = text.substr(0, text.find('\n'));
    return text.size() <= room ? text : text.substr(0, room);
}

void endLine(std::string& out) {
    if (!out.empty() && out.back() == '\r') out += '\r';
    out += '\n';
}

void appendCommentBlock(std::string& out, std::string_view block) {
    while (!block.empty()) {
        const auto end = block.find('\n');
        out += cut(block.substr(0, end), kMaxLine);
        endLine(out);
        if (end == std::string_view::npos) break;
        block.remove_prefix(end + 1);
    }
}

} // namespace

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
            endLine(out);
        }
    }
    return out;
}

} // namespace ledra
