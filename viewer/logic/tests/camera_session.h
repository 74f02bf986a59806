// For the stream tests: the shipped protocol files and protocol files written
// for one test (the simulated cameras themselves come from camsim).
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <vector>

namespace tavolin::ui::test {

using Bytes = std::vector<uint8_t>;

// Serial bytes travel to a protocol 2 camera in control messages of this type.
inline constexpr uint32_t kSerialBytesMessage = 54;

// The protocol file shipped beside the program.
inline QString shippedProtocol(const char* name) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("protocol/") + QLatin1String(name));
}

// A protocol file written for one test.
class ProtocolText {
public:
    explicit ProtocolText(const char* text) { std::ofstream(path().toStdString()) << text; }
    QString path() const { return folder_.filePath(QStringLiteral("test.ptz")); }

private:
    QTemporaryDir folder_;
};

} // namespace tavolin::ui::test
