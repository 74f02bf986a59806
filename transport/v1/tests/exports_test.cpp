// The plug-in as the stream client sees it: loaded by path, bound by name.
#include "plugin_fixture.h"

#include "platform/module.h"

namespace fenwa10::test {
namespace {

const char* const kExportedNames[] = {
    "M_XInit",         "M_XSetMediaConfig",  "M_XConnect",        "M_XSetVideoConfig",
    "M_XGetVideoConfig", "M_XStartStreaming", "M_XStopStreaming",  "M_XGetNextFrame",
    "M_XGetNextIFrame", "M_XGetPrevFrame",   "M_XGetPrevIFrame",  "M_XDisconnect",
    "M_XSendCommand",  "M_XExit",            "M_XSetControlDataCallBack", "M_XSetMotionInfo",
    "M_XGetMotionInfo", "M_XGetBeginTime",   "M_XGetEndTime",     "M_XSetDebugMessageLevel",
    "M_XGetVersion",
};

class PluginLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.loadPath(FENWA10_PLUGIN_PATH)) << module.error(); }
    platform::Module module;
};

TEST_F(PluginLibraryTest, ExportsEveryContractFunctionButNotTheEngineOnes) {
    for (const char* name : kExportedNames) EXPECT_NE(module.symbol(name), nullptr) << name;
    EXPECT_EQ(module.symbol("M_XSetEngineConfig"), nullptr);
    EXPECT_EQ(module.symbol("M_XStartTransferStreamingEngineData"), nullptr);
}

TEST_F(PluginLibraryTest, SharedEntriesServeTwoNamesEach) {
    EXPECT_EQ(module.symbol("M_XGetPrevFrame"), module.symbol("M_XGetPrevIFrame"));
    EXPECT_EQ(module.symbol("M_XGetBeginTime"), module.symbol("M_XGetEndTime"));
}

TEST_F(PluginLibraryTest, VersionTextIsTheSameWhateverTheHandle) {
    auto version = reinterpret_cast<M_XGetVersion_t>(module.symbol("M_XGetVersion"));
    auto init = reinterpret_cast<M_XInit_t>(module.symbol("M_XInit"));
    auto exit = reinterpret_cast<M_XExit_t>(module.symbol("M_XExit"));
    ASSERT_TRUE(version && init && exit);
    char text[16];
    std::memset(text, 'x', sizeof text);
    version(nullptr, text);
    EXPECT_STREQ(text, "V 1.0.00");
    EXPECT_EQ(text[9], 'x');
    void* h = init();
    ASSERT_NE(h, nullptr);
    std::memset(text, 0, sizeof text);
    version(h, text);
    EXPECT_STREQ(text, "V 1.0.00");
    exit(h);
}

TEST(NullHandleTest, EveryFunctionReturnsZeroAndTouchesNothing) {
    MediaConfig config{};
    VideoConfig video{1, 2, 3, 4, 5, 6, 7, 8};
    MotionInfo motion{};
    motion.enabled = 7;
    TransportCommand command{transport::kCommandSerial, "ab", 2, nullptr, 0};
    uint8_t buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    int32_t kind = 5;
    EXPECT_EQ(M_XSetMediaConfig(nullptr, &config), 0);
    EXPECT_EQ(M_XConnect(nullptr), 0);
    EXPECT_EQ(M_XStartStreaming(nullptr), 0);
    EXPECT_EQ(M_XStopStreaming(nullptr), 0);
    EXPECT_EQ(M_XDisconnect(nullptr), 0);
    EXPECT_EQ(M_XGetNextFrame(nullptr, &kind, buffer, sizeof buffer), 0);
    EXPECT_EQ(M_XGetNextIFrame(nullptr), 0);
    EXPECT_EQ(M_XGetPrevFrame(nullptr), 0);
    EXPECT_EQ(M_XGetPrevIFrame(nullptr), 0);
    EXPECT_EQ(M_XGetBeginTime(nullptr, nullptr), 0);
    EXPECT_EQ(M_XGetEndTime(nullptr, nullptr), 0);
    EXPECT_EQ(M_XSendCommand(nullptr, &command, nullptr), 0);
    EXPECT_EQ(M_XSetControlDataCallBack(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(M_XSetMotionInfo(nullptr, &motion), 0);
    EXPECT_EQ(M_XGetMotionInfo(nullptr, &motion), 0);
    EXPECT_EQ(M_XSetVideoConfig(nullptr, &video), 0);
    EXPECT_EQ(M_XGetVideoConfig(nullptr, &video), 0);
    EXPECT_EQ(M_XSetDebugMessageLevel(nullptr, 3), 0);
    M_XExit(nullptr);
    EXPECT_EQ(kind, 5);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(video.frameRate, 8);
    EXPECT_EQ(motion.enabled, 7);
}

TEST(UnconnectedInstanceTest, HistoryAndTimeFunctionsReturnZeroAndReadsFail) {
    void* h = M_XInit();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(M_XGetPrevFrame(h), 0);
    EXPECT_EQ(M_XGetPrevIFrame(h), 0);
    EXPECT_EQ(M_XGetBeginTime(h, nullptr), 0);
    EXPECT_EQ(M_XGetEndTime(h, nullptr), 0);
    uint8_t buffer[100];
    int32_t kind = 9;
    EXPECT_LT(M_XGetNextFrame(h, &kind, buffer, sizeof buffer), 44);
    EXPECT_EQ(kind, 9);
    EXPECT_LT(M_XGetNextIFrame(h), 44);
    MotionInfo m{};
    m.regionCount = 3;
    EXPECT_EQ(M_XGetMotionInfo(h, &m), 0);
    EXPECT_EQ(m.regionCount, 3);
    EXPECT_EQ(M_XSetDebugMessageLevel(h, 2), 1);
    M_XStopStreaming(h);
    M_XDisconnect(h);
    M_XExit(h);
}

} // namespace
} // namespace fenwa10::test
