#include "picture_scan.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using namespace ostrel::test;
using ostrel::containsIntraPicture;
using ostrel::parseVideoObjectLayer;

bool intra(const std::vector<uint8_t>& d) { return containsIntraPicture(d.data(), d.size()); }
ostrel::PictureSize parse(const std::vector<uint8_t>& d) { return parseVideoObjectLayer(d.data(), d.size()); }

TEST(IntraPictureTest, IntraCodingTypeIsFound) { EXPECT_TRUE(intra({0x00, 0x00, 0x01, 0xB6, 0x00})); }

TEST(IntraPictureTest, PredictedPictureStopsTheScan) {
    std::vector<uint8_t> d = pictureStart(1);
    append(d, pictureStart(0)); // a later intra start code is not looked at
    EXPECT_FALSE(intra(d));
}

TEST(IntraPictureTest, OtherCodingTypesAreSkipped) {
    std::vector<uint8_t> d = pictureStart(2);
    append(d, pictureStart(3));
    append(d, pictureStart(0));
    EXPECT_TRUE(intra(d));
    std::vector<uint8_t> e = pictureStart(3);
    append(e, pictureStart(1));
    EXPECT_FALSE(intra(e));
}

TEST(IntraPictureTest, NoStartCodeOrTruncatedStartCodeIsNotFound) {
    EXPECT_FALSE(intra({}));
    EXPECT_FALSE(intra({0x00, 0x00, 0x01, 0xB3, 0x00}));
    EXPECT_FALSE(intra({0x00, 0x00, 0x01, 0xB6})); // no coding type byte
    EXPECT_FALSE(containsIntraPicture(nullptr, 10));
}

TEST(IntraPictureTest, StartCodeAfterSequenceHeadersIsFound) {
    EXPECT_TRUE(intra(intraData(352, 240, 1, 2, 3)));
    EXPECT_FALSE(intra(predictedData(1, 2, 3)));
}

TEST(TimeIncrementBitsTest, BitsNeededForResolutionMinusOne) {
    EXPECT_EQ(ostrel::timeIncrementBits(30), 5);
    EXPECT_EQ(ostrel::timeIncrementBits(32), 5);
    EXPECT_EQ(ostrel::timeIncrementBits(33), 6);
    EXPECT_EQ(ostrel::timeIncrementBits(2), 1);
    EXPECT_EQ(ostrel::timeIncrementBits(1), 1);
    EXPECT_EQ(ostrel::timeIncrementBits(25), 5);
    EXPECT_EQ(ostrel::timeIncrementBits(65535), 16);
}

TEST(FitIntoTest, TheLargestSizeOfTheAspectThatFitsNeverLarger) {
    struct Case {
        ostrel::PictureSize picture;
        int width, height;
        ostrel::PictureSize fitted;
    };
    const Case cases[] = {
        {{720, 480}, 480, 270, {405, 270}}, {{720, 480}, 480, 400, {480, 320}}, {{720, 480}, 1920, 1080, {720, 480}},
        {{352, 240}, 240, 135, {198, 135}}, {{720, 480}, 0, 270, {720, 480}},   {{0, 0}, 480, 270, {0, 0}},
        {{8191, 2}, 100, 100, {100, 1}},
    };
    for (const Case& c : cases) {
        const auto fitted = ostrel::fitInto(c.picture, c.width, c.height);
        EXPECT_EQ(fitted.width, c.fitted.width) << c.picture.width << "x" << c.picture.height << " in " << c.width;
        EXPECT_EQ(fitted.height, c.fitted.height) << c.picture.width << "x" << c.picture.height << " in " << c.width;
    }
}

TEST(VideoObjectLayerTest, ObjectTypeZeroGivesTheSize) {
    const auto size = parse(volHeader(0, 30, 1, 720, 480));
    EXPECT_EQ(size.width, 720);
    EXPECT_EQ(size.height, 480);
}

TEST(VideoObjectLayerTest, ObjectTypeOneGivesTheSize) {
    const auto size = parse(volHeader(1, 25, 1, 352, 288));
    EXPECT_EQ(size.width, 352);
    EXPECT_EQ(size.height, 288);
}

TEST(VideoObjectLayerTest, IncrementWidthFollowsTheResolution) {
    EXPECT_EQ(parse(volHeader(0, 1, 1, 176, 144, 0)).width, 176);
    EXPECT_EQ(parse(volHeader(0, 1, 1, 176, 144, 0)).height, 144);
    EXPECT_EQ(parse(volHeader(1, 32, 1, 640, 480, 31)).width, 640);
    EXPECT_EQ(parse(volHeader(1, 30000, 1, 160, 112, 1001)).height, 112);
}

TEST(VideoObjectLayerTest, LargestThirteenBitSizes) {
    const auto size = parse(volHeader(0, 30, 1, 8191, 8190));
    EXPECT_EQ(size.width, 8191);
    EXPECT_EQ(size.height, 8190);
}

TEST(VideoObjectLayerTest, OtherObjectTypesGiveZero) {
    const auto size = parse(volHeader(2, 30, 1, 720, 480));
    EXPECT_EQ(size.width, 0);
    EXPECT_EQ(size.height, 0);
    EXPECT_EQ(parse(volHeader(17, 30, 1, 720, 480)).width, 0);
}

TEST(VideoObjectLayerTest, VariablePictureRateGivesZero) {
    EXPECT_EQ(parse(volHeader(0, 30, 0, 720, 480)).width, 0);
    EXPECT_EQ(parse(volHeader(1, 30, 0, 720, 480)).height, 0);
}

TEST(VideoObjectLayerTest, HeaderIsFoundAfterOtherBytes) {
    const auto size = parse(intraData(320, 240, 0, 0, 0));
    EXPECT_EQ(size.width, 320);
    EXPECT_EQ(size.height, 240);
}

TEST(VideoObjectLayerTest, MissingOrCutHeaderGivesZero) {
    EXPECT_EQ(parse({}).width, 0);
    EXPECT_EQ(parse(predictedData(1, 2, 3)).width, 0);
    // A video object start code followed by something else is not a header.
    std::vector<uint8_t> other = volHeader(0, 30, 1, 720, 480);
    other[7] = 0x21;
    EXPECT_EQ(parse(other).width, 0);
    // The header needs all 21 bytes.
    std::vector<uint8_t> cut = volHeader(0, 30, 1, 720, 480);
    cut.resize(20);
    EXPECT_EQ(parse(cut).width, 0);
    std::vector<uint8_t> late(30, 0xFF);
    append(late, cut);
    EXPECT_EQ(parse(late).width, 0);
}

TEST(VideoObjectLayerTest, ArbitraryBytesNeverReadPastTheEnd) {
    // Every prefix of a valid header, and the header followed by noise.
    const std::vector<uint8_t> full = volHeader(1, 30, 1, 352, 240);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const auto size = parse(part);
        if (n < full.size()) {
            EXPECT_EQ(size.width, 0) << n;
        } else {
            EXPECT_EQ(size.width, 352);
        }
    }
}

} // namespace
