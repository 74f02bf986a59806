#include "platform/audio.h"
#include "platform/audio_fake.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace {

using platform::AudioFormat;
using platform::FakeAudioDevices;
using Kind = platform::FakeAudioEvent::Kind;

constexpr int kWaitMs = 10000; // generous bound; only a hang would reach it

class FakeAudioOutputTest : public ::testing::Test {
protected:
    FakeAudioDevices devices_;
    AudioFormat format_; // 16-bit mono 8000/s
};

TEST_F(FakeAudioOutputTest, RecordsEveryBufferInOrder) {
    auto out = devices_.makeOutput();
    ASSERT_TRUE(out->open(format_));
    const std::vector<uint8_t> a = {1, 2, 3, 4};
    const std::vector<uint8_t> b = {9, 8};
    EXPECT_TRUE(out->write(a.data(), a.size()));
    EXPECT_TRUE(out->write(b.data(), b.size()));
    const auto written = devices_.writtenBuffers();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0], a);
    EXPECT_EQ(written[1], b);
}

TEST_F(FakeAudioOutputTest, ResetVolumeAndCloseAreRecordedBetweenWrites) {
    auto out = devices_.makeOutput();
    EXPECT_EQ(out->volume(), platform::kFullVolume);
    ASSERT_TRUE(out->open(format_));
    const uint8_t s[2] = {0, 0};
    out->write(s, 2);
    out->reset();
    out->setVolume(0x85858585u);
    out->write(s, 2);
    out->close();
    out->close();
    const auto events = devices_.outputEvents();
    const std::vector<Kind> kinds = {Kind::Open, Kind::Write, Kind::Reset, Kind::Volume, Kind::Write, Kind::Close};
    ASSERT_EQ(events.size(), kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(events[i].kind, kinds[i]) << i;
    EXPECT_EQ(events[3].value, 0x85858585u);
    EXPECT_EQ(out->volume(), 0x85858585u);
    EXPECT_EQ(devices_.resetCount(), 1);
}

TEST_F(FakeAudioOutputTest, WritingWhileClosedIsRefusedAndNotRecorded) {
    auto out = devices_.makeOutput();
    const uint8_t s[2] = {1, 1};
    EXPECT_FALSE(out->write(s, 2));
    ASSERT_TRUE(out->open(format_));
    out->close();
    EXPECT_FALSE(out->write(s, 2));
    EXPECT_TRUE(devices_.writtenBuffers().empty());
}

TEST_F(FakeAudioOutputTest, NoDeviceMeansOpenFails) {
    devices_.setDeviceCounts(0, 1);
    EXPECT_EQ(devices_.outputDeviceCount(), 0);
    EXPECT_EQ(devices_.inputDeviceCount(), 1);
    auto out = devices_.makeOutput();
    EXPECT_FALSE(out->open(format_));
    EXPECT_FALSE(out->isOpen());
    EXPECT_TRUE(devices_.outputEvents().empty());
}

TEST_F(FakeAudioOutputTest, RefusedOpenAndUnsupportedFormatFail) {
    auto out = devices_.makeOutput();
    AudioFormat eightBit;
    eightBit.bitsPerSample = 8;
    EXPECT_FALSE(out->open(eightBit));
    devices_.setOpenFails(true);
    EXPECT_FALSE(out->open(format_));
    devices_.setOpenFails(false);
    EXPECT_TRUE(out->open(format_));
}

TEST_F(FakeAudioOutputTest, DestroyingAnOpenOutputClosesIt) {
    {
        auto out = devices_.makeOutput();
        ASSERT_TRUE(out->open(format_));
    }
    const auto events = devices_.outputEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, Kind::Close);
}

class FakeAudioInputTest : public ::testing::Test {
protected:
    // Collects what the handler gets, and on which thread.
    struct Sink {
        std::mutex mutex;
        std::vector<std::vector<uint8_t>> buffers;
        std::thread::id thread;
        void operator()(const uint8_t* d, std::size_t n) {
            std::lock_guard lock(mutex);
            buffers.emplace_back(d, d + n);
            thread = std::this_thread::get_id();
        }
    };
    platform::AudioInput::BufferHandler handler() {
        return [this](const uint8_t* d, std::size_t n) { sink_(d, n); };
    }

    FakeAudioDevices devices_;
    AudioFormat format_;
    Sink sink_;
};

TEST_F(FakeAudioInputTest, DeliversScriptedBytesInBuffersOfItsSize) {
    auto in = devices_.makeInput();
    ASSERT_TRUE(in->open(format_, 4, handler()));
    ASSERT_TRUE(in->start());
    devices_.pushInput({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_TRUE(devices_.waitInputDrained(kWaitMs));
    in->stop();
    std::lock_guard lock(sink_.mutex);
    ASSERT_EQ(sink_.buffers.size(), 2u); // the last two bytes wait for a full buffer
    EXPECT_EQ(sink_.buffers[0], (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(sink_.buffers[1], (std::vector<uint8_t>{5, 6, 7, 8}));
    EXPECT_NE(sink_.thread, std::this_thread::get_id());
}

TEST_F(FakeAudioInputTest, StopEndsDeliveryAndStartResumesIt) {
    auto in = devices_.makeInput();
    ASSERT_TRUE(in->open(format_, 2, handler()));
    ASSERT_TRUE(in->start());
    devices_.pushInput({1, 1});
    ASSERT_TRUE(devices_.waitInputDrained(kWaitMs));
    in->stop();
    devices_.pushInput({2, 2});
    EXPECT_EQ(devices_.deliveredInputBuffers(), 1); // stopped: nobody takes the new buffer
    ASSERT_TRUE(in->start());
    ASSERT_TRUE(devices_.waitInputDrained(kWaitMs));
    in->close();
    EXPECT_EQ(devices_.deliveredInputBuffers(), 2);
    std::lock_guard lock(sink_.mutex);
    ASSERT_EQ(sink_.buffers.size(), 2u);
    EXPECT_EQ(sink_.buffers[1], (std::vector<uint8_t>{2, 2}));
}

TEST_F(FakeAudioInputTest, OpeningNeedsADeviceABufferSizeAndAHandler) {
    auto in = devices_.makeInput();
    EXPECT_FALSE(in->start());
    EXPECT_FALSE(in->open(format_, 0, handler()));
    EXPECT_FALSE(in->open(format_, 4, nullptr));
    devices_.setDeviceCounts(1, 0);
    EXPECT_FALSE(in->open(format_, 4, handler()));
    EXPECT_FALSE(in->isOpen());
    EXPECT_FALSE(in->start());
}

TEST_F(FakeAudioInputTest, ClosingWhileStartedStopsTheDeviceThread) {
    auto in = devices_.makeInput();
    ASSERT_TRUE(in->open(format_, 4, handler()));
    ASSERT_TRUE(in->start());
    in.reset(); // must join, not leave a thread behind
    devices_.pushInput({1, 2, 3, 4});
    EXPECT_EQ(devices_.deliveredInputBuffers(), 0);
}

// The machine's own devices: on a machine without sound hardware opening
// must fail cleanly, never hang or crash.
TEST(SystemAudioTest, OpeningTheRealOutputWorksOrFailsCleanly) {
    auto devices = platform::makeSystemAudioDevices();
    const int outputs = devices->outputDeviceCount();
    auto out = devices->makeOutput();
    const bool opened = out->open(AudioFormat{});
    if (outputs == 0) {
        EXPECT_FALSE(opened);
    }
    EXPECT_EQ(out->isOpen(), opened);
    std::vector<uint8_t> silence(1280, 0);
    EXPECT_EQ(out->write(silence.data(), silence.size()), opened);
    out->reset();
    out->close();
    EXPECT_FALSE(out->isOpen());
}

TEST(SystemAudioTest, OpeningTheRealInputWorksOrFailsCleanly) {
    auto devices = platform::makeSystemAudioDevices();
    const int inputs = devices->inputDeviceCount();
    auto in = devices->makeInput();
    const bool opened = in->open(AudioFormat{}, 4096, [](const uint8_t*, std::size_t) {});
    if (inputs == 0) {
        EXPECT_FALSE(opened);
    }
    EXPECT_EQ(in->start(), opened);
    in->stop();
    in->close();
    EXPECT_FALSE(in->isOpen());
}

TEST(SystemAudioTest, ProbingTheSoundSystemPrintsNothing) {
    // The sound libraries report every absent card and server on stderr
    // unless they are silenced.
    ::testing::internal::CaptureStderr();
    {
        auto devices = platform::makeSystemAudioDevices();
        devices->outputDeviceCount();
        auto out = devices->makeOutput();
        out->open(AudioFormat{});
        out->close();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(SystemAudioTest, ObjectsMayOutliveTheirFactory) {
    std::unique_ptr<platform::AudioOutput> out;
    {
        auto devices = platform::makeSystemAudioDevices();
        out = devices->makeOutput();
    }
    out->open(AudioFormat{});
    out->close();
    // And the sound system starts again for a new factory.
    auto again = platform::makeSystemAudioDevices();
    EXPECT_GE(again->outputDeviceCount(), 0);
}

} // namespace
