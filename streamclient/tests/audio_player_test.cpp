#include "audio_player.h"

#include <gtest/gtest.h>

#include "platform/audio_fake.h"

namespace {

using ostrel::AudioPlayer;
using Kind = platform::FakeAudioEvent::Kind;

class AudioPlayerTest : public ::testing::Test {
protected:
    std::shared_ptr<platform::FakeAudioDevices> devices = std::make_shared<platform::FakeAudioDevices>();
    std::unique_ptr<AudioPlayer> makePlayer() { return std::make_unique<AudioPlayer>(devices); }

    int count(Kind kind) const {
        int n = 0;
        for (Kind k : devices->outputEventKinds()) n += k == kind ? 1 : 0;
        return n;
    }
};

TEST_F(AudioPlayerTest, FirstPayloadResetsTheDeviceThenWrites) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    const uint8_t payload[4] = {1, 2, 3, 4};
    player->play(payload, sizeof payload);
    player->play(payload, sizeof payload);
    EXPECT_EQ(devices->outputEventKinds(), (std::vector<Kind>{Kind::Open, Kind::Reset, Kind::Write, Kind::Write}));
    EXPECT_EQ(devices->writtenBuffers(), (std::vector<std::vector<uint8_t>>(2, {1, 2, 3, 4})));
}

TEST_F(AudioPlayerTest, HundredAndFirstPayloadResetsBeforeReusingTheFirstBuffer) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    for (uint8_t i = 0; i < 101; ++i) {
        const std::vector<uint8_t> payload(536, i);
        player->play(payload.data(), payload.size());
    }
    EXPECT_EQ(devices->resetCount(), 2);
    const auto events = devices->outputEvents();
    ASSERT_EQ(events.size(), 1u + 101u + 2u);
    EXPECT_EQ(events[events.size() - 2].kind, Kind::Reset);
    EXPECT_EQ(events.back().kind, Kind::Write);
    EXPECT_EQ(events.back().data, std::vector<uint8_t>(536, 100));
    // The 101st write reuses the first buffer.
    std::vector<const void*> addresses;
    for (const auto& e : events) {
        if (e.kind == Kind::Write) addresses.push_back(e.address);
    }
    ASSERT_EQ(addresses.size(), 101u);
    EXPECT_EQ(addresses[0], addresses[100]);
    EXPECT_NE(addresses[0], addresses[1]);
}

TEST_F(AudioPlayerTest, LongPayloadIsCutToOneBuffer) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    const std::vector<uint8_t> payload(AudioPlayer::kBufferSize + 10, 3);
    player->play(payload.data(), payload.size());
    ASSERT_EQ(devices->writtenBuffers().size(), 1u);
    EXPECT_EQ(devices->writtenBuffers()[0], std::vector<uint8_t>(AudioPlayer::kBufferSize, 3));
}

TEST_F(AudioPlayerTest, SilentDeviceGetsTheDefaultVolume) {
    devices->setInitialOutputVolume(0);
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    const auto events = devices->outputEvents();
    ASSERT_EQ(count(Kind::Volume), 1);
    EXPECT_EQ(events.back().kind, Kind::Volume);
    EXPECT_EQ(events.back().value, 0x85858585u);
}

TEST_F(AudioPlayerTest, AudibleDeviceKeepsItsVolume) {
    devices->setInitialOutputVolume(0x12341234u);
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    EXPECT_EQ(count(Kind::Volume), 0);
}

TEST_F(AudioPlayerTest, MissingInputOrOutputDeviceFailsToOpen) {
    devices->setDeviceCounts(1, 0);
    EXPECT_FALSE(makePlayer()->open());
    devices->setDeviceCounts(0, 1);
    EXPECT_FALSE(makePlayer()->open());
    EXPECT_EQ(count(Kind::Open), 0);
}

TEST_F(AudioPlayerTest, DeviceThatCannotOpenDropsPayloads) {
    devices->setOpenFails(true);
    auto player = makePlayer();
    EXPECT_FALSE(player->open());
    const uint8_t payload[2] = {1, 2};
    player->play(payload, 2);
    EXPECT_TRUE(devices->writtenBuffers().empty());
}

TEST_F(AudioPlayerTest, NoDeviceAtAllFailsToOpen) {
    AudioPlayer player(nullptr);
    EXPECT_FALSE(player.open());
    const uint8_t payload[2] = {1, 2};
    player.play(payload, 2); // dropped, no crash
    EXPECT_FALSE(player.isOpen());
}

TEST_F(AudioPlayerTest, CloseResetsAndClosesOnce) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    player->close();
    player->close();
    player.reset();
    EXPECT_EQ(devices->outputEventKinds(), (std::vector<Kind>{Kind::Open, Kind::Reset, Kind::Close}));
}

TEST_F(AudioPlayerTest, ClosedPlayerOpensAgain) {
    auto player = makePlayer();
    ASSERT_TRUE(player->open());
    player->close();
    ASSERT_TRUE(player->open());
    const uint8_t payload[2] = {5, 6};
    player->play(payload, 2);
    EXPECT_EQ(devices->writtenBuffers().back(), (std::vector<uint8_t>{5, 6}));
}

} // namespace
