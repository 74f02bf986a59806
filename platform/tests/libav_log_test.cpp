// Watches on libav's log: each sees the watched messages of its own context
// only, none is left half-registered when every slot is taken, and a watch
// leaves safely while other threads keep logging.
#include "platform/libav_log.h"

extern "C" {
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct FakeContext {
    const AVClass* component;
};

const AVClass* component() {
    static const AVClass c = [] {
        AVClass made{};
        made.class_name = "test";
        made.item_name = av_default_item_name;
        made.version = LIBAVUTIL_VERSION_INT;
        return made;
    }();
    return &c;
}

const std::vector<std::string> kWatched = {"line='%s'\n"};

TEST(LibavLogWatchTest, SeesTheWatchedMessagesOfItsOwnContextOnly) {
    FakeContext mine{component()};
    FakeContext other{component()};
    std::vector<std::string> seen;
    platform::LibavLogWatch watch(&mine, kWatched, [&](int, std::string_view m) { seen.emplace_back(m); });
    ASSERT_TRUE(watch.confirm());
    av_log(&mine, AV_LOG_TRACE, "line='%s'\n", "RTSP/1.0 200 OK");
    av_log(&other, AV_LOG_TRACE, "line='%s'\n", "not mine");
    av_log(&mine, AV_LOG_TRACE, "id=%d len=%d\n", 0, 1400); // a format not watched
    EXPECT_EQ(seen, std::vector<std::string>{"line='RTSP/1.0 200 OK'"});
}

TEST(LibavLogWatchTest, WatchBeyondTheLastSlotSaysItSeesNothing) {
    std::vector<FakeContext> contexts(65, FakeContext{component()});
    std::vector<std::unique_ptr<platform::LibavLogWatch>> watches;
    for (auto& c : contexts)
        watches.push_back(std::make_unique<platform::LibavLogWatch>(&c, kWatched, [](int, auto) {}));
    EXPECT_TRUE(watches.front()->confirm());
    EXPECT_FALSE(watches.back()->confirm());
    watches.erase(watches.begin()); // a slot comes free
    platform::LibavLogWatch again(&contexts.front(), kWatched, [](int, auto) {});
    EXPECT_TRUE(again.confirm());
}

TEST(LibavLogWatchTest, WatchesComeAndGoWhileOtherThreadsLog) {
    FakeContext logged{component()};
    std::atomic<int> seen{0};
    platform::LibavLogWatch staying(&logged, kWatched, [&](int, auto) { seen.fetch_add(1); });
    ASSERT_TRUE(staying.confirm());
    std::atomic<bool> stop{false};
    std::thread logger([&] {
        while (!stop.load()) av_log(&logged, AV_LOG_TRACE, "line='%s'\n", "x");
    });
    // Until the logger has been seen a while (bounded, should it never be).
    for (int i = 0; i < 200 || (seen.load() < 100 && i < 1000000); ++i) {
        FakeContext passing{component()};
        platform::LibavLogWatch brief(&passing, kWatched, [](int, auto) {});
    }
    stop.store(true);
    logger.join();
    EXPECT_GT(seen.load(), 0);
}

} // namespace
