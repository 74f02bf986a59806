// The whole protocol version 1 road: the simulated camera's real video,
// framed by the protocol version 1 plug-in with its own sequence headers,
// decoded by the decoder plug-in.
#include "camsim/encoded_video_source.h"
#include "camsim/v1_camera.h"
#include "decoder/contract.h"
#include "platform/module.h"
#include "transport/contract.h"

#include <gtest/gtest.h>

#include <cstring>

namespace camsim {
namespace {

template <typename F>
F bind(const platform::Module& m, const char* name) {
    return reinterpret_cast<F>(m.symbol(name));
}

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
    const auto xInit = bind<M_XInit_t>(transport_, "M_XInit");
    const auto xSetMediaConfig = bind<M_XSetMediaConfig_t>(transport_, "M_XSetMediaConfig");
    const auto xConnect = bind<M_XConnect_t>(transport_, "M_XConnect");
    const auto xStart = bind<M_XStartStreaming_t>(transport_, "M_XStartStreaming");
    const auto xNext = bind<M_XGetNextFrame_t>(transport_, "M_XGetNextFrame");
    const auto xStop = bind<M_XStopStreaming_t>(transport_, "M_XStopStreaming");
    const auto xDisconnect = bind<M_XDisconnect_t>(transport_, "M_XDisconnect");
    const auto xExit = bind<M_XExit_t>(transport_, "M_XExit");
    const auto cInit = bind<M_XCInit_t>(decoder_, "M_XCInit");
    const auto cDecode = bind<M_XDecode_t>(decoder_, "M_XDecode");
    const auto cExit = bind<M_XCExit_t>(decoder_, "M_XCExit");
    ASSERT_TRUE(xInit && xSetMediaConfig && xConnect && xStart && xNext && xStop && xDisconnect && xExit);
    ASSERT_TRUE(cInit && cDecode && cExit);

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

    void* handle = xInit();
    ASSERT_NE(handle, nullptr);
    void* dec = cInit(nullptr);
    ASSERT_NE(dec, nullptr);
    xSetMediaConfig(handle, &config);
    ASSERT_EQ(xConnect(handle), 1);
    ASSERT_EQ(xStart(handle), 1);

    std::vector<uint8_t> buffer(transport::kFrameBufferSize);
    int width = 0, height = 0;
    const int frames = options.video.frameRate + 2; // past the second intra frame
    for (int i = 0; i < frames; ++i) {
        int32_t kind = 0;
        const int32_t n = xNext(handle, &kind, buffer.data(), static_cast<int32_t>(buffer.size()));
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
        const auto* pic = static_cast<const uint8_t*>(cDecode(dec, width, height, buffer.data() + 44, n - 44, 0, 0, 0));
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
    xDisconnect(handle);
    xStop(handle);
    xExit(handle);
    cExit(dec);
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
