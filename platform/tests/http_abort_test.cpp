// Aborts pulled while requests wait on a server that never answers.
#include "platform/http_post.h"
#include "platform/network_guard.h"
#include "platform/tcp_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Reply = std::future<platform::HttpPostResult>;

TEST(HttpAbortTest, EveryRequestWatchingAnAbortEndsAtOnceAndACancelEndsItsOwnAlone) {
    platform::enableLoopbackOnly();
    platform::TcpListener silent;
    ASSERT_TRUE(silent.listen("127.0.0.1", 0));
    const std::string url = "http://127.0.0.1:" + std::to_string(silent.port()) + "/onvif/events";
    platform::HttpAbort shared;
    platform::HttpAbort cancelFirst;
    const auto post = [&](const platform::HttpAbort* cancel) {
        return std::async(std::launch::async, [&, cancel] {
            platform::HttpPostRequest request;
            request.url = url;
            request.timeoutMs = 20000;
            request.abort = &shared;
            request.cancel = cancel;
            return platform::httpPost(request);
        });
    };
    Reply first = post(&cancelFirst);
    Reply others[] = {post(nullptr), post(nullptr)};
    std::vector<platform::TcpSocket> held;
    for (int i = 0; i < 3; ++i) held.push_back(silent.accept(5000));
    // Past libcurl's own early timers: only a wake-up ends a wait in time.
    std::this_thread::sleep_for(400ms);
    const auto endsAtOnce = [](Reply& r) { return r.wait_for(1000ms) == std::future_status::ready && r.get().aborted; };

    cancelFirst.abort();
    EXPECT_TRUE(endsAtOnce(first));
    for (Reply& r : others) EXPECT_EQ(r.wait_for(0ms), std::future_status::timeout);
    shared.abort();
    for (Reply& r : others) EXPECT_TRUE(endsAtOnce(r));
}

} // namespace
