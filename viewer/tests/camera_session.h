// Simulated protocol 2 cameras on loopback for the stream tests: quiet
// options, the connection record that reaches one, the shipped protocol
// files and protocol files written for one test.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "camsim/v2_camera.h"
#include "transport/contract.h"

namespace tavolin::ui::test {

using Bytes = std::vector<uint8_t>;

// Serial bytes travel to a protocol 2 camera in control messages of this type.
inline constexpr uint32_t kSerialBytesMessage = 54;

// The protocol file shipped beside the program.
inline QString shippedProtocol(const char* name) {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("protocol/") + QLatin1String(name));
}

// A small, slow picture keeps the simulated stream cheap.
inline camsim::CameraOptions quietCameraOptions() {
    camsim::CameraOptions options;
    options.video.resolutionCode = 2;
    options.video.frameRate = 5;
    options.streamAudio = false;
    return options;
}

// Connection settings for a simulated protocol 2 camera.
inline MediaConfig loopbackMediaConfig(const camsim::V2Camera& camera) {
    MediaConfig config{};
    config.connectionType = 2;
    std::strcpy(config.cameraAddress, "127.0.0.1");
    std::strcpy(config.userName, "admin");
    std::strcpy(config.password, "admin");
    config.controlPort = camera.controlPort();
    config.streamingPort = camera.videoPort();
    config.httpPort = camera.httpPort();
    config.connectTimeoutSeconds = 3;
    return config;
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
