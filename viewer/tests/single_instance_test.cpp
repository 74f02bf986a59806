#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <atomic>
#include <thread>

#include "app/single_instance.h"

namespace tavolin::ui {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    // A name of this test's own, so a running viewer is never disturbed.
    QString name = QStringLiteral("tavolin-test-") + QUuid::createUuid().toString(QUuid::Id128);
};

TEST_F(SingleInstanceTest, ASecondStartRaisesTheFirstAndEnds) {
    SingleInstance first(name);
    int raised = 0;
    first.setRaiseHandler([&] { ++raised; });
    ASSERT_TRUE(first.claim(1, 0));
    EXPECT_TRUE(first.isFirst());

    // The second start runs apart from the first's event loop, as another
    // process would.
    std::atomic<int> outcome{-1};
    std::thread second([&] {
        SingleInstance other(name);
        outcome = other.claim(40, 250) ? 1 : 0;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.load() != -1; }, 10000));
    second.join();
    EXPECT_EQ(outcome.load(), 0);
    EXPECT_EQ(raised, 1);
}

TEST_F(SingleInstanceTest, AStartAfterTheFirstEndedIsFirstAgain) {
    {
        SingleInstance first(name);
        ASSERT_TRUE(first.claim(1, 0));
    }
    SingleInstance next(name);
    EXPECT_TRUE(next.claim(1, 0));
}

TEST_F(SingleInstanceTest, AnInstanceThatDoesNotAnswerIsTriedThenLeftAlone) {
    // Someone holds the lock but nobody listens: the later start gives up
    // after its tries instead of waiting for ever or taking over.
    SingleInstance later(name);
    QLockFile held(later.lockPath());
    ASSERT_TRUE(held.tryLock(0));
    EXPECT_FALSE(later.claim(3, 10));
    EXPECT_FALSE(later.isFirst());
}

TEST_F(SingleInstanceTest, NamesLeftInTheSharedTempFolderDoNotKeepItFromStarting) {
    // What another user could leave behind, under the names of old.
    QLockFile squatted(QDir::temp().filePath(name + QStringLiteral(".lock")));
    ASSERT_TRUE(squatted.tryLock(0));
    SingleInstance first(name);
    EXPECT_TRUE(first.claim(1, 0));
    EXPECT_FALSE(first.lockPath().startsWith(QDir::tempPath() + QLatin1Char('/')));
}

TEST_F(SingleInstanceTest, AFolderOthersMayWriteIsNotUsed) {
    QTemporaryDir shared;
    ASSERT_TRUE(QFile::setPermissions(shared.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    SingleInstance open(name, shared.path());
    // It starts, unguarded, leaving nothing in the open folder.
    EXPECT_TRUE(open.claim(1, 0));
    EXPECT_FALSE(QFile::exists(open.lockPath()));
}

} // namespace
} // namespace tavolin::ui
