#include "audio_player.h"

#include <gtest/gtest.h>

#include "fake_audio_device.h"
#include "platform/audio_fake.h"
#include "platform_audio_device.h"

namespace {

using ostrel::AudioPlayer;
using ostrel_test::FakeAudioDevice;
using ostrel_test::FakeAudioLog;

class AudioPlayerTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeAudioLog> log = std::make_shared<FakeAudioLog>();
    std::unique_ptr<AudioPlayer> makePlayer() {
        return std::make_unique<AudioPlayer>(std::make_unique<FakeAudioDevice>(log));
    }
};

TEST_F(AudioPlayerTest, FirstPayloadResetsTheDeviceThenWrites) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    const uint8_t payload[4] = {1, 2, 3, 4};
    player->play(payload, sizeof payload);
    player->play(payload, sizeof payload);
    EXPECT_EQ(log->events(), (std::vector<std::string>{"open", "reset", "write 4", "write 4"}));
}

TEST_F(AudioPlayerTest, HundredAndFirstPayloadResetsBeforeReusingTheFirstBuffer) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    std::vector<uint8_t> payload(536, 7);
    for (int i = 0; i < 101; ++i) player->play(payload.data(), payload.size());
    EXPECT_EQ(log->count("reset"), 2);
    const auto events = log->events();
    ASSERT_EQ(events.size(), 1u + 101u + 2u);
    EXPECT_EQ(events[events.size() - 2], "reset");
    EXPECT_EQ(events.back(), "write 536");
    // The 101st write reuses the first buffer.
    EXPECT_EQ(log->writeAddress(0), log->writeAddress(100));
    EXPECT_NE(log->writeAddress(0), log->writeAddress(1));
}

TEST_F(AudioPlayerTest, PayloadIsCopiedIntoTheBuffer) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    const std::vector<uint8_t> payload = {9, 8, 7, 6, 5};
    player->play(payload.data(), payload.size());
    EXPECT_EQ(log->lastWrite(), payload);
}

TEST_F(AudioPlayerTest, SilentDeviceGetsTheDefaultVolume) {
    log->setVolume(0);
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    EXPECT_EQ(log->volume(), 0x85858585u);
}

TEST_F(AudioPlayerTest, AudibleDeviceKeepsItsVolume) {
    log->setVolume(0x12341234u);
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    EXPECT_EQ(log->volume(), 0x12341234u);
}

TEST_F(AudioPlayerTest, MissingInputOrOutputDeviceFailsToOpen) {
    log->setDevices(false, true);
    EXPECT_FALSE(makePlayer()->open());
    log->setDevices(true, false);
    EXPECT_FALSE(makePlayer()->open());
    EXPECT_EQ(log->count("open"), 0);
}

TEST_F(AudioPlayerTest, DeviceThatCannotOpenDropsPayloads) {
    log->setOpenFails(true);
    auto player = makePlayer();
    EXPECT_FALSE(player->open());
    const uint8_t payload[2] = {1, 2};
    player->play(payload, 2);
    EXPECT_EQ(log->count("write 2"), 0);
}

TEST_F(AudioPlayerTest, NoDeviceAtAllFailsToOpen) {
    AudioPlayer player(nullptr);
    EXPECT_FALSE(player.open());
    const uint8_t payload[2] = {1, 2};
    player.play(payload, 2); // dropped, no crash
}

TEST_F(AudioPlayerTest, CloseResetsAndClosesOnce) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    player->close();
    player->close();
    player.reset();
    EXPECT_EQ(log->events(), (std::vector<std::string>{"open", "reset", "close"}));
}

class PlatformAudioPlayerTest : public ::testing::Test {
protected:
    std::shared_ptr<platform::FakeAudioDevices> devices = std::make_shared<platform::FakeAudioDevices>();
    AudioPlayer player{std::make_unique<ostrel::PlatformAudioDevice>(devices)};
};

TEST_F(PlatformAudioPlayerTest, PayloadsReachThePlatformOutputInOrder) {
    ASSERT_TRUE(player.open());
    for (uint8_t i = 0; i < 101; ++i) {
        const std::vector<uint8_t> payload(640, i);
        player.play(payload.data(), payload.size());
    }
    const auto written = devices->writtenBuffers();
    ASSERT_EQ(written.size(), 101u);
    EXPECT_EQ(written[0], std::vector<uint8_t>(640, 0));
    EXPECT_EQ(written[100], std::vector<uint8_t>(640, 100));
    EXPECT_EQ(devices->resetCount(), 2); // before the first and the 101st
}

TEST_F(PlatformAudioPlayerTest, MachineWithoutInputDeviceDoesNotPlay) {
    devices->setDeviceCounts(1, 0);
    EXPECT_FALSE(player.open());
}

TEST_F(PlatformAudioPlayerTest, OutputThatRefusesToOpenDoesNotPlay) {
    devices->setOpenFails(true);
    EXPECT_FALSE(player.open());
    const uint8_t payload[2] = {1, 2};
    player.play(payload, 2);
    EXPECT_TRUE(devices->writtenBuffers().empty());
}

} // namespace
