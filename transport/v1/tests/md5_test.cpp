#include "fenwa10/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace fenwa10 {
namespace {

// The test suite of RFC 1321, appendix A.5.
TEST(Md5Test, MatchesRfc1321Vectors) {
    EXPECT_EQ(Md5::hexDigest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5::hexDigest("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5::hexDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5::hexDigest("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5::hexDigest("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5::hexDigest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5::hexDigest("1234567890123456789012345678901234567890123456789012345678901234567890123456789"
                             "0"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Test, PiecewiseUpdatesMatchOneShot) {
    const std::string text = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
    for (std::size_t split : {1u, 55u, 56u, 63u, 64u, 65u}) {
        Md5 md5;
        md5.update(text.data(), split);
        md5.update(text.data() + split, text.size() - split);
        EXPECT_EQ(md5.finish(), Md5::digest(text)) << "split at " << split;
    }
}

} // namespace
} // namespace fenwa10
