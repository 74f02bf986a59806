// Protocol version 2 specifics of the exports; what every plug-in shares is
// in transport/tests/conformance_test.cpp.
#include "transport/plugin_exports.h"

#include <gtest/gtest.h>

namespace {

TEST(PluginExports, UnconfiguredInstanceFailsQuietly) {
    void* h = M_XInit();
    ASSERT_NE(h, nullptr);
    int32_t kind = 5;
    uint8_t buffer[64] = {};
    EXPECT_EQ(M_XConnect(h), 0); // connection type 0 is no connection type
    EXPECT_EQ(M_XStartStreaming(h), 0);
    EXPECT_EQ(M_XGetNextFrame(h, &kind, buffer, sizeof buffer), -1);
    EXPECT_EQ(kind, 5);
    const uint8_t byte = 1;
    TransportCommand out{transport::kCommandDigitalOutput, &byte, 1, nullptr, 0};
    EXPECT_EQ(M_XSendCommand(h, &out, nullptr), 0);
    M_XStopStreaming(h);
    M_XDisconnect(h);
    M_XExit(h);
}

} // namespace
