#include "platform/diagnostics.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

class DiagnosticsTest : public ::testing::Test {
protected:
    void TearDown() override { platform::setDiagnosticSink({}); }
};

TEST_F(DiagnosticsTest, LinesReachTheSinkInOrderOnlyWhileItIsSet) {
    std::vector<std::string> lines;
    platform::setDiagnosticSink([&](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(platform::diagnosticsOn());
    platform::diagnose("first");
    platform::diagnose("second");
    platform::setDiagnosticSink({});
    platform::diagnose("after");
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second"}));
}

TEST_F(DiagnosticsTest, SettingASinkHandsBackThePreviousOne) {
    int calls = 0;
    platform::setDiagnosticSink([&](const std::string&) { ++calls; });
    platform::DiagnosticSink previous = platform::setDiagnosticSink([](const std::string&) {});
    ASSERT_TRUE(previous);
    previous("x");
    EXPECT_EQ(calls, 1);
}

TEST_F(DiagnosticsTest, ASinkThatThrowsDoesNotTurnIntoAFailure) {
    platform::setDiagnosticSink([](const std::string&) { throw std::runtime_error("sink broke"); });
    EXPECT_NO_THROW(platform::diagnose("line"));
}

TEST(SystemErrorTextTest, CommonSocketErrorsReadPlainly) {
    EXPECT_EQ(platform::describeSystemError(ECONNREFUSED), "connection refused");
    EXPECT_EQ(platform::describeSystemError(ETIMEDOUT), "timed out");
    EXPECT_FALSE(platform::describeSystemError(ENOENT).empty());
    EXPECT_EQ(platform::describeSystemError(0), "no error reported");
}

} // namespace
