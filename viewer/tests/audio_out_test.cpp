// Talking to a simulated camera through the stream client: the token, its
// refusal and a machine without a microphone.
#include "live/audio_out.h"

#include <gtest/gtest.h>

#include <memory>

#include "camera_session.h"
#include "fake_shell.h"
#include "platform/audio.h"

namespace tavolin::ui {
namespace {

constexpr uint32_t kTokenRelease = 49;

class AudioOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    camsim::CameraOptions options;
    options.autoStream = false;
    camera = std::make_unique<camsim::V2Camera>(options);
    ASSERT_TRUE(camera->start());
    handle = M_KOpenInterface();
    ASSERT_NE(handle, nullptr);
    M_KSetStreamingType(handle, 2);
    const MediaConfig config = test::loopbackMediaConfig(*camera);
    ASSERT_EQ(M_KSetMediaConfig(handle, &config), 1);
  }
  void TearDown() override { M_KCloseInterface(handle); }

  static bool machineHasMicrophone() {
    const auto devices = platform::makeSystemAudioDevices();
    return devices && devices->inputDeviceCount() > 0;
  }

  test::ScriptedPrompts prompts;
  std::unique_ptr<camsim::V2Camera> camera;
  OstrelInterface* handle = nullptr;
};

TEST_F(AudioOutTest, RefusedTokenNamesItsHolderAndIsFreed) {
  camera->faults().refuseAudioToken = true;
  camera->setAudioTokenHolder({192, 168, 0, 5});
  EXPECT_EQ(startAudioOut(handle, 2, prompts, nullptr), AudioOutStart::Refused);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Get Audio Out Token Fail!\n 192.168.0.5 Take It!"));
  EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("2-Way Audio"));
  EXPECT_TRUE(camera->recording().waitFor(camsim::Channel::AudioOut, kTokenRelease, 2000));
}

TEST_F(AudioOutTest, ProtocolOneCameraIsNeverAsked) {
  EXPECT_EQ(startAudioOut(handle, 1, prompts, nullptr), AudioOutStart::NotOffered);
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(camera->recording().on(camsim::Channel::AudioOut).empty());
}

TEST_F(AudioOutTest, WithoutMicrophoneTheTransferFailsAndTheTokenGoesBack) {
  if (machineHasMicrophone()) GTEST_SKIP() << "this machine has a capture device";
  EXPECT_EQ(startAudioOut(handle, 2, prompts, nullptr), AudioOutStart::Failed);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Audio Out Fail!"));
  EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("2-Way Audio"));
  EXPECT_TRUE(camera->recording().waitFor(camsim::Channel::AudioOut, kTokenRelease, 2000));
  // The token is free again: a second attempt is granted, not refused.
  prompts.messages.clear();
  EXPECT_EQ(startAudioOut(handle, 2, prompts, nullptr), AudioOutStart::Failed);
  EXPECT_EQ(prompts.messages.at(0).text, QStringLiteral("Audio Out Fail!"));
}

}  // namespace
}  // namespace tavolin::ui
