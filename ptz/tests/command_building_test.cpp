#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ptz_test_support.h"

namespace {

using tiltra::test::bytesOf;
using tiltra::test::Handle;
using Bytes = std::vector<unsigned char>;

const std::string kPanLeftText = "ADDRIDSTART;0x01\n"
                                 "ADDRIDPOS;2\n"
                                 "CHECKSUM;$B7=$B2+$B3+$B4+$B5+$B6\n"
                                 "PANLEFT;3;0;0xFF,0x00,0x00,0x04,0x18,0x00,0x00\n";

class CommandBuilding : public tiltra::test::ProtocolFolder {
protected:
    Bytes get(PTZContext* h, const char* name, int p1, int p2, int* count = nullptr) {
        int n = -1;
        const unsigned char* bytes = PTZGetString(h, name, p1, p2, &n);
        if (count) *count = n;
        return bytesOf(bytes, n);
    }
};

TEST_F(CommandBuilding, PanLeftForAddressOne) {
    Handle h = openText(kPanLeftText, 1);
    int count = 0;
    EXPECT_EQ(get(h.get(), "PANLEFT", 3, 0, &count), (Bytes{0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D}));
    EXPECT_EQ(count, 7);
}

TEST_F(CommandBuilding, PanLeftForAddressTwo) {
    Handle h = openText(kPanLeftText, 2);
    EXPECT_EQ(get(h.get(), "PANLEFT", 3, 0), (Bytes{0xFF, 0x02, 0x00, 0x04, 0x18, 0x00, 0x1E}));
}

TEST_F(CommandBuilding, HexTextOfTheCommand) {
    Handle h = openText(kPanLeftText, 1);
    int count = 0;
    const char* hex = PTZGetStringURL(h.get(), "PANLEFT", 3, 0, &count);
    ASSERT_NE(hex, nullptr);
    EXPECT_STREQ(hex, "FF01000418001D");
    EXPECT_EQ(count, 7);
}

TEST_F(CommandBuilding, NameAndParametersMustMatchExactly) {
    Handle h = openText(kPanLeftText, 1);
    int count = 99;
    EXPECT_EQ(PTZGetString(h.get(), "PANLEFT", 2, 0, &count), nullptr);
    EXPECT_EQ(PTZGetString(h.get(), "panleft", 3, 0, &count), nullptr);
    EXPECT_EQ(PTZGetString(h.get(), "PANLEF", 3, 0, &count), nullptr);
    EXPECT_EQ(PTZGetString(h.get(), "PANLEFT", 3, 1, &count), nullptr);
    EXPECT_EQ(PTZGetString(h.get(), "ADDRIDPOS", 2, 0, &count), nullptr);
    EXPECT_EQ(count, 99);
}

TEST_F(CommandBuilding, FirstMatchingLineWinsAndSectionsAreSkipped) {
    Handle h = openText("[PANLEFT;1;0;0x01]\nPANLEFT;1;0;0x02\nPANLEFT; 1 ;0;0x03\nPANLEFT;+1;0;0x04\n", 1);
    EXPECT_EQ(get(h.get(), "PANLEFT", 1, 0), (Bytes{0x02}));
}

TEST_F(CommandBuilding, FailedLookupKeepsTheLastOutput) {
    Handle h = openText(kPanLeftText, 1);
    const unsigned char* first = PTZGetString(h.get(), "PANLEFT", 3, 0, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(PTZGetString(h.get(), "TILTUP", 3, 0, nullptr), nullptr);
    EXPECT_EQ(bytesOf(first, 7), (Bytes{0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D}));
}

TEST_F(CommandBuilding, UnreadableByteTextRepeatsThePreviousByte) {
    Handle h = openText("X;0;0;zz,0x10,ab,0X30,0x7\n", 1);
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0x00, 0x10, 0x10, 0x10, 0x07}));
}

TEST_F(CommandBuilding, LowerCaseHexAndWideNumbersKeepLowByte) {
    Handle h = openText("X;0;0;0xff,0x1A5,0x 2\n", 1);
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0xFF, 0xA5, 0x02}));
}

TEST_F(CommandBuilding, AddressStartOffsetsTheAddressByte) {
    // A = address + ADDRIDSTART - 1, mod 256
    Handle zeroBased = openText("ADDRIDSTART;0\nADDRIDPOS;1\nX;0;0;0x55\n", 1);
    EXPECT_EQ(get(zeroBased.get(), "X", 0, 0), (Bytes{0x00}));
    Handle shifted = openText("ADDRIDSTART;0x10\nADDRIDPOS;1\nX;0;0;0x55\n", 1);
    EXPECT_EQ(get(shifted.get(), "X", 0, 0), (Bytes{0x10}));
    Handle wrapped = openText("ADDRIDSTART;1\nADDRIDPOS;1\nX;0;0;0x55\n", 300);
    EXPECT_EQ(get(wrapped.get(), "X", 0, 0), (Bytes{0x2C}));
    Handle negative = openText("ADDRIDSTART;0\nADDRIDPOS;1\nX;0;0;0x55\n", 0);
    EXPECT_EQ(get(negative.get(), "X", 0, 0), (Bytes{0xFF}));
}

TEST_F(CommandBuilding, ExtremeAddressesDoNotOverflow) {
    Handle h = openText("ADDRIDSTART;0x7FFFFFFF\nADDRIDPOS;1\nX;0;0;0x55\n", INT_MAX);
    // 0x7FFFFFFF + 0x7FFFFFFF - 1 = 0xFFFFFFFD
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0xFD}));
}

TEST_F(CommandBuilding, AddressPositionOutsideTheCommandWritesNothing) {
    const std::string body = "CHECKSUM;$B3=$B1+$B2\nX;0;0;0x10,0x20,0x00\n";
    Handle none = openText(body, 5);
    EXPECT_EQ(get(none.get(), "X", 0, 0), (Bytes{0x10, 0x20, 0x30}));
    Handle beyond = openText("ADDRIDPOS;4\n" + body, 5);
    EXPECT_EQ(get(beyond.get(), "X", 0, 0), (Bytes{0x10, 0x20, 0x30}));
    Handle negative = openText("ADDRIDPOS;-1\n" + body, 5);
    EXPECT_EQ(get(negative.get(), "X", 0, 0), (Bytes{0x10, 0x20, 0x30}));
}

TEST_F(CommandBuilding, ChecksumDestinationOutsideTheCommandWritesNothing) {
    Handle h = openText("ADDRIDPOS;1\nCHECKSUM;$B9=$B1+$B2\nX;0;0;0x10,0x20\n", 5);
    // address 5 + ADDRIDSTART 0 - 1
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0x04, 0x20}));
    Handle zero = openText("CHECKSUM;$B0=$B1+$B2\nX;0;0;0x10,0x20\n", 5);
    EXPECT_EQ(get(zero.get(), "X", 0, 0), (Bytes{0x10, 0x20}));
}

TEST_F(CommandBuilding, ChecksumRunsLeftToRightWithoutPrecedence) {
    // ((((0x0F | 0x30) & 0x3C) ^ 0x01) + 0x10) - 0x02 = 0x4B
    Handle h = openText("CHECKSUM;$B6=$B1|$B2&$B3^$B4+$B5-$C0x02\nX;0;0;0x0F,0x30,0x3C,0x01,0x10,0x00\n", 1);
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0x0F, 0x30, 0x3C, 0x01, 0x10, 0x4B}));
}

TEST_F(CommandBuilding, SubtractionWrapsToTheLowByte) {
    Handle h = openText("CHECKSUM;$B3=$B1-$B2\nX;0;0;0x01,0x02,0x00\n", 1);
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0x01, 0x02, 0xFF}));
}

TEST_F(CommandBuilding, AddressTakesPartInTheCheck) {
    Handle h = openText("ADDRIDSTART;1\nADDRIDPOS;1\nCHECKSUM;$B3=$B1^$B2\nX;0;0;0x00,0xF0,0x00\n", 0x0C);
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0x0C, 0xF0, 0xFC}));
}

TEST_F(CommandBuilding, EndMarkerAndOutsideReferencesCountAsZero) {
    Handle h = openText("CHECKSUM;$B3=$B1+$BE+$B2+$B40\nX;0;0;0x11,0x22,0x00\n", 1);
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0x11, 0x22, 0x33}));
}

TEST_F(CommandBuilding, RuleWithoutOperandsLeavesBytesAsWritten) {
    Handle h = openText("CHECKSUM;nothing\nX;0;0;0x11,0x22,0x33\n", 1);
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0x11, 0x22, 0x33}));
}

TEST_F(CommandBuilding, ByteListOfMoreThan32IsRefused) {
    // Unreadable byte texts repeat the byte before, which keeps the lines short.
    std::string list33 = "0x1", list32 = "0x2";
    for (int i = 1; i < 33; ++i) list33 += ",a";
    for (int i = 1; i < 32; ++i) list32 += ",b";
    Handle h = openText("X;0;0;" + list33 + "\nX;0;0;" + list32 + "\n", 1);
    int count = 0;
    const Bytes got = get(h.get(), "X", 0, 0, &count);
    EXPECT_EQ(count, 32);
    EXPECT_EQ(got, Bytes(32, 0x02));
}

TEST_F(CommandBuilding, LineNeedsFourFieldsAndABytes) {
    Handle h = openText("X;0;0\nX;0;0;\nX;0;0;;\nX;0;0;0x09\n", 1);
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0x09}));
}

TEST_F(CommandBuilding, NegativeAndLargeParameters) {
    Handle h = openText("P;-5;2147483647;0x01\nP;4294967297;0;0x02\n", 1);
    EXPECT_EQ(get(h.get(), "P", -5, INT_MAX), (Bytes{0x01}));
    EXPECT_EQ(PTZGetString(h.get(), "P", 1, 0, nullptr), nullptr);
}

TEST_F(CommandBuilding, KalatelFileInAFolderUsesTheNegatedSum) {
    const std::string path = write("GE_Kalatel.ptz", "ADDRIDPOS;2\nPANLEFT;1;0;0xC0,0x00,0x81,0x00\n");
    Handle h = openFile(path, 1);
    EXPECT_EQ(get(h.get(), "PANLEFT", 1, 0), (Bytes{0xC0, 0x01, 0x81, 0x7E}));
}

TEST_F(CommandBuilding, KalatelIgnoresChecksumRuleAndReadsTwoDigits) {
    const std::string path = write("GE_Kalatel.ptz", "ADDRIDSTART;2\nADDRIDPOS;2\nCHECKSUM;$B4=$B1\n"
                                                     "X;0;0;0xC0,0x00,0x123,0x00\n");
    Handle h = openFile(path, 3);
    // address 3 + 2 = 0x05, third byte 0x12, last -(0x05 + 0x12) = 0xE9
    EXPECT_EQ(get(h.get(), "X", 0, 0), (Bytes{0xC0, 0x05, 0x12, 0xE9}));
}

TEST_F(CommandBuilding, KalatelNameWithoutFolderStaysGeneric) {
    // The open record carries only a bare name, which the library opens
    // relative to the working folder; the kind stays generic.
    const std::string path = write("GE_Kalatel.ptz", "ADDRIDPOS;2\nPANLEFT;1;0;0xC0,0x00,0x81,0x00\n");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    Handle h = openFile("GE_Kalatel.ptz", 1);
    std::filesystem::current_path(cwd);
    // generic: address 1 + ADDRIDSTART 0 - 1, no check byte
    EXPECT_EQ(get(h.get(), "PANLEFT", 1, 0), (Bytes{0xC0, 0x00, 0x81, 0x00}));
}

TEST_F(CommandBuilding, MissingFileGivesAHandleThatFindsNothing) {
    Handle h = openFile((dir_ / "absent.ptz").string());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(PTZGetString(h.get(), "PANLEFT", 3, 0, nullptr), nullptr);
    EXPECT_EQ(PTZGetStringURL(h.get(), "PANLEFT", 3, 0, nullptr), nullptr);
}

TEST_F(CommandBuilding, NullArgumentsGiveNull) {
    Handle h = openText(kPanLeftText, 1);
    EXPECT_EQ(PTZGetString(nullptr, "PANLEFT", 3, 0, nullptr), nullptr);
    EXPECT_EQ(PTZGetString(h.get(), nullptr, 3, 0, nullptr), nullptr);
    EXPECT_EQ(PTZGetStringURL(nullptr, "PANLEFT", 3, 0, nullptr), nullptr);
    EXPECT_NE(PTZGetString(h.get(), "PANLEFT", 3, 0, nullptr), nullptr);
}

TEST(UrlCommand, JoinsItsPartsWithoutSeparators) {
    EXPECT_STREQ(GetURLCommand("127.0.0.1", "admin", "secret", "FF01"),
                 "http://127.0.0.1/cgi-bin/mpeg4?USER=admin&PWD=secret&SERIAL_HEX=FF01");
    EXPECT_STREQ(GetURLCommand("", "", "", ""), "http:///cgi-bin/mpeg4?USER=&PWD=&SERIAL_HEX=");
}

TEST(UrlCommand, OverlongPartsAreCutNotOverrun) {
    const std::string big(3000, 'a');
    const char* url = GetURLCommand(big.c_str(), "u", "p", "00");
    EXPECT_EQ(std::strlen(url), 1023u);
    EXPECT_EQ(std::string(url, 7), "http://");
}

} // namespace
