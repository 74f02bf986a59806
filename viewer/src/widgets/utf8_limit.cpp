#include "widgets/utf8_limit.h"

#include <QLineEdit>
#include <QValidator>

namespace tavolin::ui {

namespace {

// Refuses any edit that would take the line past the limit, so typing stops
// there and an overlong paste is not taken.
class Utf8ByteLimit final : public QValidator {
public:
    Utf8ByteLimit(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
    State validate(QString& input, int&) const override {
        return cutToUtf8Bytes(input, maxBytes_).size() == input.size() ? Acceptable : Invalid;
    }

private:
    int maxBytes_;
};

} // namespace

QValidator* limitUtf8Bytes(QLineEdit* edit, int maxBytes) {
    auto* limit = new Utf8ByteLimit(maxBytes, edit);
    edit->setValidator(limit);
    return limit;
}

} // namespace tavolin::ui
