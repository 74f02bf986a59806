// Protocol version 1 specifics of the exports; what every plug-in shares is
// in transport/tests/conformance_test.cpp.
#include "plugin_fixture.h"

namespace fenwa10::test {
namespace {

TEST(UnconnectedInstanceTest, MotionInfoIsNotReadBeforeTheCameraSentIt) {
    void* h = M_XInit();
    ASSERT_NE(h, nullptr);
    MotionInfo m{};
    m.regionCount = 3;
    EXPECT_EQ(M_XGetMotionInfo(h, &m), 0);
    EXPECT_EQ(m.regionCount, 3);
    M_XExit(h);
}

} // namespace
} // namespace fenwa10::test
