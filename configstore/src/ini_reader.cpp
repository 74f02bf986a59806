#include "ini_reader.h"

#include <cstring>

#include "text_field.h"

namespace ledra {
namespace {

constexpr std::size_t kPendingSize = 1024; // comment block collected before an item

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

// The next line of `text` without its line end; `text` moves past it.
std::string_view takeLine(std::string_view& text) {
    const auto lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

} // namespace

ReadOutcome readIni(std::string_view text, IniSink& sink) {
    std::string_view section;
    bool inSection = false;
    PendingComment pending;
    ReadOutcome out;
    const auto stop = [&out](const char* why) {
        out.result = ReadResult::kParseError;
        out.why = why;
        return out;
    };

    while (!text.empty()) {
        const std::string_view line = takeLine(text);
        ++out.line;
        if (line.empty()) continue;
        if (line.size() > kMaxLineText) return stop("longer than 253 characters");
        if (line.find('\0') != std::string_view::npos) return stop("holds a NUL byte");

        if (line[0] == '#' || line[0] == ';') {
            pending.add(line);
            continue;
        }

        if (line[0] == '[') {
            // A header with several "]" ends its name at the first one.
            const auto close = line.find(']');
            if (close == std::string_view::npos) return stop("a section header without \"]\"");
            section = line.substr(1, close - 1);
            inSection = !section.empty();
            if (!sink.onSection(section, commentThatFits(pending.text()))) {
                out.result = ReadResult::kNoMemory;
                return out;
            }
            pending.clear();
            continue;
        }

        // A key line splits at its first "=", so a value may itself hold "=".
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) return stop("a line without \"=\"");
        if (!inSection) return stop("a key line outside any named section");
        if (!sink.onEntry(section, line.substr(0, eq), line.substr(eq + 1), commentThatFits(pending.text()))) {
            out.result = ReadResult::kNoMemory;
            return out;
        }
        pending.clear();
    }
    // A comment block after the last item is dropped.
    out.line = 0;
    return out;
}

} // namespace ledra
