#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "attributes.h"
#include "operations.h"

namespace {

using tiltra::OperandKind;

struct Closer {
    void operator()(PTZContext* c) const { tiltra::close(c); }
};
using Context = std::unique_ptr<PTZContext, Closer>;

class AttributeScan : public ::testing::Test {
protected:
    Context open(const std::vector<std::string>& lines, int addressId = 7) {
        std::string text;
        for (const auto& l : lines) text += l + "\r";
        PTZOpenRecord record{};
        record.addressId = addressId;
        record.outputMode = 1;
        return Context(tiltra::openText(&record, "test", text));
    }
};

TEST_F(AttributeScan, AddrIdStartReadsHexOrDecimal) {
    EXPECT_EQ(open({"ADDRIDSTART;0x10"})->attributes.addrIdStart, 16);
    EXPECT_EQ(open({"ADDRIDSTART;16"})->attributes.addrIdStart, 16);
    EXPECT_EQ(open({"ADDRIDSTART;0x10;ignored"})->attributes.addrIdStart, 16);
}

TEST_F(AttributeScan, AddrIdStartWithBlankBeforeHexGivesZero) {
    EXPECT_EQ(open({"ADDRIDSTART; 0x10"})->attributes.addrIdStart, 0);
    EXPECT_EQ(open({"ADDRIDSTART;"})->attributes.addrIdStart, 0);
    EXPECT_EQ(open({"ADDRIDSTART"})->attributes.addrIdStart, 0);
}

TEST_F(AttributeScan, FirstLineOfAKeywordCounts) {
    auto ctx = open({"ADDRIDPOS;3", "ADDRIDPOS;5", "ADDRIDSTART;2", "ADDRIDSTART;9"});
    EXPECT_EQ(ctx->attributes.addrIdPos, 3);
    EXPECT_EQ(ctx->attributes.addrIdStart, 2);
}

TEST_F(AttributeScan, KeywordMustBeTheWholeFirstField) {
    auto ctx = open({"ADDRIDPOSX;3", "addridpos;4", "X;ADDRIDPOS;5"});
    EXPECT_EQ(ctx->attributes.addrIdPos, 0);
}

TEST_F(AttributeScan, ChecksumKeywordAloneLeavesChecksumOff) {
    auto ctx = open({"CHECKSUM"});
    EXPECT_FALSE(ctx->attributes.checksum.on);
    EXPECT_EQ(ctx->commandAddress, 7);
}

TEST_F(AttributeScan, CommandAddressIsTheAddressIdAlsoWithoutChecksumLine) {
    auto ctx = open({"ADDRIDPOS;2", "PANLEFT;1;0;0x01,0x00"});
    EXPECT_EQ(ctx->commandAddress, 7);
}

TEST_F(AttributeScan, IntervalMousePanelFromSecondField) {
    auto ctx = open({"INTERVAL; 250", "MOUSEPTZ;1", "PANEL;up down;x", "OTHER"});
    EXPECT_EQ(ctx->attributes.interval, 250);
    EXPECT_EQ(ctx->attributes.mousePtz, 1);
    EXPECT_STREQ(ctx->attributes.panel, "up down");
}

TEST_F(AttributeScan, MissingValuesGiveZeroAndEmpty) {
    auto ctx = open({"INTERVAL", "MOUSEPTZ;", "PANEL"});
    EXPECT_EQ(ctx->attributes.interval, 0);
    EXPECT_EQ(ctx->attributes.mousePtz, 0);
    EXPECT_STREQ(ctx->attributes.panel, "");
}

TEST_F(AttributeScan, MousePtzAfterTheOtherFiveAndACommandIsNotRead) {
    auto late =
        open({"ADDRIDSTART;1", "ADDRIDPOS;2", "CHECKSUM", "INTERVAL;1", "PANEL;p", "PANLEFT;1;0;0x01", "MOUSEPTZ;4"});
    EXPECT_EQ(late->attributes.mousePtz, 0);
    auto early =
        open({"ADDRIDSTART;1", "ADDRIDPOS;2", "CHECKSUM", "INTERVAL;1", "PANEL;p", "MOUSEPTZ;4", "PANLEFT;1;0;0x01"});
    EXPECT_EQ(early->attributes.mousePtz, 4);
    auto noPanel = open({"ADDRIDSTART;1", "PANLEFT;1;0;0x01", "MOUSEPTZ;4"});
    EXPECT_EQ(noPanel->attributes.mousePtz, 4);
}

TEST(ChecksumRule, SumOfBytesTwoToSix) {
    tiltra::ChecksumRule rule;
    tiltra::parseChecksumRule("$B7=$B2+$B3+$B4+$B5+$B6", rule);
    EXPECT_TRUE(rule.on);
    EXPECT_EQ(rule.destination, 6);
    ASSERT_EQ(rule.operandCount, 5);
    ASSERT_EQ(rule.operatorCount, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rule.operands[i].kind, OperandKind::ByteRef);
        EXPECT_EQ(rule.operands[i].value, i + 1);
    }
    EXPECT_EQ(rule.operators[0], 5);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(rule.operators[i], 3);
}

TEST(ChecksumRule, ConstantOperand) {
    tiltra::ChecksumRule rule;
    tiltra::parseChecksumRule("$B6=$B1+$C0x10", rule);
    EXPECT_EQ(rule.destination, 5);
    ASSERT_EQ(rule.operandCount, 2);
    EXPECT_EQ(rule.operands[0].kind, OperandKind::ByteRef);
    EXPECT_EQ(rule.operands[0].value, 0);
    EXPECT_EQ(rule.operands[1].kind, OperandKind::Constant);
    EXPECT_EQ(rule.operands[1].value, 16);
    ASSERT_EQ(rule.operatorCount, 2);
    EXPECT_EQ(rule.operators[0], 5);
    EXPECT_EQ(rule.operators[1], 3);
}

TEST(ChecksumRule, EveryOperatorAndTheEndMarker) {
    tiltra::ChecksumRule rule;
    tiltra::parseChecksumRule("$B12 = $B1 ^ $B2 | $B3 & $B4 - $BE", rule);
    EXPECT_EQ(rule.destination, 11);
    ASSERT_EQ(rule.operatorCount, 5);
    const std::uint8_t expected[] = {5, 0, 1, 2, 4};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(rule.operators[i], expected[i]);
    ASSERT_EQ(rule.operandCount, 5);
    EXPECT_EQ(rule.operands[4].kind, OperandKind::End);
}

TEST(ChecksumRule, WalkEndsAtUnknownOperand) {
    tiltra::ChecksumRule rule;
    tiltra::parseChecksumRule("$B3=$B1+$X2+$B2", rule);
    EXPECT_TRUE(rule.on);
    EXPECT_EQ(rule.operandCount, 1);
}

TEST(ChecksumRule, MalformedRuleIsOnWithoutOperands) {
    tiltra::ChecksumRule rule;
    tiltra::parseChecksumRule("sum", rule);
    EXPECT_TRUE(rule.on);
    EXPECT_EQ(rule.operandCount, 0);
    EXPECT_EQ(rule.destination, -1);
}

TEST(ChecksumRule, ManyTermsStopAtTheLimit) {
    std::string text = "$B2=";
    for (int i = 0; i < 200; ++i) text += "$B1+";
    tiltra::ChecksumRule rule;
    tiltra::parseChecksumRule(text.c_str(), rule);
    EXPECT_EQ(rule.operandCount, tiltra::kMaxRuleTerms);
    EXPECT_LE(rule.operatorCount, tiltra::kMaxRuleTerms);
}

} // namespace
