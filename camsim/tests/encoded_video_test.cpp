// Real video from the simulated cameras, decoded by our decoder plug-in the
// way the stream client feeds it.
#include "camsim/audio_source.h"
#include "camsim/camera_sources.h"
#include "camsim/encoded_video_source.h"
#include "camsim/mpeg4_headers.h"
#include "camsim/v1_camera.h"
#include "camsim/v2_camera.h"
#include "decoder/contract.h"
#include "platform/function_table.h"
#include "platform/module.h"
#include "platform/tcp_socket.h"
#include "transport/protocol_message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace camsim {
namespace {

const std::vector<uint8_t> kGov = {0x00, 0x00, 0x01, 0xB3};

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::size_t find(const std::vector<uint8_t>& hay, const std::vector<uint8_t>& needle) {
    return static_cast<std::size_t>(std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) - hay.begin());
}

class EncodedVideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_.loadPath(QUILLON_PATH)) << module_.error();
        ASSERT_EQ(platform::bindFunctionTable(module_, decoder_), nullptr);
        ASSERT_NE(decoder_.exit, nullptr);
        instance_ = decoder_.init(nullptr);
        ASSERT_NE(instance_, nullptr);
    }
    void TearDown() override {
        if (decoder_.exit != nullptr) decoder_.exit(instance_);
    }
    // A fresh decoder, as the stream client makes one per connection.
    void restartDecoder() {
        decoder_.exit(instance_);
        instance_ = decoder_.init(nullptr);
        ASSERT_NE(instance_, nullptr);
    }
    const uint8_t* decode(int w, int h, const std::vector<uint8_t>& data) {
        return static_cast<const uint8_t*>(
            decoder_.decode(instance_, w, h, data.data(), static_cast<int32_t>(data.size()), 0, 0, 0));
    }

    static PatternColour pixel(const uint8_t* pic, int w, int x, int y) {
        const uint8_t* p = pic + decoder::kPictureHeaderSize + (static_cast<std::size_t>(y) * w + x) * 4;
        return {p[2], p[1], p[0]};
    }
    static void expectColour(PatternColour got, PatternColour want, int tolerance, const std::string& where) {
        EXPECT_NEAR(got.r, want.r, tolerance) << where;
        EXPECT_NEAR(got.g, want.g, tolerance) << where;
        EXPECT_NEAR(got.b, want.b, tolerance) << where;
    }
    // The quadrant centres, the middle of the moving bar and a point of the
    // band half a picture away from it.
    static void expectPattern(const uint8_t* pic, int w, int h, int frameIndex, const std::string& label) {
        ASSERT_NE(pic, nullptr) << label;
        int32_t headerWidth = 0, headerHeight = 0;
        std::memcpy(&headerWidth, pic + 4, 4);
        std::memcpy(&headerHeight, pic + 8, 4);
        ASSERT_EQ(headerWidth, w) << label;
        ASSERT_EQ(headerHeight, -h) << label;
        for (int qy : {h / 4, 3 * h / 4}) {
            for (int qx : {w / 4, 3 * w / 4}) {
                expectColour(pixel(pic, w, qx, qy), EncodedVideoSource::patternColour(w, h, frameIndex, qx, qy), 32,
                             label + " quadrant " + std::to_string(qx) + "," + std::to_string(qy));
            }
        }
        const int y = h / 2;
        std::vector<int> black;
        for (int x = 0; x < w; ++x) {
            const PatternColour c = EncodedVideoSource::patternColour(w, h, frameIndex, x, y);
            if (c.r == 0 && c.g == 0 && c.b == 0) black.push_back(x);
        }
        ASSERT_FALSE(black.empty());
        // The middle of the black run (the bar may wrap round the right edge).
        int bar = black[black.size() / 2];
        if (black.back() - black.front() >= w / 2) {
            bar = black.front();
        }
        expectColour(pixel(pic, w, bar, y), {0, 0, 0}, 48, label + " bar");
        const int away = (bar + w / 2) % w;
        expectColour(pixel(pic, w, away, y), {128, 128, 128}, 48, label + " band");
    }

    platform::Module module_;
    decoder::FunctionTable decoder_;
    void* instance_ = nullptr;
};

TEST_F(EncodedVideoTest, FramesHaveTheShapeACameraSends) {
    EncodedVideoOptions o;
    o.width = 176;
    o.height = 144;
    o.frameRate = 5;
    auto source = EncodedVideoSource::create(o);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->timeResolution(), 5000);
    for (int i = 0; i < 11; ++i) {
        VideoFrame f;
        ASSERT_TRUE(source->nextFrame(f));
        EXPECT_EQ(f.intra, i % 5 == 0) << i;
        EXPECT_EQ(f.timeStampMs, static_cast<uint32_t>(i * 200));
        // No sequence headers of the encoder's own inside a frame.
        EXPECT_EQ(find(f.data, {0x00, 0x00, 0x01, 0x20}), f.data.size());
        EXPECT_EQ(find(f.data, {0x00, 0x00, 0x01, 0xB0}), f.data.size());
        const std::size_t vop = find(f.data, {0x00, 0x00, 0x01, 0xB6});
        ASSERT_LT(vop + 4, f.data.size());
        if (f.intra) {
            EXPECT_EQ(find(f.data, kGov), 0u);
            EXPECT_EQ(f.data[vop + 4] >> 6, 0); // intra coding type
        } else {
            EXPECT_EQ(vop, 0u);
            EXPECT_EQ(f.data[vop + 4] >> 6, 1); // predicted
        }
    }
}

TEST_F(EncodedVideoTest, TextureCostsBitsButKeepsThePatternsColours) {
    std::size_t bytes[2] = {0, 0};
    for (int textured = 0; textured < 2; ++textured) {
        restartDecoder();
        EncodedVideoOptions o;
        o.width = 352;
        o.height = 288;
        o.frameRate = 10;
        o.texture = textured != 0 ? 12 : 0;
        auto source = EncodedVideoSource::create(o);
        ASSERT_NE(source, nullptr);
        for (int i = 0; i < 12; ++i) {
            VideoFrame f;
            ASSERT_TRUE(source->nextFrame(f));
            bytes[textured] += f.data.size();
            const uint8_t* pic = decode(352, 288, f.intra ? concat({source->sequenceHeader(), f.data}) : f.data);
            ASSERT_NE(pic, nullptr);
            // The texture moves each pixel by 12 at most.
            expectColour(pixel(pic, 352, 88, 72), {255, 0, 0}, 48, "top left");
            expectColour(pixel(pic, 352, 264, 216), {255, 255, 255}, 48, "bottom right");
        }
    }
    EXPECT_GT(bytes[1], 4 * bytes[0]);
}

TEST_F(EncodedVideoTest, UnusableOptionsMakeNoSource) {
    EncodedVideoOptions o;
    o.width = 175;
    EXPECT_EQ(EncodedVideoSource::create(o), nullptr);
    o.width = 176;
    o.frameRate = 0;
    EXPECT_EQ(EncodedVideoSource::create(o), nullptr);
    o.frameRate = 31;
    EXPECT_EQ(EncodedVideoSource::create(o), nullptr);
}

TEST_F(EncodedVideoTest, PublishedTableEntriesDecodeOurFrames) {
    // Two table entries as published, bytes typed in, not computed.
    struct Case {
        int width, height, rate, resolution;
        std::vector<uint8_t> vol;
    };
    const Case cases[] = {
        {720, 480, 30, 30000, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xc8, 0x88,
                               0xba, 0x98, 0x60, 0xfa, 0x62, 0xd0, 0x87, 0x82, 0x83, 0x07}},
        {160, 112, 1, 5000, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xc8, 0x88,
                             0x89, 0xc4, 0x63, 0xe9, 0x82, 0x82, 0x07, 0x0a, 0x0c, 0x1f}},
    };
    for (const Case& c : cases) {
        restartDecoder();
        EncodedVideoOptions o;
        o.width = c.width;
        o.height = c.height;
        o.frameRate = c.rate;
        o.timeResolution = c.resolution;
        o.gopLength = 3;
        auto source = EncodedVideoSource::create(o);
        ASSERT_NE(source, nullptr);
        for (int i = 0; i < 5; ++i) {
            VideoFrame f;
            ASSERT_TRUE(source->nextFrame(f));
            const std::vector<uint8_t> data = f.intra ? concat({visualObjectSequenceHeader(), c.vol, f.data}) : f.data;
            expectPattern(decode(c.width, c.height, data), c.width, c.height, i,
                          std::to_string(c.width) + " frame " + std::to_string(i));
        }
    }
}

// What the protocol version 1 plug-in hands the decoder: for an intra frame
// the sequence headers and its table's layer header, then the message from
// its byte 28; for a predicted frame the message from its byte 12 (the
// camera's 16-byte frame header first).
TEST_F(EncodedVideoTest, Protocol1CameraFramesDecodeUnderTheClientsTable) {
    struct Case {
        int resolutionCode, frameRate, configValue;
    };
    for (const Case& c : {Case{1, 30, 0}, Case{4, 25, 0}, Case{5, 3, 0}, Case{2, 7, 0}, Case{4, 10, 1}}) {
        restartDecoder();
        CameraVideoSettings settings;
        settings.resolutionCode = c.resolutionCode;
        settings.frameRate = static_cast<uint16_t>(c.frameRate);
        settings.configValue = static_cast<uint16_t>(c.configValue);
        auto source = makeCameraVideoSource(settings);
        int w = 0, h = 0;
        cameraPictureSize(settings, w, h);
        const std::vector<uint8_t> vol =
            videoObjectLayerHeader(w, h, cameraTimeResolution(c.resolutionCode, c.configValue != 0 ? 30 : c.frameRate));
        const std::string label = "code " + std::to_string(c.resolutionCode) + " rate " + std::to_string(c.frameRate);
        for (int i = 0; i < c.frameRate + 3; ++i) {
            VideoFrame f;
            ASSERT_TRUE(source->nextFrame(f)) << label;
            const std::vector<uint8_t> message = V1Camera::videoMessage(f, static_cast<uint8_t>(i));
            const std::vector<uint8_t> data = f.intra
                                                  ? concat({visualObjectSequenceHeader(), vol,
                                                            std::vector<uint8_t>(message.begin() + 28, message.end())})
                                                  : std::vector<uint8_t>(message.begin() + 12, message.end());
            expectPattern(decode(w, h, data), w, h, i, label + " frame " + std::to_string(i));
        }
    }
}

TEST_F(EncodedVideoTest, Protocol2IntraRecordsCarryTheStreamsOwnHeaders) {
    CameraVideoSettings settings;
    settings.resolutionCode = 4; // 352 x 288
    settings.frameRate = 15;
    auto source = makeCameraVideoSource(settings);
    const std::vector<uint8_t> headers = source->sequenceHeader();
    ASSERT_EQ(headers.size(), 31u);
    EXPECT_EQ(headers, concat({visualObjectSequenceHeader(), videoObjectLayerHeader(352, 288, 15000)}));
    for (int i = 0; i < 17; ++i) {
        VideoFrame f;
        ASSERT_TRUE(source->nextFrame(f));
        const std::vector<uint8_t> data = f.intra ? concat({headers, f.data}) : f.data;
        if (f.intra) {
            // In a record the group-of-VOP start code lands at 44 + 31 = 75.
            EXPECT_EQ(find(data, kGov), 31u);
        }
        expectPattern(decode(352, 288, data), 352, 288, i, "frame " + std::to_string(i));
    }
}

// The protocol version 2 camera streams by itself: intra records with
// headers, predicted records, and tone records in time order between them.
TEST_F(EncodedVideoTest, Protocol2CameraStreamsDecodableVideoAndTone) {
    CameraOptions options;
    options.video.resolutionCode = 5; // 176 x 144
    options.video.frameRate = 10;
    options.paceFrames = false;
    V2Camera camera(options);
    ASSERT_TRUE(camera.start());
    platform::TcpSocket s;
    ASSERT_TRUE(s.connect("127.0.0.1", camera.videoPort(), 2000));
    ASSERT_TRUE(s.setReceiveTimeout(5000));
    std::vector<uint8_t> login(128, 0);
    std::memcpy(login.data(), "admin", 5);
    std::memcpy(login.data() + 64, "admin", 5);
    ASSERT_TRUE(s.sendAll(login.data(), login.size()));
    std::vector<uint8_t> answer(128);
    ASSERT_EQ(s.receiveAll(answer.data(), answer.size()).status, platform::RecvStatus::Ok);
    ASSERT_EQ(answer[0], 0);

    ToneAudioSource tone;
    int videoFrames = 0, audioRecords = 0;
    uint32_t lastVideoTime = 0;
    while (videoFrames < 12) {
        uint8_t header[12];
        ASSERT_EQ(s.receiveAll(header, 12).status, platform::RecvStatus::Ok);
        const uint32_t rest = transport::getUint32Le(header + 8);
        ASSERT_LT(rest, 256000u);
        std::vector<uint8_t> record(12 + rest);
        std::memcpy(record.data(), header, 12);
        ASSERT_EQ(s.receiveAll(record.data() + 12, rest).status, platform::RecvStatus::Ok);
        ASSERT_EQ(transport::getUint32Le(record.data()), 0xB2010000u);
        const uint32_t time = transport::getUint32Le(record.data() + 12);
        if (record[4] == 2) {
            ASSERT_EQ(record.size(), kAudioRecordSize);
            EXPECT_LE(time, lastVideoTime);
            for (std::size_t i = 0; i < kAudioBlockSamples; i += 37) {
                const auto got = static_cast<int16_t>(record[28 + 2 * i] | (record[29 + 2 * i] << 8));
                EXPECT_EQ(got, tone.sample(static_cast<int64_t>(audioRecords) * 320 + static_cast<int64_t>(i)));
            }
            ++audioRecords;
            continue;
        }
        ASSERT_EQ(record[4], 1);
        if (videoFrames == 0) {
            EXPECT_EQ(std::vector<uint8_t>(record.begin() + 75, record.begin() + 79), kGov);
        }
        lastVideoTime = time;
        expectPattern(decode(176, 144, std::vector<uint8_t>(record.begin() + 44, record.end())), 176, 144, videoFrames,
                      "record " + std::to_string(videoFrames));
        ++videoFrames;
    }
    // Before the twelfth picture (1100 ms) came the blocks that follow the
    // pictures of 0 .. 1000 ms: those of 0, 40, .. 1000 ms.
    EXPECT_EQ(audioRecords, 26);
    s.close();
    camera.stop();
}

} // namespace
} // namespace camsim
