#include "reader.h"

#include "text_util.h"

namespace tiltra {
namespace {

void keep(std::string_view piece, std::vector<std::string>& lines) {
    std::string_view cleaned = cleanLine(piece);
    if (!cleaned.empty()) lines.emplace_back(cleaned);
}

} // namespace

void readProtocolStream(std::FILE* stream, std::vector<std::string>& lines) {
    std::string bytes;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) bytes.append(buffer, n);
    readProtocolBytes(bytes, lines);
}

void readProtocolBytes(std::string_view bytes, std::vector<std::string>& lines) {
    while (!bytes.empty()) {
        // One text-mode read of at most 127 characters: up to and with the
        // line feed.
        std::size_t n = bytes.size() < kMaxLine ? bytes.size() : kMaxLine;
        const std::size_t lf = bytes.substr(0, n).find('\n');
        if (lf != std::string_view::npos) n = lf + 1;
        std::string_view piece = bytes.substr(0, n);
        bytes.remove_prefix(n);
        // As a C string, the piece ends at a NUL.
        keep(piece.substr(0, piece.find('\0')), lines);
    }
}

void readProtocolText(std::string_view text, std::vector<std::string>& lines) {
    if (text.size() > kMaxBuiltinChars) text = text.substr(0, kMaxBuiltinChars);
    std::size_t taken = 0;
    while (taken < kMaxBuiltinLines && !text.empty()) {
        const std::size_t cr = text.find('\r');
        std::string_view line = text.substr(0, cr);
        text = cr == std::string_view::npos ? std::string_view{} : text.substr(cr + 1);
        ++taken;
        // The line feed of a CR LF pair starts the next piece.
        if (!line.empty() && (line.front() == '\n' || line.front() == '\r')) line.remove_prefix(1);
        // Long lines arrive in pieces, as they would from a file.
        do {
            keep(line.substr(0, kMaxLine), lines);
            line.remove_prefix(line.size() < kMaxLine ? line.size() : kMaxLine);
        } while (!line.empty());
    }
}

ProtocolKind kindFromName(std::string_view name) {
    // Both folder separators count: the handheld wrote "\", we get "/".
    const std::size_t slash = name.find_last_of("\\/");
    if (slash == std::string_view::npos) return ProtocolKind::Generic;
    std::string_view file = name.substr(slash + 1);
    file = file.substr(0, file.find('.'));
    const std::size_t underscore = file.find('_');
    if (underscore == std::string_view::npos) return ProtocolKind::Generic;
    std::string_view first = file.substr(0, underscore);
    std::string_view second = file.substr(underscore + 1);
    second = second.substr(0, second.find('_'));
    return first == "GE" && second == "Kalatel" ? ProtocolKind::Kalatel : ProtocolKind::Generic;
}

} // namespace tiltra
