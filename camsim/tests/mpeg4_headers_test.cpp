#include "camsim/mpeg4_headers.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

// Reads big-endian bit fields, bit 0 being the top bit of byte 0.
uint32_t bitsAt(const std::vector<uint8_t>& b, int position, int width) {
    uint32_t v = 0;
    for (int i = 0; i < width; ++i) {
        const int p = position + i;
        v = (v << 1) | ((b[static_cast<std::size_t>(p / 8)] >> (7 - p % 8)) & 1u);
    }
    return v;
}

TEST(VideoObjectLayerTest, MatchesTheTwoPublishedTableEntries) {
    const std::vector<uint8_t> ntsc30 = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xc8, 0x88,
                                         0xba, 0x98, 0x60, 0xfa, 0x62, 0xd0, 0x87, 0x82, 0x83, 0x07};
    const std::vector<uint8_t> small1 = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xc8, 0x88,
                                         0x89, 0xc4, 0x63, 0xe9, 0x82, 0x82, 0x07, 0x0a, 0x0c, 0x1f};
    EXPECT_EQ(videoObjectLayerHeader(720, 480, cameraTimeResolution(0, 30)), ntsc30);
    EXPECT_EQ(videoObjectLayerHeader(160, 112, cameraTimeResolution(2, 1)), small1);
}

TEST(VideoObjectLayerTest, EveryTableCombinationIsTwentyOneBytes) {
    const int sizes[6][2] = {{720, 480}, {352, 240}, {160, 112}, {720, 576}, {352, 288}, {176, 144}};
    for (int code = 0; code < 6; ++code) {
        for (int rate = 1; rate <= 30; ++rate) {
            EXPECT_EQ(videoObjectLayerHeader(sizes[code][0], sizes[code][1], cameraTimeResolution(code, rate)).size(),
                      21u)
                << code << " " << rate;
        }
    }
}

TEST(VideoObjectLayerTest, FieldsSitWhereAFixedPositionReaderLooks) {
    // A layer header with layer identifier and without control parameters:
    // type at 65, resolution at 89, fixed-rate flag at 106, then k bits of
    // increment, width at k + 108 and height at k + 122.
    const std::vector<uint8_t> h = videoObjectLayerHeader(640, 480, 12000);
    const int k = 14; // 11999 needs 14 bits
    EXPECT_EQ(bitsAt(h, 65, 8), 1u);
    EXPECT_EQ(bitsAt(h, 89, 16), 12000u);
    EXPECT_EQ(bitsAt(h, 106, 1), 1u);
    EXPECT_EQ(bitsAt(h, 107, k), 1001u);
    EXPECT_EQ(bitsAt(h, k + 108, 13), 640u);
    EXPECT_EQ(bitsAt(h, k + 122, 13), 480u);
}

TEST(CameraTimeResolutionTest, FollowsFrameRateWithinItsBounds) {
    EXPECT_EQ(cameraTimeResolution(4, 25), 25000);
    EXPECT_EQ(cameraTimeResolution(4, 30), 25000);
    EXPECT_EQ(cameraTimeResolution(4, 3), 5000);
    EXPECT_EQ(cameraTimeResolution(0, 30), 30000);
    EXPECT_EQ(cameraTimeResolution(1, 7), 7000);
}

TEST(CameraTimeResolutionTest, IncrementWidthIsTheBitsOfResolutionMinusOne) {
    EXPECT_EQ(timeIncrementBits(30), 5);
    EXPECT_EQ(timeIncrementBits(32), 5);
    EXPECT_EQ(timeIncrementBits(33), 6);
    EXPECT_EQ(timeIncrementBits(1), 1);
    EXPECT_EQ(timeIncrementBits(5000), 13);
    EXPECT_EQ(timeIncrementBits(30000), 15);
}

TEST(VisualObjectSequenceTest, PutsTheLayerAtOffsetTenOfTheHeaders) {
    const std::vector<uint8_t> v = visualObjectSequenceHeader();
    EXPECT_EQ(v, (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB0, 0xF5, 0x00, 0x00, 0x01, 0xB5, 0x09}));
}

} // namespace
} // namespace camsim
