#include "platform/thread_name.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

TEST(ThreadNameTest, NamesTheCallingThreadOnlyAndCutsLongNames) {
    std::string shortName, longName;
    const std::string before = platform::thisThreadName();
    std::thread([&] {
        platform::nameThisThread("ostrel-receive");
        shortName = platform::thisThreadName();
        platform::nameThisThread("a-name-far-longer-than-the-system-keeps");
        longName = platform::thisThreadName();
    }).join();
    EXPECT_EQ(shortName, "ostrel-receive");
    EXPECT_EQ(longName, "a-name-far-long");
    EXPECT_EQ(platform::thisThreadName(), before);
}

} // namespace
