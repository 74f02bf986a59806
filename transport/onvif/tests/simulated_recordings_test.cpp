// The recordings client against the simulated camera's SD card on
// 127.0.0.1, over HTTP: one pass through every call, with a search the
// camera answers a few results at a time and a clock ten minutes off.
#include "onvif/recordings.h"

#include <camsim/onvif_camera.h>
#include <camsim/onvif_stream_source.h>
#include <camsim/sd_card.h>
#include <platform/network_guard.h>

#include <gtest/gtest.h>

namespace onvif {
namespace {

TEST(SimulatedRecordingsTest, FindsRecordingsAndEventsOnTheCameraClockAndWhereTheyPlay) {
    platform::enableLoopbackOnly();
    camsim::OnvifOptions options;
    options.sdCard = std::make_shared<camsim::SdCard>(camsim::SdCardOptions{});
    camsim::OnvifCamera camera(options, nullptr, std::make_shared<camsim::PlaceholderStreamSource>(8554));
    ASSERT_TRUE(camera.start());
    camsim::OnvifFaultSettings faults;
    faults.clockOffsetSeconds = 600;
    camera.setFault(camsim::OnvifFault::SkewedClock, faults);

    const auto transport = makeHttpSoapTransport();
    Device device(*transport, DeviceSettings{"127.0.0.1", camera.port(), "admin", "admin", 2000});
    ASSERT_TRUE(device.connect()) << device.lastError();
    Recordings recordings(device);
    const auto summary = recordings.summary();
    ASSERT_TRUE(summary.has_value()) << recordings.lastError();
    // The newest picture is the camera's now, ten minutes ahead of ours.
    const int64_t cameraNow = options.sdCard->nowMs();
    EXPECT_NEAR(static_cast<double>(summary->data.toMs), static_cast<double>(cameraNow), 2000);
    EXPECT_NEAR(static_cast<double>(CameraClock::of(device).toOurs(summary->data.toMs)),
                static_cast<double>(cameraNow - 600000), 3000);

    SearchBounds bounds;
    bounds.pageSize = 10; // the camera's 24 hours: 25 recordings in three pages
    const Found<Recording> found = recordings.findRecordings(bounds);
    ASSERT_TRUE(found.complete) << found.error;
    ASSERT_EQ(static_cast<int>(found.items.size()), summary->recordings);
    EXPECT_EQ(found.items.back().span.toMs, summary->data.toMs);
    EXPECT_TRUE(found.items.back().growing());
    EXPECT_EQ(recordings.recording(found.items.front().token)->span, found.items.front().span);

    // The last hour's motion, newest first.
    EventQuery query{{summary->data.toMs, summary->data.toMs - 3600000}, {}, {"tns1:VideoSource/MotionAlarm"}};
    const Found<RecordedEvent> events = recordings.findEvents(query, bounds);
    ASSERT_TRUE(events.complete) << events.error;
    ASSERT_GE(events.items.size(), 4u);
    EXPECT_GT(events.items.front().timeMs, events.items.back().timeMs);
    for (const RecordedEvent& e : events.items) EXPECT_EQ(e.kind, RecordedEventKind::Motion);
    EXPECT_EQ(events.leftOut, 0u);

    EXPECT_EQ(recordings.replayUri(found.items.back().token),
              std::optional<std::string>("rtsp://127.0.0.1:8554/replay?recording=" + found.items.back().token));
    camera.setFault(camsim::OnvifFault::NoReplay);
    Recordings without(device);
    EXPECT_FALSE(without.replayUri(found.items.back().token).has_value());
    EXPECT_FALSE(without.lastError().empty());
}

} // namespace
} // namespace onvif
