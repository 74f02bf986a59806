#include "onvif/address.h"

#include <gtest/gtest.h>

namespace onvif {
namespace {

struct RewriteCase {
    const char* given;
    const char* expected; // nullptr: refused
};

class ReplaceHostTest : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(ReplaceHostTest, KeepsEverythingButTheHost) {
    const auto result = replaceHost(GetParam().given, "127.0.0.1");
    if (GetParam().expected == nullptr) {
        EXPECT_FALSE(result.has_value());
    } else {
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ReplaceHostTest,
    ::testing::Values(RewriteCase{"http://10.0.0.5/onvif/media", "http://127.0.0.1/onvif/media"},
                      RewriteCase{"http://10.0.0.5:8080/onvif/ptz?x=1", "http://127.0.0.1:8080/onvif/ptz?x=1"},
                      RewriteCase{"rtsp://192.168.1.64:554/Streaming/Channels/102?transportmode=unicast",
                                  "rtsp://127.0.0.1:554/Streaming/Channels/102?transportmode=unicast"},
                      RewriteCase{"rtsp://user:pw@cam.local:10554/live", "rtsp://user:pw@127.0.0.1:10554/live"},
                      RewriteCase{"http://[fe80::1]:80/onvif/device_service",
                                  "http://127.0.0.1:80/onvif/device_service"},
                      RewriteCase{"http://10.0.0.5", "http://127.0.0.1/"}, RewriteCase{"/onvif/media", nullptr},
                      RewriteCase{"http://:80/x", nullptr}, RewriteCase{"http://h:8o/x", nullptr},
                      RewriteCase{"", nullptr}));

} // namespace
} // namespace onvif
