// Texts that go into a record's fixed 8-bit fields as UTF-8: cut only
// between characters, never inside one.
#pragma once

#include <QString>

namespace tavolin::ui {

// The longest start of `text` whose UTF-8 form takes at most `maxBytes` bytes.
QString cutToUtf8Bytes(const QString& text, int maxBytes);

} // namespace tavolin::ui
