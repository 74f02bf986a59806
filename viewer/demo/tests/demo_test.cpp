#include <gtest/gtest.h>

#include <QTcpSocket>
#include <QTemporaryDir>
#include <string>

#include "demo/demo_driver.h"
#include "demo/simulated_camera.h"
#include "tavolin/camera_list.h"

namespace tavolin::demo {
namespace {

// The demo presses Play only on a list whose every camera is at 127.0.0.1; a
// single other address, wherever it is, leaves Play to the user.
TEST(DemoPlayGateTest, PlaysOnlyWhenEveryCameraIsAtLoopback) {
    QTemporaryDir folder;
    CameraList cameras(folder.filePath(QStringLiteral("Tavolin.txt")).toStdString());
    EXPECT_FALSE(everyCameraIsLoopback(cameras)) << "the defaults name a camera on the network";

    // RTSP cameras are named by a URL on 127.0.0.1, with or without login and port.
    const char* loopback[] = {"127.0.0.1", "rtsp://127.0.0.1:8554/h264", "rtsp://admin:pw@127.0.0.1/h265",
                              "rtsp://127.0.0.1"};
    for (int i = 0; i < kCameraCount; ++i) {
        cameras.record(i)->streamingType = i % 4 == 0 ? 2 : 4;
        setText(cameras.record(i)->host, loopback[i % 4]);
    }
    EXPECT_TRUE(everyCameraIsLoopback(cameras));

    for (const int position : {0, kCameraCount - 1}) {
        for (const char* other :
             {"192.168.0.100", "127.0.0.2", "localhost", "", "rtsp://10.0.0.1/h264", "rtsp://127.0.0.1.example/h264",
              "rtsp://127.0.0.1@10.0.0.1/h264", "127.0.0.1/h264"}) {
            setText(cameras.record(position)->host, other);
            EXPECT_FALSE(everyCameraIsLoopback(cameras)) << "camera " << position + 1 << " at \"" << other << "\"";
            setText(cameras.record(position)->host, loopback[position % 4]);
        }
    }
}

// The record a simulated camera fills in leads to that camera: the live view
// run alone connects with nothing else but the record.
TEST(SimulatedCameraTest, RecordPointsAtTheRunningSimulator) {
    for (const int protocol : {1, 2}) {
        SCOPED_TRACE("protocol " + std::to_string(protocol));
        CameraRecord record = defaultCameraRecord(2);
        SimulatedCamera camera(/*scene=*/false);
        ASSERT_TRUE(camera.start(protocol, record));
        EXPECT_EQ(textOf(record.host), "127.0.0.1");
        EXPECT_EQ(record.streamingType, protocol);
        EXPECT_FALSE(textOf(record.userName).empty());

        QTcpSocket control;
        control.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(record.controlPort));
        EXPECT_TRUE(control.waitForConnected(2000)) << "control port " << record.controlPort;
        EXPECT_NE(protocol == 1 ? record.registerPort : record.httpPort, 0);
        EXPECT_NE(record.streamingPort, 0);
    }
}

} // namespace
} // namespace tavolin::demo
