#include "platform/module.h"
#include "transport/contract.h"

#include <gtest/gtest.h>

#include <cstring>

extern "C" {
void* M_XInit(void);
void M_XExit(void*);
void M_XGetVersion(void*, char*);
int32_t M_XSetMediaConfig(void*, const MediaConfig*);
int32_t M_XConnect(void*);
int32_t M_XStartStreaming(void*);
int32_t M_XGetNextFrame(void*, int32_t*, uint8_t*, int32_t);
int32_t M_XGetNextIFrame(void*);
int32_t M_XGetPrevFrame(void*);
int32_t M_XGetPrevIFrame(void*);
int32_t M_XGetBeginTime(void*, void*);
int32_t M_XGetEndTime(void*, void*);
int32_t M_XStopStreaming(void*);
int32_t M_XDisconnect(void*);
int32_t M_XSendCommand(void*, const TransportCommand*, void*);
int32_t M_XSetControlDataCallBack(void*, void*, ControlDataCallback);
int32_t M_XSetMotionInfo(void*, const MotionInfo*);
int32_t M_XGetMotionInfo(void*, MotionInfo*);
int32_t M_XSetVideoConfig(void*, const VideoConfig*);
int32_t M_XGetVideoConfig(void*, VideoConfig*);
int32_t M_XSetDebugMessageLevel(void*, int32_t);
}

namespace {

TEST(PluginExports, LoadsByBareNameAndOffersEveryFunction) {
    platform::Module module;
    ASSERT_TRUE(module.load("Fenwa20-M")) << module.error();
    for (const char* name :
         {"M_XInit", "M_XExit", "M_XGetVersion", "M_XSetMediaConfig", "M_XConnect", "M_XStartStreaming",
          "M_XGetNextFrame", "M_XGetNextIFrame", "M_XGetPrevFrame", "M_XGetPrevIFrame", "M_XGetBeginTime",
          "M_XGetEndTime", "M_XStopStreaming", "M_XDisconnect", "M_XSendCommand", "M_XSetControlDataCallBack",
          "M_XSetMotionInfo", "M_XGetMotionInfo", "M_XSetVideoConfig", "M_XGetVideoConfig",
          "M_XSetDebugMessageLevel"}) {
        EXPECT_NE(module.symbol(name), nullptr) << name;
    }
    // Internals stay hidden.
    EXPECT_EQ(module.symbol("_ZN7fenwa208InstanceD1Ev"), nullptr);
}

TEST(PluginExports, VersionIsTheSameWhateverTheHandle) {
    char text[16];
    std::memset(text, 'x', sizeof text);
    M_XGetVersion(nullptr, text);
    EXPECT_STREQ(text, "V 1.0.00");
    EXPECT_EQ(text[9], 'x');
    void* h = M_XInit();
    std::memset(text, 'x', sizeof text);
    M_XGetVersion(h, text);
    EXPECT_STREQ(text, "V 1.0.00");
    M_XExit(h);
}

TEST(PluginExports, NullHandleReturnsZeroAndTouchesNothing) {
    int32_t kind = 77;
    uint8_t buffer[64];
    std::memset(buffer, 0xEE, sizeof buffer);
    MediaConfig media{};
    const uint8_t payload[2] = {8, 3};
    TransportCommand serial{17, payload, 2, nullptr, 0};
    MotionInfo motion;
    std::memset(&motion, 0x5C, sizeof motion);
    VideoConfig video;
    std::memset(&video, 0x5C, sizeof video);

    EXPECT_EQ(M_XSetMediaConfig(nullptr, &media), 0);
    EXPECT_EQ(M_XConnect(nullptr), 0);
    EXPECT_EQ(M_XStartStreaming(nullptr), 0);
    EXPECT_EQ(M_XGetNextFrame(nullptr, &kind, buffer, sizeof buffer), 0);
    EXPECT_EQ(M_XGetNextIFrame(nullptr), 0);
    EXPECT_EQ(M_XStopStreaming(nullptr), 0);
    EXPECT_EQ(M_XDisconnect(nullptr), 0);
    EXPECT_EQ(M_XSendCommand(nullptr, &serial, nullptr), 0);
    EXPECT_EQ(M_XSetControlDataCallBack(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(M_XSetMotionInfo(nullptr, &motion), 0);
    EXPECT_EQ(M_XGetMotionInfo(nullptr, &motion), 0);
    EXPECT_EQ(M_XSetVideoConfig(nullptr, &video), 0);
    EXPECT_EQ(M_XGetVideoConfig(nullptr, &video), 0);
    EXPECT_EQ(M_XSetDebugMessageLevel(nullptr, 3), 0);
    M_XExit(nullptr);

    EXPECT_EQ(kind, 77);
    for (uint8_t b : buffer) EXPECT_EQ(b, 0xEE);
    const auto* m = reinterpret_cast<const uint8_t*>(&motion);
    for (std::size_t i = 0; i < sizeof motion; ++i) EXPECT_EQ(m[i], 0x5C);
    const auto* v = reinterpret_cast<const uint8_t*>(&video);
    for (std::size_t i = 0; i < sizeof video; ++i) EXPECT_EQ(v[i], 0x5C);
}

TEST(PluginExports, HistoryAndTimeEntriesAlwaysReturnZero) {
    void* h = M_XInit();
    ASSERT_NE(h, nullptr);
    int dummy = 0;
    EXPECT_EQ(M_XGetPrevFrame(h), 0);
    EXPECT_EQ(M_XGetPrevIFrame(h), 0);
    EXPECT_EQ(M_XGetBeginTime(h, &dummy), 0);
    EXPECT_EQ(M_XGetEndTime(h, &dummy), 0);
    EXPECT_EQ(M_XGetPrevFrame(nullptr), 0);
    EXPECT_EQ(M_XGetEndTime(nullptr, nullptr), 0);
    M_XExit(h);
}

TEST(PluginExports, UnconfiguredInstanceFailsQuietly) {
    void* h = M_XInit();
    ASSERT_NE(h, nullptr);
    int32_t kind = 5;
    uint8_t buffer[64] = {};
    EXPECT_EQ(M_XConnect(h), 0);  // connection type 0 is no connection type
    EXPECT_EQ(M_XStartStreaming(h), 0);
    EXPECT_EQ(M_XGetNextFrame(h, &kind, buffer, sizeof buffer), -1);
    EXPECT_EQ(kind, 5);
    const uint8_t byte = 1;
    TransportCommand out{13, &byte, 1, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(h, &out, nullptr), 0);
    EXPECT_EQ(M_XSendCommand(h, nullptr, nullptr), 0);
    M_XStopStreaming(h);
    M_XDisconnect(h);
    M_XExit(h);
}

} // namespace
