// Streaming types 4 and 5 on the fake plug-ins: H.264, H.265 and JPEG
// records, which start at a random-access record and fail their connect at
// once.
#include "ostrel_fixture.h"

#include <future>

namespace {

using namespace ostrel::test;

// A codec record: kind 3 to 5, random access or not, ending in the colour
// the fake decoder paints (blue, green, red).
std::vector<uint8_t> codecRecord(uint8_t kind, bool randomAccess, uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> record = frameRecord(kind, {0x00, 0x00, 0x01, 0x65, b, g, r});
    record[5] = randomAccess ? 0x01 : 0x00;
    return record;
}

class CodecStreamTest : public StreamClientTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(CodecStreamTest, JoinInMidGroupShowsNothingBeforeTheFirstRandomAccessRecord) {
    const uint8_t kind = GetParam();
    configure(4);
    M_KSetMute(handle, 1);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(codecRecord(kind, false, 1, 1, 1));
    transport.push(audioRecord(668));
    transport.push(codecRecord(kind, false, 2, 2, 2));
    ASSERT_TRUE(transport.waitDrained(10000));
    EXPECT_EQ(decoder.inits(), 0); // not even a decoder before the key picture
    EXPECT_EQ(decoder.decodes(), 0);
    EXPECT_EQ(audio->writtenBuffers().size(), 0u);

    transport.push(codecRecord(kind, true, 10, 20, 30));
    ASSERT_TRUE(rendered.waitFor(1));
    EXPECT_EQ(decoder.lastCodec(), kind);
    // The decoder is given the render rectangle as the box to fit into.
    EXPECT_EQ(decoder.lastWidth(), 300);
    EXPECT_EQ(decoder.lastHeight(), 200);
    const auto snap = surface->snapshot();
    EXPECT_EQ(snap.width, 300);
    EXPECT_EQ(snap.height, 200);
    ASSERT_FALSE(snap.pixels.empty());
    EXPECT_EQ(snap.pixels[0], 10);
    EXPECT_EQ(snap.pixels[2], 30);

    // Later records decode whether or not they are key pictures.
    pushUntilDrawn(codecRecord(kind, false, 40, 50, 60));
    EXPECT_EQ(surface->snapshot().pixels[0], 40);
    EXPECT_EQ(decoder.inits(), 1);

    // A new rectangle while streaming: later pictures fit it, smaller or
    // larger than the first one.
    for (const auto& [width, height] : {std::pair{120, 80}, std::pair{1920, 1080}}) {
        RenderInfo box{};
        box.window = window;
        box.width = width;
        box.height = height;
        M_KSetRenderInfo(handle, &box);
        pushUntilDrawn(codecRecord(kind, false, 70, 80, 90));
        EXPECT_EQ(decoder.lastWidth(), width);
        const auto resized = surface->snapshot();
        EXPECT_EQ(resized.width, width);
        EXPECT_EQ(resized.height, height);
        ASSERT_FALSE(resized.pixels.empty());
        EXPECT_EQ(resized.pixels[0], 70);
    }
}

INSTANTIATE_TEST_SUITE_P(H264H265Jpeg, CodecStreamTest, ::testing::Values(3, 4, 5));

class CodecConnectTest : public StreamClientTest {};

TEST_F(CodecConnectTest, FailedConnectReturnsAtOnceWithoutWaitingOutTheConnectTime) {
    configure(4);
    transport.setResults(0, 1);
    // The manual clock never moves: only a connect that does not wait for it
    // can return.
    auto result = std::async(std::launch::async, [this] { return M_KConnect(handle); });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(result.get(), 0);
}

// The receive thread draws a codec stream's pictures; the stream still ends
// as a network loss three seconds after its last picture, and waits longer
// for its first key picture, which a camera may send only every few seconds.
TEST_F(CodecConnectTest, StreamEndsThreeSecondsAfterItsLastPictureAndWaitsLongerForTheFirst) {
    configure(4);
    M_KSetMute(handle, 1);
    ASSERT_EQ(M_KConnect(handle), 1);
    ASSERT_TRUE(clock.awaitWaiters(1));
    clock.advanceMs(ostrel::kFirstCodecPictureTimeoutMs - 1);
    ASSERT_TRUE(clock.awaitWaiters(1));
    EXPECT_FALSE(networkLoss.waitFor(1, 200));

    transport.push(codecRecord(3, true, 1, 2, 3));
    ASSERT_TRUE(rendered.waitFor(1));
    // The first picture's time-out has passed, but not three seconds since
    // the picture.
    clock.advanceMs(ostrel::kPictureTimeoutMs - 1);
    ASSERT_TRUE(clock.awaitWaiters(1));
    EXPECT_FALSE(networkLoss.waitFor(1, 200));

    clock.advanceMs(1);
    EXPECT_TRUE(networkLoss.waitFor(1));
}

} // namespace
