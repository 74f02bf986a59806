#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "widgets/utf8_limit.h"

namespace tavolin::ui {
namespace {

TEST(Utf8LimitTest, TypingStopsAtTheLimitAndOverlongPastesAreRefused) {
    QLineEdit edit;
    limitUtf8Bytes(&edit, 5);
    QTest::keyClicks(&edit, "ab");
    edit.insert(QString::fromUtf8("\xC3\xA4"));
    edit.insert(QString::fromUtf8("\xC3\xA4"));
    EXPECT_EQ(edit.text(), QString::fromUtf8("ab\xC3\xA4"));
    EXPECT_LE(edit.text().toUtf8().size(), 5);
    QTest::keyClicks(&edit, "c");
    EXPECT_EQ(edit.text(), QString::fromUtf8("ab\xC3\xA4") + "c");
    QTest::keyClicks(&edit, "d");
    EXPECT_EQ(edit.text().toUtf8().size(), 5);

    edit.clear();
    edit.insert("0123456789");
    EXPECT_EQ(edit.text(), "");
}

} // namespace
} // namespace tavolin::ui
