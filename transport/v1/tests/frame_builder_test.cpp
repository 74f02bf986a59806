#include "frame_builder.h"
#include "vol_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace fenwa10 {
namespace {

// A camera video message: header, 16-byte camera header, picture bytes.
std::vector<uint8_t> message(const std::vector<uint8_t>& picture, uint8_t t0 = 0, uint8_t perFrame = 0) {
    std::vector<uint8_t> m = {'V', 'e', 'x', 'o', 0, 0, 0, 0, 0, 0, 0, 0};
    const uint32_t payload = static_cast<uint32_t>(16 + picture.size());
    std::memcpy(m.data() + 8, &payload, 4); // little-endian host
    std::vector<uint8_t> camera(16, 0);
    camera[5] = t0;
    camera[7] = static_cast<uint8_t>(t0 + 1);
    camera[9] = static_cast<uint8_t>(t0 + 2);
    camera[11] = static_cast<uint8_t>(t0 + 3);
    camera[13] = perFrame;
    m.insert(m.end(), camera.begin(), camera.end());
    m.insert(m.end(), picture.begin(), picture.end());
    return m;
}

std::vector<uint8_t> intraPicture(std::size_t size) {
    std::vector<uint8_t> p = {0x00, 0x00, 0x01, 0xB3, 0x00, 0x10, 0x07, 0x00, 0x00, 0x01, 0xB6, 0x10};
    p.resize(size, 0x5A);
    return p;
}

std::vector<uint8_t> vop(uint8_t codingByte, std::size_t size) {
    std::vector<uint8_t> p = {0x00, 0x00, 0x01, 0xB6, codingByte};
    p.resize(size, 0x5A);
    return p;
}

FrameFields fields() {
    FrameFields f;
    f.resolutionCode = 4;
    f.bitRateCode = 7;
    f.frameRate = 25;
    f.configValue = 0;
    f.status = 1;
    f.motion = 0x05;
    f.digitalInput = 2;
    return f;
}

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

class FrameBuilderTest : public ::testing::Test {
protected:
    std::vector<uint8_t> out = std::vector<uint8_t>(kMaxRecord, 0xEE);
    IntraMemory memory;
};

TEST_F(FrameBuilderTest, PredictedRecordOfThousandBytePayloadIs1044Long) {
    auto m = message(vop(0x50, 984)); // payload 16 + 984 = 1000
    ASSERT_EQ(classifyMessage(m.data(), m.size()), FrameClass::Predicted);
    const std::size_t n = buildRecord(m.data(), m.size(), FrameClass::Predicted, fields(), memory, out.data());
    EXPECT_EQ(n, 1044u);
    EXPECT_EQ(le32(out.data() + 8), 1032u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 8), (std::vector<uint8_t>{0, 0, 1, 0xB2, 1, 0, 0, 0}));
    // The whole payload, camera header included, follows the 44-byte header.
    EXPECT_EQ(0, std::memcmp(out.data() + 44, m.data() + 12, 1000));
    EXPECT_EQ(out[1044], 0xEE); // nothing written past the record
}

TEST_F(FrameBuilderTest, IntraRecordCarriesSequenceHeadersAndTheVolEntry) {
    auto m = message(intraPicture(500), 0x40, 0x77);
    ASSERT_EQ(classifyMessage(m.data(), m.size()), FrameClass::Intra);
    const std::size_t n = buildRecord(m.data(), m.size(), FrameClass::Intra, fields(), memory, out.data());
    EXPECT_EQ(n, m.size() + 47);
    EXPECT_EQ(le32(out.data() + 8), m.size() + 35);
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 12, out.begin() + 17),
              (std::vector<uint8_t>{0x40, 0x41, 0x42, 0x43, 0x77}));
    EXPECT_EQ(out[17], 1);
    EXPECT_EQ(out[18], 0x05);
    EXPECT_EQ(out[19], 2);
    EXPECT_EQ(out[24], 4);
    EXPECT_EQ(out[25], 7);
    EXPECT_EQ(out[26], 0);
    EXPECT_EQ(out[27], 25);
    for (int i : {5, 6, 7, 20, 21, 22, 23, 28, 35, 43}) EXPECT_EQ(out[i], 0) << i;
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 44, out.begin() + 54),
              (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB0, 0xF5, 0x00, 0x00, 0x01, 0xB5, 0x09}));
    EXPECT_EQ(0, std::memcmp(out.data() + 54, volEntry(4, 25).data(), 21));
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 75, out.begin() + 79), (std::vector<uint8_t>{0, 0, 1, 0xB3}));
    EXPECT_EQ(0, std::memcmp(out.data() + 75, m.data() + 28, m.size() - 28));
}

TEST_F(FrameBuilderTest, ConfigurationValueSelectsTheThirtyFrameEntry) {
    FrameFields f = fields();
    f.configValue = 3;
    auto m = message(intraPicture(100));
    buildRecord(m.data(), m.size(), FrameClass::Intra, f, memory, out.data());
    EXPECT_EQ(0, std::memcmp(out.data() + 54, volEntry(4, 30).data(), 21));
    EXPECT_EQ(out[26], 3);
}

TEST_F(FrameBuilderTest, PredictedRecordsRepeatTheLastIntraTimeStamp) {
    auto i = message(intraPicture(100), 0x10, 0x21);
    buildRecord(i.data(), i.size(), FrameClass::Intra, fields(), memory, out.data());
    auto p = message(vop(0x50, 100), 0x90, 0x99);
    buildRecord(p.data(), p.size(), FrameClass::Predicted, fields(), memory, out.data());
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 12, out.begin() + 17),
              (std::vector<uint8_t>{0x10, 0x11, 0x12, 0x13, 0x21}));
}

TEST(FrameClassifyTest, BidirectionalPictureIsRejected) {
    auto m = message(vop(0x90, 100)); // top bits 10
    EXPECT_EQ(classifyMessage(m.data(), m.size()), FrameClass::None);
}

TEST(FrameClassifyTest, SearchPassesOverBPictureToALaterPredictedOne) {
    std::vector<uint8_t> picture = vop(0x90, 20);
    auto p = vop(0x40, 20);
    picture.insert(picture.end(), p.begin(), p.end());
    auto m = message(picture);
    EXPECT_EQ(classifyMessage(m.data(), m.size()), FrameClass::Predicted);
}

TEST(FrameClassifyTest, StartCodeBeyondPosition100IsNotSeen) {
    std::vector<uint8_t> picture(101 - 28, 0x5A); // start code lands at message offset 101
    auto v = vop(0x10, 50);
    picture.insert(picture.end(), v.begin(), v.end());
    auto m = message(picture);
    EXPECT_EQ(classifyMessage(m.data(), m.size()), FrameClass::None);
    picture.erase(picture.begin()); // now at offset 100
    m = message(picture);
    EXPECT_EQ(classifyMessage(m.data(), m.size()), FrameClass::Intra);
}

TEST(FrameClassifyTest, StartCodeCutOffAtTheEndIsNotReadPast) {
    std::vector<uint8_t> m = {'V', 'e', 'x', 'o', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0xB6};
    EXPECT_EQ(classifyMessage(m.data(), m.size()), FrameClass::None);
}

TEST(FrameFieldsTest, UnusableConfigurationsAreRefused) {
    FrameFields f = fields();
    EXPECT_TRUE(fieldsUsable(f));
    f.frameRate = 0;
    EXPECT_FALSE(fieldsUsable(f));
    f.frameRate = 31;
    EXPECT_FALSE(fieldsUsable(f));
    f.frameRate = 30;
    f.resolutionCode = 6;
    EXPECT_FALSE(fieldsUsable(f));
}

} // namespace
} // namespace fenwa10
