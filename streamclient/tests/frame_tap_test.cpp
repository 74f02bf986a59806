// The frame tap (every record before it is decoded, then the end of the
// stream) and streams opened only to be recorded.
#include "ostrel_fixture.h"

namespace {

using namespace ostrel::test;

// What the tap was handed, in order; an empty record is the end call.
struct TapLog {
    std::mutex mutex;
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> calls;
    CallCounter count;

    static void take(void* user, int32_t kind, const uint8_t* record, int32_t length) {
        auto* self = static_cast<TapLog*>(user);
        {
            std::lock_guard lock(self->mutex);
            self->calls.emplace_back(kind, record == nullptr ? std::vector<uint8_t>{}
                                                             : std::vector<uint8_t>(record, record + length));
        }
        self->count.hit();
    }
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> all() {
        std::lock_guard lock(mutex);
        return calls;
    }
};

std::vector<uint8_t> codecRecord(bool randomAccess) {
    std::vector<uint8_t> record = frameRecord(3, {0x00, 0x00, 0x01, 0x65, 1, 2, 3});
    record[5] = randomAccess ? 0x01 : 0x00;
    return record;
}

class FrameTapTest : public StreamClientTest {
protected:
    TapLog tap;
};

TEST_F(FrameTapTest, HandsOverEveryRecordBeforeDecodingThenTheEndOfTheStream) {
    configure(4);
    M_KSetFrameTapCallback(handle, &tap, TapLog::take);
    ASSERT_EQ(M_KConnect(handle), 1);
    // A picture no decoder may start at, audio, then a key picture.
    const std::vector<std::vector<uint8_t>> records = {codecRecord(false), audioRecord(668), codecRecord(true)};
    for (const auto& r : records) transport.push(r);
    ASSERT_TRUE(rendered.waitFor(1));
    transport.drop();
    ASSERT_TRUE(tap.count.waitFor(4));

    const auto calls = tap.all();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0], std::make_pair(3, records[0]));
    EXPECT_EQ(calls[1], std::make_pair(2, records[1]));
    EXPECT_EQ(calls[2], std::make_pair(3, records[2]));
    EXPECT_EQ(calls[3], std::make_pair(0, std::vector<uint8_t>{}));
}

TEST_F(FrameTapTest, StreamOpenedToRecordDecodesNothingYetReportsEventsAndEndsWhenRecordsStop) {
    configure(2);
    RenderInfo info{};
    info.flags = OSTREL_RENDER_NO_DECODE;
    info.window = window;
    M_KSetRenderInfo(handle, &info);
    CallCounter motion;
    M_KSetMotionDetectionCallback(handle, &motion, countMotion, 1);
    M_KSetFrameTapCallback(handle, &tap, TapLog::take);
    M_KSetMute(handle, 1);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(1, intraData(64, 48, 10, 20, 30), 0x01));
    transport.push(audioRecord(564));
    ASSERT_TRUE(tap.count.waitFor(2));
    ASSERT_TRUE(motion.waitFor(1));
    EXPECT_EQ(decoder.inits(), 0);
    EXPECT_EQ(rendered.value(), 0);
    EXPECT_EQ(audio->writtenBuffers().size(), 0u);

    // Three seconds without a picture end it like a lost camera.
    EXPECT_TRUE(advanceUntilNetworkLoss());
    ASSERT_TRUE(tap.count.waitFor(3));
    EXPECT_EQ(tap.all().back().first, 0);
}

} // namespace
