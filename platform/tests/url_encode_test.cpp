#include "platform/url_encode.h"

#include <gtest/gtest.h>

namespace {

TEST(PercentEncodeQueryValue, PlainNamesStayByteForByteTheSame) {
    EXPECT_EQ(platform::percentEncodeQueryValue("admin"), "admin");
    EXPECT_EQ(platform::percentEncodeQueryValue("Op_2.x-y~z"), "Op_2.x-y~z");
    EXPECT_EQ(platform::percentEncodeQueryValue(""), "");
}

TEST(PercentEncodeQueryValue, SeparatorsAndBlanksCannotLeakIntoTheQuery) {
    // Worked by hand from the ASCII table: & 26, # 23, blank 20, = 3D, + 2B, % 25.
    EXPECT_EQ(platform::percentEncodeQueryValue("a&b#c d"), "a%26b%23c%20d");
    EXPECT_EQ(platform::percentEncodeQueryValue("x=1+2%"), "x%3D1%2B2%25");
}

TEST(PercentEncodeQueryValue, HighBytesUseTwoUpperCaseHexDigits) {
    EXPECT_EQ(platform::percentEncodeQueryValue("\xE9\xFF"), "%E9%FF");
    EXPECT_EQ(platform::percentEncodeQueryValue(std::string_view("\x01", 1)), "%01");
}

} // namespace
