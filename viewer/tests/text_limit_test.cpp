#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "widgets/utf8_limit.h"

namespace tavolin::ui {
namespace {

TEST(Utf8LimitTest, CutsOnlyBetweenCharacters) {
    EXPECT_EQ(cutToUtf8Bytes("abcdef", 4), "abcd");
    EXPECT_EQ(cutToUtf8Bytes("abc", 4), "abc");
    EXPECT_EQ(cutToUtf8Bytes("", 0), "");
    // "ä" takes two bytes: at three bytes the second one does not fit.
    EXPECT_EQ(cutToUtf8Bytes(QString::fromUtf8("\xC3\xA4\xC3\xA4"), 3), QString::fromUtf8("\xC3\xA4"));
    // A four-byte character (a surrogate pair) stays whole or goes whole.
    const QString clef = QString::fromUtf8("a\xF0\x9D\x84\x9E");
    EXPECT_EQ(cutToUtf8Bytes(clef, 4), "a");
    EXPECT_EQ(cutToUtf8Bytes(clef, 5), clef);
    // A lone surrogate is counted as three bytes, whatever it converts to.
    const QString lone = QString(QChar(0xD800)) + "b";
    EXPECT_EQ(cutToUtf8Bytes(lone, 3), QString(QChar(0xD800)));
    EXPECT_EQ(cutToUtf8Bytes(lone, 4), lone);
}

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
