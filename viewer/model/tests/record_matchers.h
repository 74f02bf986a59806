// Field-by-field comparison of camera records (padding and the bytes after a
// text's NUL are not part of a record's value).
#pragma once

#include <gtest/gtest.h>

#include "tavolin/camera_record.h"

namespace tavolin::test {

inline void expectSameRecord(const CameraRecord& a, const CameraRecord& b) {
    SCOPED_TRACE("camera index " + std::to_string(a.index));
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(textOf(a.name), textOf(b.name));
    EXPECT_EQ(textOf(a.host), textOf(b.host));
    EXPECT_EQ(a.channel, b.channel);
    EXPECT_EQ(a.registerPort, b.registerPort);
    EXPECT_EQ(a.controlPort, b.controlPort);
    EXPECT_EQ(a.streamingPort, b.streamingPort);
    EXPECT_EQ(a.httpPort, b.httpPort);
    EXPECT_EQ(textOf(a.userName), textOf(b.userName));
    EXPECT_EQ(textOf(a.password), textOf(b.password));
    EXPECT_EQ(a.useStreamingEngine, b.useStreamingEngine);
    EXPECT_EQ(textOf(a.streamingEngineHost), textOf(b.streamingEngineHost));
    EXPECT_EQ(textOf(a.streamingEngineUser), textOf(b.streamingEngineUser));
    EXPECT_EQ(textOf(a.streamingEnginePassword), textOf(b.streamingEnginePassword));
    EXPECT_EQ(a.ptzEnabled, b.ptzEnabled);
    EXPECT_EQ(a.ptzSourceType, b.ptzSourceType);
    EXPECT_EQ(textOf(a.ptzVendor), textOf(b.ptzVendor));
    EXPECT_EQ(textOf(a.ptzProtocol), textOf(b.ptzProtocol));
    EXPECT_EQ(textOf(a.ptzProtocolFile), textOf(b.ptzProtocolFile));
    EXPECT_EQ(a.inSwitchGroup, b.inSwitchGroup);
    EXPECT_EQ(a.playAudio, b.playAudio);
    EXPECT_EQ(a.quadServer, b.quadServer);
    EXPECT_EQ(a.showName, b.showName);
    EXPECT_EQ(a.showEvents, b.showEvents);
    EXPECT_EQ(a.serialControl, b.serialControl);
    EXPECT_EQ(a.serialBaudRate, b.serialBaudRate);
    EXPECT_EQ(a.ptzAddress, b.ptzAddress);
    EXPECT_EQ(a.streamingType, b.streamingType);
    EXPECT_EQ(a.ptzSpeed, b.ptzSpeed);
    EXPECT_EQ(a.autoReconnect, b.autoReconnect);
    EXPECT_EQ(a.keepAspect, b.keepAspect);
    EXPECT_EQ(textOf(a.subStreamUrl), textOf(b.subStreamUrl));
}

} // namespace tavolin::test
