#include "form/utf8_text.h"

namespace tavolin::ui {

namespace {

int utf8Length(char32_t c) {
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (c < 0x10000) return 3;
    return 4;
}

} // namespace

QString cutToUtf8Bytes(const QString& text, int maxBytes) {
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        // One character: a surrogate pair stays together; a lone surrogate is
        // counted as three bytes, the most any conversion makes of it.
        qsizetype next = end + 1;
        char32_t c = text.at(end).unicode();
        if (QChar::isHighSurrogate(c) && next < text.size() && text.at(next).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(end), text.at(next));
            ++next;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;
        }
        bytes += utf8Length(c);
        if (bytes > maxBytes) break;
        end = next;
    }
    return end == text.size() ? text : text.left(end);
}

} // namespace tavolin::ui
