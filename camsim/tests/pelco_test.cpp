// Serial PTZ frames written out by hand from the protocol definitions.
#include "camsim/pelco.h"

#include <gtest/gtest.h>

#include <vector>

namespace camsim {
namespace {

using Kind = PtzCommand::Kind;

class PelcoDTest : public ::testing::Test {
protected:
    PtzFrameStatus decode(std::vector<uint8_t> frame, int address = 1) {
        return decodePelcoD(frame.data(), frame.size(), address, command);
    }
    PtzCommand command;
};

TEST_F(PelcoDTest, PanLeftCarriesItsSpeed) {
    // 01 + 00 + 04 + 18 + 00 = 1D
    ASSERT_EQ(decode({0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D}), PtzFrameStatus::Ok);
    EXPECT_EQ(command.kind, Kind::Move);
    EXPECT_EQ(command.pan, -1);
    EXPECT_EQ(command.panSpeed, 0x18);
    EXPECT_EQ(command.tilt, 0);
    EXPECT_EQ(command.zoom, 0);
}

TEST_F(PelcoDTest, WrongChecksumIsRefused) {
    EXPECT_EQ(decode({0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1C}), PtzFrameStatus::BadChecksum);
}

TEST_F(PelcoDTest, FrameForAnotherAddressIsNotOurs) {
    // Address 2: 02 + 00 + 04 + 18 + 00 = 1E
    EXPECT_EQ(decode({0xFF, 0x02, 0x00, 0x04, 0x18, 0x00, 0x1E}, 1), PtzFrameStatus::OtherAddress);
    EXPECT_EQ(decode({0xFF, 0x02, 0x00, 0x04, 0x18, 0x00, 0x1E}, 2), PtzFrameStatus::Ok);
}

TEST_F(PelcoDTest, DiagonalSetsBothAxes) {
    // Down and right at 0x3F: 01 + 00 + 12 + 3F + 3F = 91
    ASSERT_EQ(decode({0xFF, 0x01, 0x00, 0x12, 0x3F, 0x3F, 0x91}), PtzFrameStatus::Ok);
    EXPECT_EQ(command.pan, 1);
    EXPECT_EQ(command.tilt, 1);
    EXPECT_EQ(command.tiltSpeed, 0x3F);
}

TEST_F(PelcoDTest, LensBits) {
    // Zoom tele (20), focus far (80): 01 + 00 + A0 = A1
    ASSERT_EQ(decode({0xFF, 0x01, 0x00, 0xA0, 0x00, 0x00, 0xA1}), PtzFrameStatus::Ok);
    EXPECT_EQ(command.zoom, 1);
    EXPECT_EQ(command.focus, 1);
    // Iris close (cmd1 04), zoom wide (40): 01 + 04 + 40 = 45
    ASSERT_EQ(decode({0xFF, 0x01, 0x04, 0x40, 0x00, 0x00, 0x45}), PtzFrameStatus::Ok);
    EXPECT_EQ(command.iris, -1);
    EXPECT_EQ(command.zoom, -1);
    EXPECT_EQ(command.focus, 0);
}

TEST_F(PelcoDTest, PresetCommands) {
    // Set preset 3: 01 + 00 + 03 + 00 + 03 = 07
    ASSERT_EQ(decode({0xFF, 0x01, 0x00, 0x03, 0x00, 0x03, 0x07}), PtzFrameStatus::Ok);
    EXPECT_EQ(command.kind, Kind::PresetSet);
    EXPECT_EQ(command.preset, 3);
    // Go to preset 95 (5F): 01 + 07 + 5F = 67
    ASSERT_EQ(decode({0xFF, 0x01, 0x00, 0x07, 0x00, 0x5F, 0x67}), PtzFrameStatus::Ok);
    EXPECT_EQ(command.kind, Kind::PresetGo);
    EXPECT_EQ(command.preset, 95);
    // Clear preset 8: 01 + 05 + 08 = 0E
    ASSERT_EQ(decode({0xFF, 0x01, 0x00, 0x05, 0x00, 0x08, 0x0E}), PtzFrameStatus::Ok);
    EXPECT_EQ(command.kind, Kind::PresetClear);
}

TEST_F(PelcoDTest, ShortFrameIsMalformed) {
    EXPECT_EQ(decode({0xFF, 0x01, 0x00, 0x00, 0x00, 0x01}), PtzFrameStatus::Malformed);
}

class PelcoPTest : public ::testing::Test {
protected:
    PtzFrameStatus decode(std::vector<uint8_t> frame, int address = 1) {
        return decodePelcoP(frame.data(), frame.size(), address, command);
    }
    PtzCommand command;
};

TEST_F(PelcoPTest, AddressOneTravelsAsZero) {
    // Pan right at 0x10: A0 ^ 00 ^ 00 ^ 02 ^ 10 ^ 00 ^ AF = 1D
    ASSERT_EQ(decode({0xA0, 0x00, 0x00, 0x02, 0x10, 0x00, 0xAF, 0x1D}, 1), PtzFrameStatus::Ok);
    EXPECT_EQ(command.pan, 1);
    EXPECT_EQ(command.panSpeed, 0x10);
    EXPECT_EQ(decode({0xA0, 0x00, 0x00, 0x02, 0x10, 0x00, 0xAF, 0x1D}, 2), PtzFrameStatus::OtherAddress);
}

TEST_F(PelcoPTest, WrongCheckByteIsRefused) {
    EXPECT_EQ(decode({0xA0, 0x00, 0x00, 0x02, 0x10, 0x00, 0xAF, 0x1C}), PtzFrameStatus::BadChecksum);
}

TEST_F(PelcoPTest, MissingEndByteIsMalformed) {
    EXPECT_EQ(decode({0xA0, 0x00, 0x00, 0x02, 0x10, 0x00, 0xAE, 0x1C}), PtzFrameStatus::Malformed);
}

TEST_F(PelcoPTest, UpAndLensBits) {
    // Tilt up at 0x18, iris open (data 1 04), focus near (02):
    // A0 ^ 01 ^ 06 ^ 08 ^ 00 ^ 18 ^ AF = 18, with address 2 as 01.
    ASSERT_EQ(decode({0xA0, 0x01, 0x06, 0x08, 0x00, 0x18, 0xAF, 0x18}, 2), PtzFrameStatus::Ok);
    EXPECT_EQ(command.tilt, -1);
    EXPECT_EQ(command.tiltSpeed, 0x18);
    EXPECT_EQ(command.iris, 1);
    EXPECT_EQ(command.focus, -1);
}

TEST_F(PelcoPTest, GoToPreset) {
    // A0 ^ 00 ^ 00 ^ 07 ^ 00 ^ 02 ^ AF = 0A
    ASSERT_EQ(decode({0xA0, 0x00, 0x00, 0x07, 0x00, 0x02, 0xAF, 0x0A}), PtzFrameStatus::Ok);
    EXPECT_EQ(command.kind, Kind::PresetGo);
    EXPECT_EQ(command.preset, 2);
}

TEST(PtzByteStreamTest, SplitsFramesOfBothProtocolsAndCountsRefusals) {
    const std::vector<uint8_t> bytes = {
        0x55,                                           // noise
        0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x1D,       // D: pan left
        0xA0, 0x00, 0x00, 0x02, 0x10, 0x00, 0xAF, 0x1D, // P: pan right
        0xFF, 0x01, 0x00, 0x04, 0x18, 0x00, 0x00,       // D: bad sum
        0xFF, 0x03, 0x00, 0x00, 0x00, 0x00, 0x03,       // D: address 3 stop
    };
    const PtzStreamResult r = decodePtzBytes(bytes.data(), bytes.size(), 1);
    ASSERT_EQ(r.commands.size(), 2u);
    EXPECT_EQ(r.commands[0].pan, -1);
    EXPECT_EQ(r.commands[1].pan, 1);
    EXPECT_EQ(r.badChecksum, 1);
    EXPECT_EQ(r.otherAddress, 1);
    EXPECT_EQ(r.skippedBytes, 1);
}

TEST(PtzByteStreamTest, TruncatedFrameDecodesNothing) {
    const std::vector<uint8_t> bytes = {0xFF, 0x01, 0x00, 0x04};
    const PtzStreamResult r = decodePtzBytes(bytes.data(), bytes.size(), 1);
    EXPECT_TRUE(r.commands.empty());
    EXPECT_EQ(r.skippedBytes, 4);
}

} // namespace
} // namespace camsim
