// The whole protocol version 1 road: the simulated camera's real video,
// framed by the protocol version 1 plug-in with its own sequence headers,
// decoded by the decoder plug-in.
#include "camsim/encoded_video_source.h"
#include "camsim/v1_camera.h"
#include "decoder/contract.h"
#include "platform/function_table.h"
#include "platform/module.h"
#include "transport/contract.h"

#include <gtest/gtest.h>

#include <cstring>

namespace camsim {
namespace {

uint32_t bitsAt(const uint8_t* b, int position, int width) {
    uint32_t v = 0;
    for (int i = 0; i < width; ++i) {
        const int p = position + i;
        v = (v << 1) | ((b[p / 8] >> (7 - p % 8)) & 1u);
    }
    return v;
}

class Protocol1VideoTest : public ::testing::TestWithParam<CameraVideoSettings> {
protected:
    void SetUp() override {
        ASSERT_TRUE(transport_.loadPath(FENWA10_PATH)) << transport_.error();
        ASSERT_TRUE(decoder_.loadPath(QUILLON_PATH)) << decoder_.error();
    }
    platform::Module transport_;
    platform::Module decoder_;
};

TEST_P(Protocol1VideoTest, PluginRecordsDecodeToThePattern) {
    transport::FunctionTable x;
    decoder::FunctionTable c;
    ASSERT_EQ(platform::bindFunctionTable(transport_, x), nullptr);
    ASSERT_EQ(platform::bindFunctionTable(decoder_, c), nullptr);
    ASSERT_NE(c.exit, nullptr);

    CameraOptions options;
    options.video = GetParam();
    options.paceFrames = false;
    V1Camera camera(options);
    ASSERT_TRUE(camera.start());

    MediaConfig config;
    std::memset(&config, 0, sizeof config);
    config.connectionType = 2;
    std::strcpy(config.cameraAddress, "127.0.0.1");
    std::strcpy(config.userName, options.user.c_str());
    std::strcpy(config.password, options.password.c_str());
    config.registerPort = camera.loginPort();
    config.streamingPort = camera.mediaPort();
    config.controlPort = camera.controlPort();
    config.connectTimeoutSeconds = 2;

    void* handle = x.init();
    ASSERT_NE(handle, nullptr);
    void* dec = c.init(nullptr);
    ASSERT_NE(dec, nullptr);
    x.setMediaConfig(handle, &config);
    ASSERT_EQ(x.connect(handle), 1);
    ASSERT_EQ(x.startStreaming(handle), 1);

    std::vector<uint8_t> buffer(transport::kFrameBufferSize);
    int width = 0, height = 0;
    const int frames = options.video.frameRate + 2; // past the second intra frame
    for (int i = 0; i < frames; ++i) {
        int32_t kind = 0;
        const int32_t n = x.getNextFrame(handle, &kind, buffer.data(), static_cast<int32_t>(buffer.size()));
        ASSERT_GT(n, 44) << "frame " << i;
        ASSERT_EQ(kind, 1);
        const bool intra = n > 80 && std::memcmp(buffer.data() + 75, transport::kGroupOfVopStartCode, 4) == 0;
        EXPECT_EQ(intra, i % options.video.frameRate == 0) << "frame " << i;
        if (intra) {
            // The layer header the plug-in put at 54, read the way the stream
            // client reads it (object type 1 positions).
            const uint8_t* vol = buffer.data() + 54;
            ASSERT_EQ(bitsAt(vol, 65, 8), 1u);
            const uint32_t resolution = bitsAt(vol, 89, 16);
            int k = 1;
            while ((1u << k) < resolution) ++k;
            width = static_cast<int>(bitsAt(vol, k + 108, 13));
            height = static_cast<int>(bitsAt(vol, k + 122, 13));
        }
        ASSERT_GT(width, 0);
        const auto* pic =
            static_cast<const uint8_t*>(c.decode(dec, width, height, buffer.data() + 44, n - 44, 0, 0, 0));
        ASSERT_NE(pic, nullptr) << "frame " << i;
        for (int qy : {height / 4, 3 * height / 4}) {
            for (int qx : {width / 4, 3 * width / 4}) {
                const uint8_t* p = pic + 40 + (static_cast<std::size_t>(qy) * width + qx) * 4;
                const PatternColour want = EncodedVideoSource::patternColour(width, height, i, qx, qy);
                EXPECT_NEAR(p[2], want.r, 32) << "frame " << i;
                EXPECT_NEAR(p[1], want.g, 32) << "frame " << i;
                EXPECT_NEAR(p[0], want.b, 32) << "frame " << i;
            }
        }
    }
    x.disconnect(handle);
    x.stopStreaming(handle);
    x.exit(handle);
    c.exit(dec);
    camera.stop();
}

CameraVideoSettings settings(int resolutionCode, int frameRate, int configValue) {
    CameraVideoSettings s;
    s.resolutionCode = resolutionCode;
    s.frameRate = static_cast<uint16_t>(frameRate);
    s.configValue = static_cast<uint16_t>(configValue);
    return s;
}

INSTANTIATE_TEST_SUITE_P(TableEntries, Protocol1VideoTest,
                         ::testing::Values(settings(1, 30, 0), settings(4, 25, 0), settings(5, 3, 0),
                                           settings(0, 10, 0), settings(4, 12, 1)));

} // namespace
} // namespace camsim
