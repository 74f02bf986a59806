// Keeps the text of an edit line within the bytes a record's text field
// holds, so the user sees the limit while typing instead of finding the text
// cut after saving.
#pragma once

#include "form/utf8_text.h"

class QLineEdit;
class QValidator;

namespace tavolin::ui {

// Limits what the user types or pastes into `edit` to `maxBytes` bytes of
// UTF-8: an edit that would go past the limit is not taken. Texts the program
// sets are cut with cutToUtf8Bytes by the caller. Returns the validator it
// set, owned by `edit`.
QValidator* limitUtf8Bytes(QLineEdit* edit, int maxBytes);

} // namespace tavolin::ui
