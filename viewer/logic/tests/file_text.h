// The whole text of a file, for tests that check what was written.
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace tavolin::ui::test {

// Empty when the file does not exist.
inline std::string fileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

} // namespace tavolin::ui::test
