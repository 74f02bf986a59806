// The recorder fed with real MPEG-4 pictures on a manual clock: the seconds
// before the press, files that roll over, a full disk, a slow disk, a lost
// stream. Every file is checked with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>

#include "onvif/replies.h"

#include "media_probe.h"
#include "records.h"
#include "recorder/camera_recorder.h"
#include "scratch_folder.h"
#include "test_encoder.h"

namespace recorder::test {
namespace {

constexpr int kGroup = 10; // pictures per group, the first a key picture

// Records of an MPEG-4 camera at 25 pictures/s, with its frame rate in the
// header.
std::vector<std::vector<uint8_t>> mpeg4Records(int count) {
    decoder::test::TestEncoder encoder(160, 120, 25, kGroup, false);
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < count; ++i) {
        const auto picture = encoder.encode(decoder::test::quadrants(160, 120));
        records.push_back(recordOf(1, static_cast<uint32_t>(i * 40), picture.data, 0, 0, 25));
    }
    return records;
}

class CameraRecorderTest : public ::testing::Test {
protected:
    RecorderSettings settings() {
        RecorderSettings s;
        s.clock = &clock;
        s.naming = [this](auto, int n) { return folder.file("clip-" + std::to_string(n) + ".mkv"); };
        s.notice = [this](const std::string& line) {
            std::lock_guard lock(mutex);
            notices.push_back(line);
        };
        return s;
    }
    // Feeds records 40 ms apart on the manual clock; `keepUp` gives the
    // writer the time to write each one (a disk as fast as the camera).
    void feed(CameraRecorder& recorder, const std::vector<std::vector<uint8_t>>& records, bool keepUp = false) {
        for (const auto& r : records) {
            recorder.take(1, r.data(), static_cast<int32_t>(r.size()));
            clock.advanceMs(40);
            if (keepUp) {
                ASSERT_TRUE(recorder.waitUntilWritten(5000));
            }
        }
    }
    std::vector<std::string> noticesSoFar() {
        std::lock_guard lock(mutex);
        return notices;
    }
    static void expectCleanClip(const std::string& path, std::size_t pictures) {
        const Probe p = probe(path);
        ASSERT_TRUE(p.read) << path << ": " << p.errors;
        EXPECT_EQ(p.firstOf("video")->codec, "mpeg4");
        ASSERT_EQ(p.times(0).size(), pictures) << path;
        EXPECT_EQ(p.times(0).front(), 0.0);
        EXPECT_TRUE(p.firstIsKey);
        EXPECT_EQ(decodeErrors(path), "") << path;
    }

    ScratchFolder folder;
    platform::ManualClock clock;
    std::mutex mutex;
    std::vector<std::string> notices;
};

// Eleven seconds of pictures, then Record pressed and released at once: the
// clip holds the ten seconds before the press, from a key picture, and says
// inside when its first picture came and from which camera.
TEST_F(CameraRecorderTest, ClipStartsWithTheSecondsBeforeThePress) {
    const auto wallMs = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const int64_t before = wallMs();
    {
        RecorderSettings s = settings();
        s.cameraName = "Gate";
        CameraRecorder recorder(s);
        feed(recorder, mpeg4Records(11 * 25));
        recorder.startRecording();
        EXPECT_GE(recorder.status().preRollAtStartMs, 10000);
        recorder.stopRecording();
    }
    const Probe p = probe(folder.file("clip-1.mkv"));
    const std::vector<double> times = p.times(0);
    ASSERT_FALSE(times.empty()) << p.errors;
    EXPECT_EQ(times.front(), 0.0);
    EXPECT_GE(times.back(), 10.0);
    EXPECT_EQ(formatTag(folder.file("clip-1.mkv"), "title"), "Gate");
    // Its first picture came the clip's length before the press (on the
    // recorder's clock), which was at the latest now.
    const std::optional<long long> start =
        onvif::parseDateTimeMs(formatTag(folder.file("clip-1.mkv"), "creation_time"));
    ASSERT_TRUE(start);
    const auto lengthMs = static_cast<int64_t>(times.back() * 1000);
    EXPECT_GE(*start, before - lengthMs - 1000);
    EXPECT_LE(*start, wallMs() - lengthMs);
}

// Motion in the third second of six, held for one: the clip holds the two
// seconds before it and ends a second after the last motion (picture 99).
TEST_F(CameraRecorderTest, MotionClipStartsWithItsPreRollAndEndsAfterTheHold) {
    RecorderSettings s = settings();
    s.motionHoldMs = 1000;
    CameraRecorder recorder(s);
    auto records = mpeg4Records(6 * 25);
    for (int i = 2 * 25; i < 3 * 25; ++i) records[i][18] = 1;
    feed(recorder, records);
    EXPECT_FALSE(recorder.status().recording);
    ASSERT_TRUE(recorder.waitUntilWritten(5000));
    expectCleanClip(folder.file("clip-1.mkv"), 99);
}

// A key-picture interval larger than the whole pre-roll: it stays empty,
// which is said when Record is pressed, and a press released before the
// next key picture still gives a file, from that key picture.
TEST_F(CameraRecorderTest, GroupLargerThanThePreRollStillGivesAFileFromTheNextKeyPicture) {
    RecorderSettings s = settings();
    s.preRoll.maxBytes = 1000; // less than a key picture
    s.preRoll.durationMs = 20000;
    std::vector<bool> changes;
    s.clipChanged = [&](bool recording) { changes.push_back(recording); };
    const auto records = mpeg4Records(3 * kGroup);
    {
        CameraRecorder recorder(s);
        feed(recorder, {records.begin(), records.begin() + 15});
        recorder.startRecording();
        recorder.stopRecording();
        EXPECT_TRUE(recorder.status().recording);
        feed(recorder, {records.begin() + 15, records.end()});
        EXPECT_FALSE(recorder.status().recording);
    }
    expectCleanClip(folder.file("clip-1.mkv"), 1);
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
    const auto said = noticesSoFar();
    ASSERT_EQ(said.size(), 2u);
    EXPECT_EQ(said[0],
              "recording: no pre-roll, as one key-picture interval of this camera is larger than its 1000 bytes; "
              "the clip starts at the next key picture");
    EXPECT_EQ(said[1], "recording: no key picture came yet; the clip ends after the camera's next one");
}

TEST_F(CameraRecorderTest, RollsOverAtTheSizeLimitEachFileFromAKeyPicture) {
    RecorderSettings s = settings();
    s.clip.maxFileBytes = 1; // every key picture starts a new file
    {
        CameraRecorder recorder(s);
        recorder.startRecording();
        feed(recorder, mpeg4Records(3 * kGroup));
    }
    for (int n = 1; n <= 3; ++n) expectCleanClip(folder.file("clip-" + std::to_string(n) + ".mkv"), kGroup);
    EXPECT_FALSE(std::filesystem::exists(folder.file("clip-4.mkv")));
}

TEST_F(CameraRecorderTest, TooLittleFreeSpaceStopsRecordingAndSaysSoInOneLine) {
    RecorderSettings s = settings();
    s.freeSpace = [](const std::string&) { return std::optional<uint64_t>(uint64_t{100} << 20); };
    CameraRecorder recorder(s);
    recorder.startRecording();
    feed(recorder, mpeg4Records(3 * kGroup));
    ASSERT_TRUE(recorder.waitUntilWritten(5000));
    feed(recorder, mpeg4Records(1));
    EXPECT_FALSE(recorder.status().recording);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    const auto said = noticesSoFar();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "recording stopped: only 100 MB free in " + folder.path().string() + " (500 MB are kept free)");
}

TEST_F(CameraRecorderTest, SlowDiskLeavesPicturesOutUpToTheNextKeyPicture) {
    std::promise<void> diskReady;
    std::shared_future<void> ready = diskReady.get_future().share();
    RecorderSettings s = settings();
    const ClipNaming named = s.naming;
    s.naming = [named, ready](auto time, int n) {
        ready.wait(); // the writer is stuck until the test lets it go
        return named(time, n);
    };
    const auto records = mpeg4Records(4 * kGroup);
    // Room for a key picture and a few others: the third key picture finds
    // the queue full (the file opens, and the writer is stuck, once the
    // pictures' interval is measured, by the second group).
    auto costOf = [](const std::vector<uint8_t>& r) { return memoryCost(*frameFromRecord(1, r, 0)); };
    s.clip.queueBytes = costOf(records[0]) + 2 * costOf(records[1]);
    CameraRecorder recorder(s);
    // A camera with audio: its file opens at the first key picture.
    const auto audio = recordOf(2, 0, std::vector<uint8_t>(668 - 44, 0));
    recorder.take(2, audio.data(), static_cast<int32_t>(audio.size()));
    recorder.startRecording();
    feed(recorder, {records.begin(), records.begin() + 2 * kGroup + 1});
    diskReady.set_value();
    feed(recorder, {records.begin() + 2 * kGroup + 1, records.end()}, true);
    recorder.stopRecording();
    ASSERT_TRUE(recorder.waitUntilWritten(5000));

    EXPECT_GT(recorder.status().framesLeftOut, 0u);
    EXPECT_EQ(noticesSoFar(), std::vector<std::string>{"recording: the disk is slower than the camera; pictures were "
                                                       "left out up to the next key picture"});
    // What was queued, then from the fourth group's key picture on.
    const Probe p = probe(folder.file("clip-1.mkv"));
    const std::size_t written = p.times(0).size();
    EXPECT_LT(written, records.size());
    EXPECT_GE(written, static_cast<std::size_t>(kGroup));
    EXPECT_EQ(decodeErrors(folder.file("clip-1.mkv")), "");
}

TEST_F(CameraRecorderTest, LostStreamFinishesTheFileAndTheNextStreamStartsAnother) {
    CameraRecorder recorder(settings());
    recorder.startRecording();
    feed(recorder, mpeg4Records(kGroup));
    CameraRecorder::tap(&recorder, 0, nullptr, 0);
    ASSERT_TRUE(recorder.waitUntilWritten(5000));
    expectCleanClip(folder.file("clip-1.mkv"), kGroup);

    // The camera's clock starts again with its new stream.
    feed(recorder, mpeg4Records(kGroup));
    recorder.stopRecording();
    ASSERT_TRUE(recorder.waitUntilWritten(5000));
    expectCleanClip(folder.file("clip-1-2.mkv"), kGroup);
}

} // namespace
} // namespace recorder::test
