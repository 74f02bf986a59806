// Keeps the text of an edit line within the bytes a record's text field
// holds, so the user sees the limit while typing instead of finding the text
// cut after saving. Texts are cut only between characters, never inside one.
#pragma once

#include <QString>

class QLineEdit;
class QValidator;

namespace tavolin::ui {

// The longest start of `text` whose UTF-8 form takes at most `maxBytes` bytes.
QString cutToUtf8Bytes(const QString& text, int maxBytes);

// Limits what the user types or pastes into `edit` to `maxBytes` bytes of
// UTF-8: an edit that would go past the limit is not taken. Texts the program
// sets are cut with cutToUtf8Bytes by the caller. Returns the validator it
// set, owned by `edit`.
QValidator* limitUtf8Bytes(QLineEdit* edit, int maxBytes);

} // namespace tavolin::ui
