// A stream client interface connected to a simulated protocol 2 camera on
// loopback, with a PTZ protocol enabled: for the command tests that need no
// window. The camera records the serial bytes it receives.
#pragma once

#include <gtest/gtest.h>
#include <ostrel/stream_client.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>
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

class CameraSession {
 public:
  // Connects with the PTZ protocol file at `protocolPath` and PTZ address 1.
  explicit CameraSession(const QString& protocolPath) {
    camera_ = std::make_unique<camsim::V2Camera>(quietCameraOptions());
    if (!camera_->start()) return;
    handle_ = M_KOpenInterface();
    M_KSetStreamingType(handle_, 2);
    const MediaConfig config = loopbackMediaConfig(*camera_);
    M_KSetMediaConfig(handle_, &config);
    PTZEnableInfo ptz{};
    ptz.sourceType = OSTREL_PTZ_SOURCE_FILE;
    std::strncpy(ptz.fileName, protocolPath.toUtf8().constData(), sizeof ptz.fileName - 1);
    ptz.addressId = 1;
    M_KEnablePTZProtocol(handle_, 1, &ptz);
    connected_ = M_KConnect(handle_) == 1 && camera_->waitControlLogin(5000);
  }
  ~CameraSession() {
    M_KDisconnect(handle_);
    M_KCloseInterface(handle_);
  }
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  bool connected() const { return connected_; }
  OstrelInterface* handle() const { return handle_; }
  camsim::V2Camera& camera() { return *camera_; }

  // The serial byte strings received so far, once `count` of them arrived
  // (or after five seconds).
  std::vector<Bytes> serialBytes(std::size_t count) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (camera_->recording().count(camsim::Channel::Control, kSerialBytesMessage) < count &&
           std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::vector<Bytes> out;
    for (const auto& m : camera_->recording().on(camsim::Channel::Control)) {
      if (m.type == kSerialBytesMessage) out.push_back(m.payload);
    }
    return out;
  }

 private:
  std::unique_ptr<camsim::V2Camera> camera_;
  OstrelInterface* handle_ = nullptr;
  bool connected_ = false;
};

// A protocol file written for one test.
class ProtocolText {
 public:
  explicit ProtocolText(const char* text) { std::ofstream(path().toStdString()) << text; }
  QString path() const { return folder_.filePath(QStringLiteral("test.ptz")); }

 private:
  QTemporaryDir folder_;
};

}  // namespace tavolin::ui::test
