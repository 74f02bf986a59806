// What a camera that joins a client in mid-interval sends before the client
// plays: the access unit's parameter sets, never its picture.
#include "rtsp/parameter_sets.h"

#include <gtest/gtest.h>

namespace camsim::rtsp {
namespace {

using Bytes = std::vector<uint8_t>;

struct ParameterSetCase {
    const char* what;
    RtspCodec codec;
    Bytes accessUnit;
    Bytes expected;
};

class ParameterSetsTest : public ::testing::TestWithParam<ParameterSetCase> {};

TEST_P(ParameterSetsTest, KeepsOnlyParameterSetsAndDelimiters) {
    EXPECT_EQ(parameterSetsOnly(GetParam().accessUnit, GetParam().codec), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Units, ParameterSetsTest,
    ::testing::Values(
        // delimiter, SPS, PPS (3-byte start code), SEI, key slice
        ParameterSetCase{"H264KeyPicture", RtspCodec::H264,
                         Bytes{0,    0, 0, 1, 0x09, 0xF0, 0,    0, 0, 1, 0x67, 0x42, 0x00, 0x00, 1,   0x68,
                               0xCE, 0, 0, 0, 1,    0x06, 0x05, 0, 0, 0, 1,    0x65, 0x88, 0x84, 0x00},
                         Bytes{0, 0, 0, 1, 0x09, 0xF0, 0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68, 0xCE}},
        ParameterSetCase{"H264PictureOnly", RtspCodec::H264, Bytes{0, 0, 0, 1, 0x41, 0x9A, 0x00}, Bytes{}},
        // VPS, SPS, PPS, key slice (IDR_W_RADL)
        ParameterSetCase{
            "H265KeyPicture", RtspCodec::H265, Bytes{0, 0, 0, 1, 0x40, 0x01, 0x0C, 0, 0, 0, 1, 0x42, 0x01, 0x01,
                                                     0, 0, 0, 1, 0x44, 0x01, 0xC1, 0, 0, 0, 1, 0x26, 0x01, 0xAF},
            Bytes{0, 0, 0, 1, 0x40, 0x01, 0x0C, 0, 0, 0, 1, 0x42, 0x01, 0x01, 0, 0, 0, 1, 0x44, 0x01, 0xC1}},
        ParameterSetCase{"NoStartCode", RtspCodec::H264, Bytes{0x67, 0x42, 0x00}, Bytes{}},
        ParameterSetCase{"CutAfterStartCode", RtspCodec::H264, Bytes{0, 0, 1}, Bytes{}},
        ParameterSetCase{"Jpeg", RtspCodec::Mjpeg, Bytes{0xFF, 0xD8, 0, 0, 1, 0x67}, Bytes{}}),
    [](const ::testing::TestParamInfo<ParameterSetCase>& info) { return std::string(info.param.what); });

} // namespace
} // namespace camsim::rtsp
