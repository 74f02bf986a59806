// Random camera input: the plug-in answers every message with a whole
// record or a failure, never a crash, an overrun or a lost position.
#include "plugin_fixture.h"

#include <random>

namespace fenwa10::test {
namespace {

using RandomInputTest = PluginTest;

TEST_F(RandomInputTest, RandomVideoMessagesGiveWholeRecordsOrFailures) {
    startStreaming();
    std::mt19937 random(20261207);
    int built = 0;
    for (int n = 0; n < 300; ++n) {
        std::vector<uint8_t> payload(random() % 3000);
        for (auto& b : payload) b = static_cast<uint8_t>(random());
        // Now and then a start code somewhere near the front.
        if (payload.size() > 10 && random() % 2 == 0) {
            const std::size_t at = random() % std::min<std::size_t>(payload.size() - 5, 100);
            payload[at] = 0;
            payload[at + 1] = 0;
            payload[at + 2] = 1;
            payload[at + 3] = 0xB6;
        }
        std::vector<uint8_t> message(12 + payload.size());
        transport::buildMessage(message.data(), 0x10041, nullptr, 0);
        transport::putUint32Le(message.data() + 8, static_cast<uint32_t>(payload.size()));
        std::memcpy(message.data() + 12, payload.data(), payload.size());
        ASSERT_TRUE(camera->sendMediaRaw(message));
        const int32_t r = nextFrame();
        const auto L = static_cast<int32_t>(message.size());
        if (r == -1) continue;
        ++built;
        ASSERT_TRUE(r == L + 47 || r == L + 32) << "message " << n << " gave " << r;
        if (r == L + 47) {
            ASSERT_EQ(0, std::memcmp(frame.data() + 75, message.data() + 28, message.size() - 28));
        } else {
            ASSERT_EQ(0, std::memcmp(frame.data() + 44, message.data() + 12, message.size() - 12));
        }
    }
    // A picture after all of that is still read from its own start.
    ASSERT_TRUE(sendPredicted(64));
    EXPECT_EQ(nextFrame(), 12 + 16 + 64 + 32);
    EXPECT_GT(built, 0);
}

TEST_F(RandomInputTest, RandomControlBytesEndInALossAtWorst) {
    startStreaming();
    std::mt19937 random(7);
    for (int n = 0; n < 50; ++n) {
        std::vector<uint8_t> bytes(random() % 200);
        for (auto& b : bytes) b = static_cast<uint8_t>(random());
        if (n % 3 == 0 && bytes.size() >= 12) {
            std::memcpy(bytes.data(), "Vexo", 4); // plausible headers with wild lengths
        }
        if (!camera->sendControlRaw(bytes)) break; // the plug-in may have hung up
    }
    M_XDisconnect(handle);
    EXPECT_EQ(instance().control().state(), 0);
}

} // namespace
} // namespace fenwa10::test
