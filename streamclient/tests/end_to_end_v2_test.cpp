// Protocol version 2 end to end: camsim -> Fenwa20-M -> Ostrel-M -> decoder
// plug-in -> test surface, with audio into a recording output.
#include "camsim/audio_source.h"
#include "camsim/camera_sources.h"
#include "camsim/v2_camera.h"
#include "end_to_end_fixture.h"

namespace {

using namespace ostrel::test;

class Protocol2EndToEndTest : public EndToEndTest<camsim::V2Camera> {
protected:
    MediaConfig config() const {
        MediaConfig c = loopbackConfig(2);
        std::strcpy(c.password, "admin");
        c.controlPort = camera->controlPort();
        c.streamingPort = camera->videoPort();
        c.httpPort = camera->httpPort();
        return c;
    }
    void connect(const camsim::CameraOptions& options) {
        ASSERT_TRUE(startCamera(options));
        ASSERT_EQ(open(2, config()), 1);
    }
};

TEST_F(Protocol2EndToEndTest, PicturesArriveWithTheStreamSizeAndPatternColours) {
    connect(loopbackCamera(1));
    ASSERT_TRUE(rendered.waitFor(5));
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.width, 352);
    EXPECT_EQ(snap.height, 240);
    expectPatternQuadrants(snap);
}

TEST_F(Protocol2EndToEndTest, AudioIsTheCamerasToneTakenFromItsPayloadOffset) {
    M_KSetMute(handle, 1);
    connect(loopbackCamera(2, 15));
    ASSERT_TRUE(waitUntil([&] { return audio->writtenBuffers().size() >= 3; }));
    const camsim::ToneAudioSource tone;
    for (const auto& played : audio->writtenBuffers()) {
        ASSERT_EQ(played.size(), camsim::kAudioBlockBytes);
        // Some block of the tone, sample for sample.
        const int16_t first = static_cast<int16_t>(played[0] | (played[1] << 8));
        bool found = false;
        for (int64_t block = 0; block < 2000 && !found; ++block) {
            const int64_t base = block * static_cast<int64_t>(camsim::kAudioBlockSamples);
            if (tone.sample(base) != first) continue;
            found = true;
            for (std::size_t i = 0; i < camsim::kAudioBlockSamples; ++i) {
                const int16_t got = static_cast<int16_t>(played[2 * i] | (played[2 * i + 1] << 8));
                if (got != tone.sample(base + static_cast<int64_t>(i))) {
                    found = false;
                    break;
                }
            }
        }
        EXPECT_TRUE(found);
    }
}

TEST_F(Protocol2EndToEndTest, MutedStreamPlaysNoAudio) {
    M_KSetMute(handle, 0);
    connect(loopbackCamera(2, 15));
    ASSERT_TRUE(rendered.waitFor(8)); // half a second of stream, a dozen audio records
    EXPECT_TRUE(audio->writtenBuffers().empty());
}

class Protocol2ScriptedTest : public Protocol2EndToEndTest {
protected:
    void SetUp() override {
        Protocol2EndToEndTest::SetUp();
        camsim::CameraOptions o = loopbackCamera(1);
        o.autoStream = false;
        auto source = camsim::makeCameraVideoSource(o.video);
        ASSERT_NE(source, nullptr);
        for (int i = 0; i < 4; ++i) {
            camsim::VideoFrame f;
            ASSERT_TRUE(source->nextFrame(f));
            frames.push_back(f);
        }
        ASSERT_TRUE(frames[0].intra);
        sequenceHeader = source->sequenceHeader();
        ASSERT_EQ(sequenceHeader.size(), 31u);
        ASSERT_FALSE(frames[1].intra);
        M_KSetMute(handle, 1);
        connect(o);
        ASSERT_TRUE(camera->waitVideoLogin(10000));
    }
    // A frame record as the camera sends it: an intra picture carries the
    // sequence headers in front of its group-of-VOP header.
    std::vector<uint8_t> record(int index, uint8_t motionByte = 0, uint8_t inputByte = 3) {
        const camsim::VideoFrame& f = frames[static_cast<std::size_t>(index)];
        std::vector<uint8_t> data = f.intra ? sequenceHeader : std::vector<uint8_t>();
        data.insert(data.end(), f.data.begin(), f.data.end());
        return frameRecord(1, data, motionByte, inputByte);
    }
    static camsim::AudioBlock ramp() {
        camsim::AudioBlock b;
        b.pcm.resize(camsim::kAudioBlockBytes);
        for (std::size_t i = 0; i < b.pcm.size(); ++i) b.pcm[i] = static_cast<uint8_t>(i * 7);
        return b;
    }
    // Sends until the counter saw the arguments (a header arriving while the
    // previous one is handled is dropped).
    void sendUntil(const std::vector<uint8_t>& bytes, CallCounter& counter, const std::vector<int32_t>& expected) {
        auto seen = [&] {
            for (const auto& a : counter.args()) {
                if (a == expected) return true;
            }
            return false;
        };
        for (int attempt = 0; attempt < 300 && !seen(); ++attempt) {
            ASSERT_TRUE(camera->sendVideoRaw(bytes));
            waitUntil(seen, 30);
        }
        EXPECT_TRUE(seen());
    }
    std::vector<camsim::VideoFrame> frames;
    std::vector<uint8_t> sequenceHeader;
};

TEST_F(Protocol2ScriptedTest, NothingBeforeTheFirstIntraPictureThenEverything) {
    // A stream that begins with predicted pictures, events and audio.
    ASSERT_TRUE(camera->sendVideoRaw(record(1, 0x0F, 0)));
    ASSERT_TRUE(camera->sendVideoRaw(camsim::audioRecord(ramp(), 0)));
    ASSERT_TRUE(camera->sendVideoRaw(record(2, 0x0F, 0)));
    ASSERT_TRUE(camera->sendVideoRaw(record(0)));
    ASSERT_TRUE(rendered.waitFor(1));
    EXPECT_EQ(surface->drawCount(), 1);
    EXPECT_EQ(motion.value(), 0);
    EXPECT_EQ(inputs.value(), 0);
    EXPECT_TRUE(audio->writtenBuffers().empty());
    expectPatternQuadrants(surface->snapshot());

    // Started: audio plays from byte 28 of its 668-byte record.
    ASSERT_TRUE(camera->sendVideoRaw(camsim::audioRecord(ramp(), 1)));
    ASSERT_TRUE(waitUntil([&] { return audio->writtenBuffers().size() == 1; }));
    EXPECT_EQ(audio->writtenBuffers()[0], ramp().pcm);
}

TEST_F(Protocol2ScriptedTest, MotionAndInputCallbacksFollowTheHeaderBytes) {
    ASSERT_TRUE(camera->sendVideoRaw(record(0)));
    ASSERT_TRUE(rendered.waitFor(1));
    sendUntil(record(1, 0x06, 3), motion, {1, 1, 0, 0}); // bits 1 and 2: regions 1 and 2 of three
    sendUntil(record(1, 0, 2), inputs, {1, 0});          // bit 0 clear: input 1
    sendUntil(record(1, 0, 1), inputs, {0, 1});          // bit 1 clear: input 2
    for (const auto& a : motion.args()) EXPECT_EQ(a, (std::vector<int32_t>{1, 1, 0, 0}));
}

TEST_F(Protocol2EndToEndTest, DroppedConnectionCallsNetworkLossOnce) {
    connect(loopbackCamera(2, 15));
    ASSERT_TRUE(rendered.waitFor(1));
    camera->stop();
    ASSERT_TRUE(networkLoss.waitFor(1));
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 1);
}

TEST_F(Protocol2EndToEndTest, DisconnectDoesNotCallNetworkLossAndTheObjectConnectsOnce) {
    connect(loopbackCamera(2, 15));
    ASSERT_TRUE(rendered.waitFor(2));
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 0);
    EXPECT_EQ(M_KConnect(handle), 0);
}

TEST_F(Protocol2EndToEndTest, StalledCameraEndsTheStreamAfterThreeSeconds) {
    connect(loopbackCamera(2, 15));
    ASSERT_TRUE(rendered.waitFor(1));
    camera->faults().stallVideo.store(true);
    ASSERT_TRUE(advanceUntilNetworkLoss());
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 1);
}

TEST_F(Protocol2EndToEndTest, SecondMediaConfigTearsTheFirstInstanceDown) {
    ASSERT_TRUE(startCamera(loopbackCamera(2, 15)));
    M_KSetStreamingType(handle, 2);
    MediaConfig first = config();
    ASSERT_EQ(M_KSetMediaConfig(handle, &first), 1);
    ASSERT_EQ(open(2, config()), 1);
    ASSERT_TRUE(rendered.waitFor(2));
}

// M_KConnect gives up on a camera that trickles its login answer; the
// disconnect then wakes the receive thread instead of waiting it out.
TEST_F(Protocol2EndToEndTest, DisconnectAfterAConnectThatGaveUpOnATricklingCameraIsQuick) {
    ASSERT_TRUE(startCamera(loopbackCamera(2, 15)));
    camera->faults().link.trickleMs = 200;
    EXPECT_EQ(openWhileAdvancing(2, config()), 0);
    const auto start = std::chrono::steady_clock::now();
    M_KDisconnect(handle);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(took, 3.0);
    RecordProperty("disconnect_ms", static_cast<int>(took * 1000 + 0.5));
    EXPECT_EQ(networkLoss.value(), 0);

    camera->faults().link.trickleMs = 0;
    EXPECT_EQ(M_KConnect(handle), 1);
    EXPECT_TRUE(rendered.waitFor(1));
}

} // namespace
