#include "platform/diagnostics.h"
#include "platform/event.h"
#include "platform/thread_name.h"
#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
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

TEST_F(DiagnosticsTest, LinesAreMadePrintableBeforeTheSinkGetsThem) {
    std::vector<std::string> lines;
    platform::setDiagnosticSink([&](const std::string& line) { lines.push_back(line); });
    platform::diagnose("camera \x1B]0;title\x07said\r\nno");
    EXPECT_EQ(lines, (std::vector<std::string>{"camera ]0;titlesaid  no"}));
}

// Each thread keeps what it tells in its own scope's slot, whether or not
// anyone prints diagnostics; an inner scope hides the outer one until it ends.
TEST_F(DiagnosticsTest, EachThreadKeepsItsOwnReasonEvenWhileSilent) {
    platform::ReasonSlot first;
    platform::ReasonSlot second;
    platform::ReasonSlot inner;
    std::thread other([&] {
        platform::ReasonScope scope(&second);
        platform::diagnose("second: refused");
    });
    {
        platform::ReasonScope scope(&first);
        EXPECT_TRUE(platform::diagnosticsOn());
        platform::diagnose("first: timed out");
        {
            platform::ReasonScope nested(&inner);
            platform::diagnose("inner: bad answer");
        }
        platform::diagnose("first: gave up");
    }
    other.join();
    platform::diagnose("told outside every scope");
    EXPECT_EQ(first.last(), "first: gave up");
    EXPECT_EQ(first.count(), 2u);
    EXPECT_EQ(second.last(), "second: refused");
    EXPECT_EQ(inner.last(), "inner: bad answer");
}

// A worker keeps telling for the work that started it, whatever its starter
// goes on to do; one started outside every scope keeps nothing anywhere.
TEST_F(DiagnosticsTest, WorkerThreadKeepsItsLinesInItsStartersSlot) {
    platform::ReasonSlot started;
    platform::ReasonSlot later;
    platform::ManualResetEvent go;
    std::thread worker;
    {
        platform::ReasonScope scope(&started);
        worker = platform::startWorkerThread("test-worker", [&go] {
            go.wait(-1);
            platform::diagnose("worker: refused by " + platform::thisThreadName());
        });
    }
    std::thread unscoped = platform::startWorkerThread("test-unscoped", [] { platform::diagnose("nobody's"); });
    {
        platform::ReasonScope scope(&later);
        go.set();
        worker.join();
        unscoped.join();
    }
    EXPECT_EQ(started.last(), "worker: refused by test-worker");
    EXPECT_EQ(later.count(), 0u);
}

TEST_F(DiagnosticsTest, AnOverlongReasonIsCutAtACharactersEnd) {
    platform::ReasonSlot slot;
    // 1023 bytes, then a two-byte character that would end past the limit.
    slot.keep(std::string(platform::ReasonSlot::kMaxBytes - 1, 'x') + "\xC3\xA9tail");
    EXPECT_EQ(slot.last(), std::string(platform::ReasonSlot::kMaxBytes - 1, 'x'));
}

TEST(SystemErrorTextTest, CommonSocketErrorsReadPlainly) {
    EXPECT_EQ(platform::describeSystemError(ECONNREFUSED), "connection refused");
    EXPECT_EQ(platform::describeSystemError(ETIMEDOUT), "timed out");
    EXPECT_FALSE(platform::describeSystemError(ENOENT).empty());
    EXPECT_EQ(platform::describeSystemError(0), "no error reported");
}

} // namespace
