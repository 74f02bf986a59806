#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "reader.h"
#include "text_util.h"

namespace {

using Lines = std::vector<std::string>;

Lines readAsFile(std::string text) {
    Lines lines;
    std::FILE* f = fmemopen(text.data(), text.size(), "r");
    if (f == nullptr) return lines;
    tiltra::readProtocolStream(f, lines);
    std::fclose(f);
    return lines;
}

Lines readAsBuiltin(const std::string& text) {
    Lines lines;
    tiltra::readProtocolText(text, lines);
    return lines;
}

TEST(FileReading, BlanksAndCommentAroundCommandAreRemoved) {
    const Lines lines = readAsFile("  PANLEFT;1;0;0xFF,0x01,0x00,0x04,0x20,0x00,0x25   # left slowly\n");
    EXPECT_EQ(lines, Lines{"PANLEFT;1;0;0xFF,0x01,0x00,0x04,0x20,0x00,0x25"});
}

TEST(FileReading, CommentAndBlankLinesAreNotKept) {
    const Lines lines = readAsFile("# header\n   \n\t\nZOOMIN;1;0;0x01#,0x02\n\nA\n");
    EXPECT_EQ(lines, (Lines{"ZOOMIN;1;0;0x01", "A"}));
}

TEST(FileReading, LongLineArrivesInPiecesOf127) {
    const std::string longLine(200, 'x');
    const Lines lines = readAsFile(longLine + "\nNEXT\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 127u);
    EXPECT_EQ(lines[1].size(), 73u);
    EXPECT_EQ(lines[2], "NEXT");
}

TEST(FileReading, CarriageReturnLineEndsAreRemovedLikeTextMode) {
    const Lines lines = readAsFile("ADDRIDPOS;2\r\nPANEL;abc\r\n");
    EXPECT_EQ(lines, (Lines{"ADDRIDPOS;2", "PANEL;abc"}));
}

TEST(FileReading, LastLineWithoutLineFeedIsKept) { EXPECT_EQ(readAsFile("A;1\nB;2"), (Lines{"A;1", "B;2"})); }

TEST(BuiltinReading, SplitsAtCarriageReturnsAndDropsFollowingLineFeed) {
    const Lines lines = readAsBuiltin("A;1\r\nB;2\r  C;3 # note\r\r\n\rD");
    EXPECT_EQ(lines, (Lines{"A;1", "B;2", "C;3", "D"}));
}

TEST(BuiltinReading, LineFeedAloneDoesNotSplit) {
    const Lines lines = readAsBuiltin("A;1\nB;2\r");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "A;1\nB;2");
}

TEST(BuiltinReading, TakesAtMost512Lines) {
    std::string text;
    for (int i = 0; i < 600; ++i) text += "L" + std::to_string(i) + "\r";
    const Lines lines = readAsBuiltin(text);
    ASSERT_EQ(lines.size(), 512u);
    EXPECT_EQ(lines.back(), "L511");
}

TEST(BuiltinReading, LongLineIsCutIntoPiecesLikeAFileLine) {
    const Lines lines = readAsBuiltin(std::string(130, 'y') + "\rZ");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 127u);
    EXPECT_EQ(lines[1], "yyy");
    EXPECT_EQ(lines[2], "Z");
}

class FieldSplitting : public ::testing::Test {
protected:
    std::vector<std::string> split(const std::string& text, char sep = ';', std::size_t max = 32) {
        const char* fields[64];
        const std::size_t n = tiltra::splitFields(text, sep, buffer_, fields, max);
        return std::vector<std::string>(fields, fields + n);
    }
    char buffer_[256];
};

TEST_F(FieldSplitting, BlanksAfterSeparatorAreSkippedButNotBefore) {
    EXPECT_EQ(split("PANLEFT ;\t 3; 0;0xFF, 0x01"), (std::vector<std::string>{"PANLEFT ", "3", "0", "0xFF, 0x01"}));
}

TEST_F(FieldSplitting, DoubleSeparatorGivesEmptyFieldTrailingGivesNone) {
    EXPECT_EQ(split("A;;B;"), (std::vector<std::string>{"A", "", "B"}));
    EXPECT_EQ(split("A; "), (std::vector<std::string>{"A"}));
    EXPECT_TRUE(split("").empty());
}

TEST_F(FieldSplitting, FieldsBeyondTheLimitAreIgnored) {
    const auto fields = split("a;b;c;d", ';', 2);
    EXPECT_EQ(fields, (std::vector<std::string>{"a", "b"}));
}

TEST_F(FieldSplitting, ByteListSplitsAtCommas) {
    EXPECT_EQ(split("0xFF, 0x01,0x02", ','), (std::vector<std::string>{"0xFF", "0x01", "0x02"}));
}

TEST(ProtocolKind, KalatelNeedsFolderAndExactCase) {
    using tiltra::kindFromName;
    using tiltra::ProtocolKind;
    EXPECT_EQ(kindFromName("\\Storage Card\\PTZ\\GE_Kalatel.ptz"), ProtocolKind::Kalatel);
    EXPECT_EQ(kindFromName("/opt/tavolin/bin/protocol/GE_Kalatel.ptz"), ProtocolKind::Kalatel);
    EXPECT_EQ(kindFromName("\\x\\GE_Kalatel_v2.ptz"), ProtocolKind::Kalatel);
    EXPECT_EQ(kindFromName("GE_Kalatel.ptz"), ProtocolKind::Generic);
    EXPECT_EQ(kindFromName("\\x\\GE_kalatel.ptz"), ProtocolKind::Generic);
    EXPECT_EQ(kindFromName("\\x\\GE_KalatelX.ptz"), ProtocolKind::Generic);
    EXPECT_EQ(kindFromName("Pelco_Pelco-D"), ProtocolKind::Generic);
}

TEST(Numbers, HexNeedsLowerCasePrefixAndWrapsAt32Bits) {
    std::uint32_t v = 0;
    EXPECT_TRUE(tiltra::readHexPrefixed("0xff", &v));
    EXPECT_EQ(v, 0xFFu);
    EXPECT_FALSE(tiltra::readHexPrefixed("0XFF", &v));
    EXPECT_FALSE(tiltra::readHexPrefixed("FF", &v));
    EXPECT_FALSE(tiltra::readHexPrefixed("0x", &v));
    EXPECT_TRUE(tiltra::readHexPrefixed("0x123456789", &v));
    EXPECT_EQ(v, 0x23456789u);
    EXPECT_TRUE(tiltra::readHexPrefixed("0xABC", &v, 2));
    EXPECT_EQ(v, 0xABu);
}

TEST(Numbers, DecimalSaturatesInsteadOfWrapping) {
    std::int64_t v = 0;
    EXPECT_TRUE(tiltra::readDecimal(" -12x", &v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(tiltra::readDecimal("99999999999999999999999", &v));
    EXPECT_GT(v, std::int64_t{INT32_MAX});
    EXPECT_FALSE(tiltra::readDecimal("x1", &v));
}

} // namespace
