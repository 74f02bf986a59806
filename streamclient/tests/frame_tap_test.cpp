// The frame tap (every record before it is decoded, then the end of the
// stream) and streams opened only to be recorded.
#include "ostrel_fixture.h"

namespace {

using namespace ostrel::test;

// What the tap was handed, in order; the end call as kind 0 and no bytes.
struct TapLog {
    std::mutex mutex;
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> calls;
    CallCounter count;

    static void take(void* user, int32_t kind, const uint8_t* record, int32_t length) {
        auto* self = static_cast<TapLog*>(user);
        {
            std::lock_guard lock(self->mutex);
            self->calls.emplace_back(kind, std::vector<uint8_t>(record, record + length));
        }
        self->count.hit();
    }
};

class FrameTapTest : public StreamClientTest {
protected:
    TapLog tap;
};

TEST_F(FrameTapTest, HandsOverEveryRecordBeforeDecodingThenTheEndOfTheStream) {
    configure(4);
    M_KSetFrameTapCallback(handle, &tap, TapLog::take);
    ASSERT_EQ(M_KConnect(handle), 1);
    // A picture no decoder may start at, audio, then a key picture.
    std::vector<uint8_t> key = frameRecord(3, {0x00, 0x00, 0x01, 0x65, 1, 2, 3});
    key[5] = 0x01;
    const std::vector<std::pair<int32_t, std::vector<uint8_t>>> records = {
        {3, frameRecord(3, {0x00, 0x00, 0x01, 0x41})}, {2, audioRecord(668)}, {3, key}, {0, {}}};
    for (std::size_t i = 0; i < 3; ++i) transport.push(records[i].second);
    ASSERT_TRUE(rendered.waitFor(1));
    transport.drop();
    ASSERT_TRUE(tap.count.waitFor(4));
    std::lock_guard lock(tap.mutex);
    EXPECT_EQ(tap.calls, records);
}

TEST_F(FrameTapTest, StreamOpenedToRecordDecodesNothingYetReportsEventsAndEndsWhenRecordsStop) {
    configure(2);
    M_KSetRecordOnly(handle, 1);
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
    EXPECT_TRUE(tap.count.waitFor(3));
}

// A tap that takes a while; it says whether a call is under way.
struct SlowTap {
    std::atomic<bool> inside{false};
    CallCounter entered;

    static void take(void* user, int32_t, const uint8_t*, int32_t) {
        auto* self = static_cast<SlowTap*>(user);
        self->inside.store(true);
        self->entered.hit();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        self->inside.store(false);
    }
};

TEST_F(FrameTapTest, ATapRemovedWhileItRunsIsDoneOnceTheSetterReturns) {
    configure(4);
    auto slow = std::make_unique<SlowTap>();
    M_KSetFrameTapCallback(handle, slow.get(), SlowTap::take);
    ASSERT_EQ(M_KConnect(handle), 1);
    transport.push(frameRecord(3, {0x00, 0x00, 0x01, 0x41}));
    ASSERT_TRUE(slow->entered.waitFor(1));
    M_KSetFrameTapCallback(handle, nullptr, nullptr);
    // Its user may go now: the call under way has ended.
    EXPECT_FALSE(slow->inside.load());
    slow.reset();
    transport.push(frameRecord(3, {0x00, 0x00, 0x01, 0x41}));
    transport.drop();
}

} // namespace
