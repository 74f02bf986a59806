// Simulated cameras of every kind recorded through the stream client's tap,
// and the clips checked with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>

#include "media_probe.h"
#include "recording_session.h"

namespace recorder::test {
namespace {

struct CameraCase {
    const char* name;
    int streamingType;
    camsim::RtspCodec rtspCodec;
    const char* codec; // as ffprobe names it
    int width;
    int height;
    bool audio;
};

void PrintTo(const CameraCase& c, std::ostream* out) { *out << c.name; }

camsim::SimulatedCameraSettings cameraFor(const CameraCase& c) {
    camsim::SimulatedCameraSettings s;
    s.streamingType = c.streamingType;
    s.options = camsim::smallCameraOptions();
    s.options.streamAudio = c.audio;
    s.rtspCodec = c.rtspCodec;
    s.rtsp.width = c.width;
    s.rtsp.height = c.height;
    s.rtsp.audio = c.audio;
    return s;
}

RecorderSettings recordInto(const std::string& path) {
    RecorderSettings s;
    s.naming = [path](auto, int) { return path; };
    return s;
}

bool growsStrictly(const std::vector<double>& times) {
    return std::adjacent_find(times.begin(), times.end(), std::greater_equal<double>()) == times.end();
}

class CameraClipTest : public ::testing::TestWithParam<CameraCase> {};

// The clip is the camera's own stream, copied: same codec and size, times
// from 0 that only grow, and it decodes without a complaint.
TEST_P(CameraClipTest, CopiesTheCamerasStream) {
    const CameraCase& c = GetParam();
    ScratchFolder folder;
    const std::string clip = folder.file("clip.mkv");
    RecordingSession session(cameraFor(c), recordInto(clip));
    ASSERT_TRUE(session.start()) << session.error();
    session.recorder().startRecording();
    ASSERT_TRUE(waitUntil([&] { return session.recorder().status().writer.framesWritten >= 40; }));
    session.recorder().stopRecording();
    session.disconnect();
    ASSERT_TRUE(session.recorder().waitUntilWritten(5000));

    const Probe p = probe(clip);
    ASSERT_TRUE(p.read) << p.errors;
    const ProbedStream* video = p.firstOf("video");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->codec, c.codec);
    EXPECT_EQ(video->width, c.width);
    EXPECT_EQ(video->height, c.height);
    EXPECT_EQ(p.firstOf("audio") != nullptr, c.audio);
    const std::vector<double> times = p.times(0);
    ASSERT_GE(times.size(), 20u);
    EXPECT_EQ(times.front(), 0.0);
    EXPECT_TRUE(p.firstIsKey);
    EXPECT_TRUE(growsStrictly(times));
    EXPECT_EQ(decodeErrors(clip), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, CameraClipTest,
    ::testing::Values(CameraCase{"Protocol1", 1, camsim::RtspCodec::H264, "mpeg4", 352, 240, false},
                      CameraCase{"Protocol2WithAudio", 2, camsim::RtspCodec::H264, "mpeg4", 352, 240, true},
                      CameraCase{"RtspH264WithAudio", 4, camsim::RtspCodec::H264, "h264", 320, 240, true},
                      CameraCase{"RtspH265", 4, camsim::RtspCodec::H265, "hevc", 320, 240, false},
                      CameraCase{"RtspJpeg", 4, camsim::RtspCodec::Mjpeg, "mjpeg", 320, 240, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A camera that sends as fast as it is read fills ten seconds of pre-roll at
// once; a clip pressed then and stopped at once holds those seconds.
TEST(PreRollClip, StartsTheSecondsBeforeThePress) {
    ScratchFolder folder;
    camsim::SimulatedCameraSettings camera;
    camera.streamingType = 2;
    camera.options = camsim::smallCameraOptions();
    camera.options.paceFrames = false;
    RecordingSession session(camera, recordInto(folder.file("clip.mkv")));
    ASSERT_TRUE(session.start()) << session.error();
    ASSERT_TRUE(waitUntil([&] { return session.recorder().status().preRollMs >= 10000; }));
    session.recorder().startRecording();
    session.recorder().stopRecording();
    session.disconnect();
    ASSERT_TRUE(session.recorder().waitUntilWritten(10000));

    const Probe p = probe(folder.file("clip.mkv"));
    const std::vector<double> times = p.times(0);
    ASSERT_FALSE(times.empty()) << p.errors;
    EXPECT_EQ(times.front(), 0.0);
    EXPECT_GE(times.back(), 9.5);
    EXPECT_GE(session.recorder().status().preRollAtStartMs, 9500);
}

} // namespace
} // namespace recorder::test
