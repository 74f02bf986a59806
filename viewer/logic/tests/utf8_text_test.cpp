#include "form/utf8_text.h"

#include <gtest/gtest.h>

namespace tavolin::ui {
namespace {

TEST(Utf8TextTest, CutsOnlyBetweenCharacters) {
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

} // namespace
} // namespace tavolin::ui
