// What the stream client may rely on from every transport plug-in, checked
// the way the stream client sees a plug-in: loaded by its bare name and bound
// through the contract's table.
#include "platform/function_table.h"
#include "platform/module.h"
#include "transport/contract.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <string>

namespace {

struct PluginUnderTest {
    const char* bareName;
    const char* internalSymbol; // a name inside the library that must stay hidden
    bool subscribesToEvents;    // offers M_XSetEventsWanted
};

std::string nameOf(const ::testing::TestParamInfo<PluginUnderTest>& info) {
    std::string name = info.param.bareName; // "Corvel-M" -> "CorvelM"
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    return name;
}

class TransportConformanceTest : public ::testing::TestWithParam<PluginUnderTest> {
protected:
    void SetUp() override {
        ASSERT_TRUE(module.load(GetParam().bareName)) << module.error();
        ASSERT_EQ(platform::bindFunctionTable(module, x), nullptr);
    }
    platform::Module module;
    transport::FunctionTable x;
};

TEST_P(TransportConformanceTest, ExportsEveryContractFunctionButNotTheEngineOnes) {
    std::size_t visited = 0;
    transport::forEachFunction(x, [&](const char* name, transport::Need need, auto slot) {
        ++visited;
        const bool offered = need != transport::Need::EngineOnly &&
                             (GetParam().subscribesToEvents || std::string(name) != "M_XSetEventsWanted");
        if (!offered)
            EXPECT_EQ(reinterpret_cast<void*>(slot), nullptr) << name;
        else
            EXPECT_NE(reinterpret_cast<void*>(slot), nullptr) << name;
    });
    EXPECT_EQ(visited, transport::kFunctionCount);
    EXPECT_EQ(module.symbol(GetParam().internalSymbol), nullptr);
}

TEST_P(TransportConformanceTest, SharedEntriesServeTwoNamesEach) {
    EXPECT_EQ(reinterpret_cast<void*>(x.getPrevFrame), reinterpret_cast<void*>(x.getPrevIFrame));
    EXPECT_EQ(reinterpret_cast<void*>(x.getBeginTime), reinterpret_cast<void*>(x.getEndTime));
}

TEST_P(TransportConformanceTest, VersionTextIsTheSameWhateverTheHandle) {
    char text[16];
    std::memset(text, 'x', sizeof text);
    x.getVersion(nullptr, text);
    EXPECT_STREQ(text, "V 1.0.00");
    EXPECT_EQ(text[9], 'x');
    void* h = x.init();
    ASSERT_NE(h, nullptr);
    std::memset(text, 'x', sizeof text);
    x.getVersion(h, text);
    EXPECT_STREQ(text, "V 1.0.00");
    x.exit(h);
}

TEST_P(TransportConformanceTest, NullHandleReturnsZeroAndTouchesNothing) {
    int32_t kind = 77;
    uint8_t buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    MediaConfig media{};
    const uint8_t payload[2] = {8, 3};
    TransportCommand serial{transport::kCommandSerialSetting, payload, 2, nullptr, 0};
    MotionInfo motion;
    std::memset(&motion, 0x5C, sizeof motion);
    VideoConfig video;
    std::memset(&video, 0x5C, sizeof video);

    EXPECT_EQ(x.setMediaConfig(nullptr, &media), 0);
    EXPECT_EQ(x.connect(nullptr), 0);
    EXPECT_EQ(x.startStreaming(nullptr), 0);
    EXPECT_EQ(x.getNextFrame(nullptr, &kind, buffer, sizeof buffer), 0);
    EXPECT_EQ(x.getNextIFrame(nullptr), 0);
    EXPECT_EQ(x.getPrevFrame(nullptr), 0);
    EXPECT_EQ(x.getPrevIFrame(nullptr), 0);
    EXPECT_EQ(x.getBeginTime(nullptr, nullptr), 0);
    EXPECT_EQ(x.getEndTime(nullptr, nullptr), 0);
    EXPECT_EQ(x.stopStreaming(nullptr), 0);
    EXPECT_EQ(x.disconnect(nullptr), 0);
    EXPECT_EQ(x.sendCommand(nullptr, &serial, nullptr), 0);
    EXPECT_EQ(x.setControlDataCallBack(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(x.setMotionInfo(nullptr, &motion), 0);
    EXPECT_EQ(x.getMotionInfo(nullptr, &motion), 0);
    EXPECT_EQ(x.setVideoConfig(nullptr, &video), 0);
    EXPECT_EQ(x.getVideoConfig(nullptr, &video), 0);
    EXPECT_EQ(x.setDebugMessageLevel(nullptr, 3), 0);
    if (x.setEventsWanted != nullptr) {
        EXPECT_EQ(x.setEventsWanted(nullptr, 1), 0);
    }
    char reason[8] = "same";
    const int16_t pcm[2] = {1, 2};
    EXPECT_EQ(x.checkBackChannel(nullptr, reason, sizeof reason), 0);
    EXPECT_EQ(x.openBackChannel(nullptr, reason, sizeof reason), 0);
    EXPECT_EQ(x.sendBackChannelAudio(nullptr, pcm, 2), 0);
    EXPECT_EQ(x.closeBackChannel(nullptr), 0);
    EXPECT_STREQ(reason, "same");
    x.exit(nullptr);

    EXPECT_EQ(kind, 77);
    for (uint8_t b : buffer) EXPECT_EQ(b, 0xEE);
    const auto* m = reinterpret_cast<const uint8_t*>(&motion);
    for (std::size_t i = 0; i < sizeof motion; ++i) EXPECT_EQ(m[i], 0x5C);
    const auto* v = reinterpret_cast<const uint8_t*>(&video);
    for (std::size_t i = 0; i < sizeof video; ++i) EXPECT_EQ(v[i], 0x5C);
}

TEST_P(TransportConformanceTest, HistoryAndTimeEntriesAlwaysReturnZero) {
    void* h = x.init();
    ASSERT_NE(h, nullptr);
    int dummy = 0;
    EXPECT_EQ(x.getPrevFrame(h), 0);
    EXPECT_EQ(x.getPrevIFrame(h), 0);
    EXPECT_EQ(x.getBeginTime(h, &dummy), 0);
    EXPECT_EQ(x.getEndTime(h, &dummy), 0);
    x.exit(h);
}

TEST_P(TransportConformanceTest, UnconnectedInstanceHandsOutNoFrameAndIgnoresANullCommand) {
    void* h = x.init();
    ASSERT_NE(h, nullptr);
    uint8_t buffer[100] = {};
    int32_t kind = 9;
    EXPECT_LT(x.getNextFrame(h, &kind, buffer, sizeof buffer), 44);
    EXPECT_EQ(kind, 9);
    EXPECT_LT(x.getNextIFrame(h), 44);
    EXPECT_EQ(x.sendCommand(h, nullptr, nullptr), 0);
    EXPECT_EQ(x.setDebugMessageLevel(h, 2), 1);
    // No back channel without a connection, and the caller is told why.
    char reason[64] = "";
    const int16_t pcm[2] = {1, 2};
    EXPECT_EQ(x.openBackChannel(h, reason, sizeof reason), 0);
    EXPECT_NE(reason[0], '\0');
    EXPECT_EQ(x.sendBackChannelAudio(h, pcm, 2), 0);
    EXPECT_EQ(x.closeBackChannel(h), 1);
    x.stopStreaming(h);
    x.disconnect(h);
    x.exit(h);
}

INSTANTIATE_TEST_SUITE_P(EveryPlugin, TransportConformanceTest,
                         ::testing::Values(PluginUnderTest{"Fenwa10-M", "_ZN7fenwa108InstanceD1Ev", false},
                                           PluginUnderTest{"Fenwa20-M", "_ZN7fenwa208InstanceD1Ev", false},
                                           PluginUnderTest{"Corvel-M", "_ZN6corvel8InstanceD1Ev", false},
                                           PluginUnderTest{"Corvel-O", "_ZN6corvel13OnvifInstanceD1Ev", true}),
                         nameOf);

} // namespace
