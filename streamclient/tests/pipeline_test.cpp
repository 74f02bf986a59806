// The receive, render and event threads on the fake plug-ins.
#include "ostrel_fixture.h"

namespace {

using namespace ostrel::test;

class PipelineTest : public StreamClientTest {
protected:
    // Pushes a marker picture and waits until it was drawn, so everything
    // pushed before it has been handled.
    void settle() { pushUntilDrawn(frameRecord(1, predictedData(1, 1, 1))); }
};

TEST_F(PipelineTest, NothingIsDrawnOrPlayedBeforeTheFirstIntraPicture) {
    configure();
    M_KSetMute(handle, 1);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, predictedData(5, 5, 5)));
    transport.push(audioRecord(564));
    transport.push(frameRecord(1, predictedData(6, 6, 6)));
    ASSERT_TRUE(transport.waitDrained(10000));
    transport.push(frameRecord(1, intraData(64, 48, 10, 20, 30)));
    ASSERT_TRUE(rendered.waitFor(1));
    EXPECT_EQ(decoder.decodes(), 1); // predicted pictures were never decoded
    EXPECT_EQ(audio->writtenBuffers().size(), 0u);
    EXPECT_EQ(surface->drawCount(), 1);
}

TEST_F(PipelineTest, PictureIsStretchedIntoTheRenderRectangleWithTheStreamSize) {
    startStream(64, 48);
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.width, 64);
    EXPECT_EQ(snap.height, 48);
    EXPECT_EQ(snap.bitCount, 32);
    EXPECT_EQ(snap.dest.left, 10);
    EXPECT_EQ(snap.dest.top, 20);
    EXPECT_EQ(snap.dest.width, 300);
    EXPECT_EQ(snap.dest.height, 200);
    ASSERT_EQ(snap.pixels.size(), 64u * 48u * 4u);
    EXPECT_EQ(snap.pixels[0], 10);
    EXPECT_EQ(snap.pixels[1], 20);
    EXPECT_EQ(snap.pixels[2], 30);
    EXPECT_EQ(snap.presentCount, 1);
    EXPECT_EQ(decoder.lastWidth(), 64);
    EXPECT_EQ(decoder.lastHeight(), 48);
}

// A wall cell's pictures are no larger than the cell, nor than the camera's
// own; a cell that changes size gets pictures of its new size from the next
// one on.
TEST_F(PipelineTest, AskedToFitTheDecoderMakesPicturesNoLargerThanTheRectangle) {
    configure();
    RenderInfo info{};
    info.flags = OSTREL_RENDER_FIT_PICTURES;
    info.window = window;
    info.width = 300;
    info.height = 200;
    M_KSetRenderInfo(handle, &info);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, intraData(640, 480, 10, 20, 30)));
    ASSERT_TRUE(rendered.waitFor(1));
    const struct {
        int boxWidth, boxHeight, width, height;
    } boxes[] = {{300, 200, 266, 200}, {600, 450, 600, 450}, {1920, 1080, 640, 480}, {160, 400, 160, 120}};
    for (const auto& box : boxes) {
        info.width = box.boxWidth;
        info.height = box.boxHeight;
        M_KSetRenderInfo(handle, &info);
        // A picture pushed for the last size may still be on its way.
        for (int i = 0; i < 10 && surface->snapshot().width != box.width; ++i)
            pushUntilDrawn(frameRecord(1, predictedData(40, 50, 60)));
        const auto snap = surface->snapshot();
        EXPECT_EQ(snap.width, box.width) << box.boxWidth << "x" << box.boxHeight;
        EXPECT_EQ(snap.height, box.height);
        EXPECT_EQ(snap.pixels.size(), static_cast<std::size_t>(box.width) * box.height * 4u);
    }
    // Whatever the window shows, the stream's own size is the camera's.
    int32_t size[2] = {};
    EXPECT_EQ(M_KGetStreamSize(handle, &size[0], &size[1]), 1);
    EXPECT_EQ(std::vector<int32_t>(size, size + 2), (std::vector<int32_t>{640, 480}));
}

TEST_F(PipelineTest, LaterPicturesKeepTheFirstSize) {
    startStream(64, 48);
    RenderInfo info{};
    info.window = window;
    info.width = 32;
    info.height = 24;
    M_KSetRenderInfo(handle, &info); // not asked to fit: the stream's size stays
    pushUntilDrawn(frameRecord(1, predictedData(40, 50, 60)));
    EXPECT_EQ(decoder.lastWidth(), 64);
    EXPECT_EQ(surface->snapshot().width, 64);
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.pixels[0], 40);
    EXPECT_EQ(snap.pixels[2], 60);
}

TEST_F(PipelineTest, OverlayTextIsBlueOnGreyAfterThePicture) {
    M_KSetTextout(handle, 1, 5, 7, "Cam 1");
    startStream();
    const auto snap = surface->snapshot();
    ASSERT_EQ(snap.texts.size(), 1u);
    EXPECT_EQ(snap.texts[0].text, u"Cam 1");
    EXPECT_EQ(snap.texts[0].box.left, 5);
    EXPECT_EQ(snap.texts[0].box.top, 7);
    EXPECT_EQ(snap.texts[0].box.width, 70); // 14 per character
    EXPECT_EQ(snap.texts[0].box.height, 14);
    EXPECT_EQ(snap.texts[0].textColor, (platform::SurfaceColor{0, 0, 255}));
    EXPECT_EQ(snap.texts[0].background, (platform::SurfaceColor{128, 128, 128}));
}

TEST_F(PipelineTest, DisabledOverlayDrawsNoText) {
    M_KSetTextout(handle, 0, 5, 7, "Cam 1");
    startStream();
    EXPECT_TRUE(surface->snapshot().texts.empty());
}

TEST_F(PipelineTest, WithoutAWindowNothingIsDrawnButTheLoopRuns) {
    configure(2, 0);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, intraData(64, 48, 1, 2, 3)));
    transport.push(frameRecord(1, predictedData(1, 2, 3)));
    ASSERT_TRUE(rendered.waitFor(1));
    EXPECT_EQ(surface->drawCount(), 0);
}

TEST_F(PipelineTest, UnknownWindowHandleDrawsNothing) {
    configure(2, 0x7FFF0001u);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, intraData(64, 48, 1, 2, 3)));
    ASSERT_TRUE(rendered.waitFor(1));
    EXPECT_EQ(surface->drawCount(), 0);
}

TEST_F(PipelineTest, PictureLargerThanTheBufferIsRefused) {
    decoder.claimImageSize(static_cast<uint32_t>(ostrel::kPictureBufferSize + 1));
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, intraData(64, 48, 1, 2, 3)));
    transport.push(frameRecord(1, intraData(64, 48, 1, 2, 3)));
    ASSERT_TRUE(transport.waitDrained(10000));
    ASSERT_TRUE(waitUntil([this] { return decoder.decodes() == 2; }));
    decoder.claimImageSize(0);
    transport.push(frameRecord(1, intraData(64, 48, 7, 8, 9)));
    ASSERT_TRUE(rendered.waitFor(1));
    EXPECT_EQ(rendered.value(), 1);
    EXPECT_EQ(surface->snapshot().pixels[0], 7);
}

class EventTest : public PipelineTest {
protected:
    CallCounter motion;
    CallCounter inputs;
    void SetUp() override {
        PipelineTest::SetUp();
        M_KSetDICallback(handle, &inputs, countDi);
    }
    // Pushes frames with these header bytes until the callback was called
    // with the expected arguments: a header that arrives while the previous
    // one is handled is dropped.
    void pushHeadersUntil(uint8_t motionByte, uint8_t inputByte, CallCounter& counter,
                          const std::vector<int32_t>& expected) {
        const std::size_t from = counter.args().size();
        auto seen = [&] {
            const auto args = counter.args();
            for (std::size_t i = from; i < args.size(); ++i) {
                if (args[i] == expected) return true;
            }
            return false;
        };
        for (int attempt = 0; attempt < 500; ++attempt) {
            transport.push(frameRecord(1, predictedData(2, 2, 2), motionByte, inputByte));
            if (waitUntil(seen, 20)) return;
        }
        ADD_FAILURE() << "no callback with the expected arguments";
    }
};

TEST_F(EventTest, ThreeRegionMotionUsesBitsOneToThree) {
    M_KSetMotionDetectionCallback(handle, &motion, countMotion, 0);
    startStream();
    pushHeadersUntil(0x0B, 3, motion, {1, 0, 1, 0}); // bits 0, 1, 3: regions from bit 1
    for (const auto& args : motion.args()) EXPECT_EQ(args, (std::vector<int32_t>{1, 0, 1, 0}));
    EXPECT_EQ(inputs.value(), 0); // 3: both inputs idle
}

TEST_F(EventTest, FourRegionMotionUsesBitsZeroToThree) {
    M_KSetMotionDetectionCallback(handle, &motion, countMotion, 1);
    startStream();
    pushHeadersUntil(0x0B, 3, motion, {1, 1, 0, 1});
    for (const auto& args : motion.args()) EXPECT_EQ(args, (std::vector<int32_t>{1, 1, 0, 1}));
}

TEST_F(EventTest, DigitalInputsAreActiveLow) {
    M_KSetMotionDetectionCallback(handle, &motion, countMotion, 0);
    startStream();
    pushHeadersUntil(0, 2, inputs, {1, 0}); // bit 0 clear: input 1 active
    pushHeadersUntil(0, 1, inputs, {0, 1}); // bit 1 clear: input 2 active
    pushHeadersUntil(0, 0, inputs, {1, 1}); // both active
    EXPECT_EQ(motion.value(), 0);
}

TEST_F(EventTest, UpperInputBitsAloneStillCallWithBothInputsClear) {
    startStream();
    pushHeadersUntil(0, 0x07, inputs, {0, 0}); // bit 2 set: v = 4
}

TEST_F(EventTest, NoEventsBeforeTheStreamStarted) {
    M_KSetMotionDetectionCallback(handle, &motion, countMotion, 1);
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, predictedData(2, 2, 2), 0x0F, 0));
    transport.push(frameRecord(1, intraData(64, 48, 1, 2, 3), 0x0F, 0)); // the first picture's header is not used
    ASSERT_TRUE(rendered.waitFor(1));
    settle();
    EXPECT_EQ(motion.value(), 0);
    EXPECT_EQ(inputs.value(), 0);
}

class AudioTest : public PipelineTest {
protected:
    static std::vector<uint8_t> expected(std::size_t from, std::size_t to) {
        std::vector<uint8_t> v;
        for (std::size_t i = from; i < to; ++i) v.push_back(static_cast<uint8_t>(i & 0xFF));
        return v;
    }
};

TEST_F(AudioTest, PayloadOffsetFollowsTheRecordLength) {
    M_KSetMute(handle, 1);
    startStream();
    for (std::size_t length : {484u, 564u, 668u, 548u, 652u, 600u, 44u}) transport.push(audioRecord(length));
    settle();
    const auto writes = audio->writtenBuffers();
    ASSERT_EQ(writes.size(), 5u); // 600 and 44 are not audio lengths
    EXPECT_EQ(writes[0], expected(28, 484));
    EXPECT_EQ(writes[1], expected(28, 564));
    EXPECT_EQ(writes[1].size(), 536u);
    EXPECT_EQ(writes[2], expected(28, 668));
    EXPECT_EQ(writes[3], expected(12, 548));
    EXPECT_EQ(writes[3].size(), 536u);
    EXPECT_EQ(writes[4], expected(12, 652));
}

TEST_F(AudioTest, MutedAudioIsDropped) {
    startStream();
    transport.push(audioRecord(564));
    settle();
    M_KSetMute(handle, 1);
    transport.push(audioRecord(548));
    settle();
    M_KSetMute(handle, 0);
    transport.push(audioRecord(564));
    settle();
    const auto writes = audio->writtenBuffers();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], expected(12, 548));
}

TEST_F(AudioTest, PlayerClosesWithTheStream) {
    startStream();
    M_KDisconnect(handle);
    const auto events = audio->outputEventKinds();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), platform::FakeAudioEvent::Kind::Open);
    EXPECT_EQ(events.back(), platform::FakeAudioEvent::Kind::Close);
}

class LossTest : public PipelineTest {};

TEST_F(LossTest, DroppedConnectionCallsNetworkLossOnce) {
    startStream();
    transport.drop();
    ASSERT_TRUE(networkLoss.waitFor(1));
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 1);
    // The fake transport tells nothing itself.
    char reason[128];
    EXPECT_GT(M_KGetLastReason(handle, reason, sizeof reason), 0);
    EXPECT_STREQ(reason, "Ostrel-M: the connection to the camera was lost");
}

TEST_F(LossTest, DisconnectDoesNotCallNetworkLoss) {
    startStream();
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 0);
}

TEST_F(LossTest, StalledCameraEndsTheStreamAfterThreeSeconds) {
    startStream();
    ASSERT_TRUE(clock.awaitWaiters(1));
    clock.advanceMs(2999);
    // Not yet: the stream still runs (a frame still arrives and is drawn).
    settle();
    EXPECT_EQ(networkLoss.value(), 0);
    // The camera now stays silent while time goes on.
    ASSERT_TRUE(advanceUntilNetworkLoss());
    // The receive thread reports the loss as soon as Disconnect wakes it, which
    // may be before the render thread's StopStreaming is logged.
    EXPECT_TRUE(
        waitUntil([this] { return transport.calls().find("Disconnect,StopStreaming") != std::string::npos; }, 2000))
        << transport.calls();
    M_KDisconnect(handle);
    EXPECT_EQ(networkLoss.value(), 1);
}

TEST_F(LossTest, StreamWithoutDecoderEndsAfterThreeSeconds) {
    seams.decoderNames = {"NoSuchDecoder-M", "NoSuchDecoder-M"};
    reopen();
    configure();
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, intraData(64, 48, 1, 2, 3)));
    ASSERT_TRUE(transport.waitDrained(10000));
    EXPECT_TRUE(advanceUntilNetworkLoss());
    EXPECT_EQ(rendered.value(), 0);
}

} // namespace
