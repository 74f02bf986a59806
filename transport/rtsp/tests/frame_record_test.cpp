#include "corvel/frame_record.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using corvel::RecordKind;

std::vector<uint8_t> annexB(std::initializer_list<std::vector<uint8_t>> units) {
    std::vector<uint8_t> out;
    for (const auto& unit : units) {
        out.insert(out.end(), {0, 0, 0, 1});
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

struct UnitCase {
    const char* name;
    RecordKind kind;
    std::vector<uint8_t> data;
    bool randomAccess;
    bool parameterSets;
};

class AccessUnitTest : public ::testing::TestWithParam<UnitCase> {};

TEST_P(AccessUnitTest, TellsKeyPicturesAndParameterSetsFromTheNalUnitTypes) {
    const UnitCase& c = GetParam();
    const corvel::AccessUnitInfo info = corvel::inspectAccessUnit(c.kind, c.data);
    EXPECT_EQ(info.randomAccess, c.randomAccess);
    EXPECT_EQ(info.parameterSets, c.parameterSets);
}

// H.264 NAL type in the low 5 bits (9 AUD, 7 SPS, 8 PPS, 5 IDR, 1 non-IDR);
// H.265 type in bits 1-6 of the first byte (32 VPS, 33 SPS, 34 PPS, 19/20 IDR,
// 21 CRA, 1 trailing picture).
INSTANTIATE_TEST_SUITE_P(
    Units, AccessUnitTest,
    ::testing::Values(UnitCase{"H264IdrWithSets", RecordKind::H264,
                               annexB({{0x09, 0x10}, {0x67, 1}, {0x68, 2}, {0x65, 3}}), true, true},
                      UnitCase{"H264IdrAlone", RecordKind::H264, annexB({{0x09, 0x10}, {0x65, 3, 4}}), true, false},
                      UnitCase{"H264IdrWithoutPps", RecordKind::H264, annexB({{0x67, 1}, {0x65, 3}}), true, false},
                      UnitCase{"H264PredictedPicture", RecordKind::H264, annexB({{0x41, 0x9A}}), false, false},
                      UnitCase{"H264ThreeByteStartCodes",
                               RecordKind::H264,
                               {0, 0, 1, 0x67, 1, 0, 0, 1, 0x68, 2, 0, 0, 1, 0x65, 3},
                               true,
                               true},
                      UnitCase{"H265IdrWithSets", RecordKind::H265,
                               annexB({{0x40, 1}, {0x42, 1}, {0x44, 1}, {0x26, 1, 0xAF}}), true, true},
                      UnitCase{"H265CraWithoutVps", RecordKind::H265, annexB({{0x42, 1}, {0x44, 1}, {0x2A, 1}}), true,
                               false},
                      UnitCase{"H265TrailingPicture", RecordKind::H265, annexB({{0x02, 1, 0xD0}}), false, false},
                      UnitCase{"JpegPicture", RecordKind::Jpeg, {0xFF, 0xD8, 0xFF, 0xDB, 0, 0}, true, true},
                      UnitCase{"JpegWithoutStartOfImage", RecordKind::Jpeg, {0x12, 0x34}, false, true},
                      UnitCase{"Empty", RecordKind::H264, {}, false, false},
                      UnitCase{"StartCodeAtTheVeryEnd", RecordKind::H264, {0x65, 0, 0, 1}, false, false}),
    [](const ::testing::TestParamInfo<UnitCase>& info) { return std::string(info.param.name); });

TEST(FrameRecordTest, RecordThatDoesNotFitWritesNothing) {
    const std::vector<uint8_t> picture(157, 0x11);
    std::vector<uint8_t> out(201, 0xEE);
    EXPECT_EQ(corvel::writeVideoRecord(RecordKind::Jpeg, true, 0, {}, picture, std::span(out).first(200)), 0u);
    EXPECT_EQ(corvel::writeVideoRecord(RecordKind::Jpeg, true, 0, {}, picture, std::span(out).first(201)), 201u);
    std::vector<uint8_t> small(100, 0xEE);
    EXPECT_EQ(corvel::writeVideoRecord(RecordKind::Jpeg, true, 0, {}, picture, small), 0u);
    for (uint8_t b : small) EXPECT_EQ(b, 0xEE);
}

} // namespace
