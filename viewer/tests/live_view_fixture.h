// A live view over 16 records that all point at 127.0.0.1, with simulated
// cameras in process, for the live view's tests.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <array>
#include <functional>
#include <memory>

#include "camsim/simulated_camera.h"
#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"
#include "fake_shell.h"
#include "live/video_surface.h"
#include "live/wide_video_dlg.h"
#include "platform/network_guard.h"
#include "platform/tcp_socket.h"
#include "tavolin/camera_record.h"

namespace tavolin::ui::test {

class LiveViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Nothing here may reach beyond this machine, whatever a record says.
        ASSERT_TRUE(platform::loopbackOnly());
        for (int i = 0; i < kCameraCount; ++i) {
            records[static_cast<std::size_t>(i)] = defaultCameraRecord(i);
            setText(records[static_cast<std::size_t>(i)].host, "127.0.0.1");
            pointers[static_cast<std::size_t>(i)] = &records[static_cast<std::size_t>(i)];
        }
    }

    void TearDown() override { view.reset(); }

    CameraRecord& record(int position) { return records[static_cast<std::size_t>(position)]; }

    // Starts a simulated camera of `protocol` and points the record at it.
    void startCamera(int protocol, int position = 0) {
        camera = std::make_unique<camsim::SimulatedCamera>(protocol, camsim::smallCameraOptions());
        ASSERT_TRUE(camera->start()) << camera->error();
        v1 = camera->v1();
        v2 = camera->v2();
        const camsim::SettingsCamera where = camera->section();
        CameraRecord& r = record(position);
        r.streamingType = protocol;
        setText(r.userName, where.user);
        setText(r.password, where.password);
        r.registerPort = protocol == 1 ? where.registerPort : r.registerPort;
        r.controlPort = where.controlPort;
        r.streamingPort = where.streamingPort;
        r.httpPort = protocol == 2 ? where.httpPort : r.httpPort;
    }

    // Points the record at a loopback port nobody listens on.
    void pointAtClosedPort(int position) {
        platform::TcpListener listener;
        ASSERT_TRUE(listener.listen("127.0.0.1", 0));
        CameraRecord& r = record(position);
        r.streamingType = 2;
        r.controlPort = listener.port();
        r.streamingPort = listener.port();
        r.httpPort = listener.port();
    }

    void openView(int position = 0) {
        view = std::make_unique<CWideVideoDlg>(pointers, position, shell);
        view->show();
    }

    bool waitFor(const std::function<bool()>& condition, int timeoutMs = 8000) {
        return QTest::qWaitFor(condition, timeoutMs);
    }

    bool waitConnected() {
        return waitFor([&] { return view->controller().isConnected() && view->videoSurface().paintedCount() >= 3; });
    }

    FakeShell shell;
    std::array<CameraRecord, kCameraCount> records{};
    std::array<CameraRecord*, kCameraCount> pointers{};
    std::unique_ptr<camsim::SimulatedCamera> camera;
    camsim::V1Camera* v1 = nullptr; // the camera's protocol 1 or 2 simulator
    camsim::V2Camera* v2 = nullptr;
    std::unique_ptr<CWideVideoDlg> view;
};

} // namespace tavolin::ui::test
