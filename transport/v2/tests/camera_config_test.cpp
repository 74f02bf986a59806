#include "camera_config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace fenwa20 {
namespace {

// Expected texts below are written out by hand from the camera's query
// formats, not produced by the code under test.
class QueryForms : public ::testing::Test {
protected:
    QueryIdentity noChannel{"http://10.1.2.3:8080/cgi-bin/", "admin", "secret", 0};
    QueryIdentity channel3{"http://10.1.2.3:8080/cgi-bin/", "admin", "secret", 3};
    VideoConfig video{1, 4, 9, 11, 12, 13, 14, 25}; // standard, resolution, bit rate, bri, con, sat, hue, fps
};

TEST_F(QueryForms, SetVideoWithoutChannel) {
    EXPECT_EQ(videoSetQuery(noChannel, video),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&VIDEO_BITRATE=9&VIDEO_RESOLUTION=P352x288"
              "&VIDEO_FPS_NUM=25&VIDEO_BRIGHTNESS=11&VIDEO_CONTRAST=12&VIDEO_HUE=14&VIDEO_SATURATION=13");
}

TEST_F(QueryForms, SetVideoWithChannel) {
    EXPECT_EQ(videoSetQuery(channel3, video),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&CHANNEL=3&VIDEO_BITRATE=9"
              "&VIDEO_RESOLUTION=P352x288&VIDEO_FPS_NUM=25&VIDEO_BRIGHTNESS=11&VIDEO_CONTRAST=12&VIDEO_HUE=14"
              "&VIDEO_SATURATION=13");
}

TEST_F(QueryForms, UnknownResolutionCodeIsSentAsFullNtsc) {
    video.resolutionCode = 7;
    EXPECT_NE(videoSetQuery(noChannel, video).find("&VIDEO_RESOLUTION=N720x480&"), std::string::npos);
    video.resolutionCode = -1;
    EXPECT_NE(videoSetQuery(noChannel, video).find("&VIDEO_RESOLUTION=N720x480&"), std::string::npos);
    video.resolutionCode = 192;
    EXPECT_NE(videoSetQuery(noChannel, video).find("&VIDEO_RESOLUTION=P640x480&"), std::string::npos);
}

TEST_F(QueryForms, GetVideoWithAndWithoutChannel) {
    EXPECT_EQ(videoGetQuery(noChannel),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&VIDEO_BITRATE&VIDEO_RESOLUTION"
              "&VIDEO_FPS_NUM&VIDEO_BRIGHTNESS&VIDEO_CONTRAST&VIDEO_HUE&VIDEO_SATURATION");
    EXPECT_EQ(videoGetQuery(channel3),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&CHANNEL=3&VIDEO_BITRATE&VIDEO_RESOLUTION"
              "&VIDEO_FPS_NUM&VIDEO_BRIGHTNESS&VIDEO_CONTRAST&VIDEO_HUE&VIDEO_SATURATION");
}

TEST_F(QueryForms, GetMotionWithAndWithoutChannel) {
    EXPECT_EQ(motionGetQuery(noChannel),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&MOTION_ENABLED&MOTION_STATUS");
    EXPECT_EQ(motionGetQuery(channel3),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&CHANNEL=3&MOTION_ENABLED&MOTION_STATUS");
}

class MotionForms : public QueryForms {
protected:
    void SetUp() override {
        // Region r: window values r1..r4, fifth value r5.
        info.enabled = 1;
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 4; ++k) info.window[r][k] = (r + 1) * 10 + k + 1;
            info.fifth[r] = (r + 1) * 10 + 5;
        }
    }
    MotionInfo info{};
};

TEST_F(MotionForms, OneRegionWithoutChannel) {
    info.regionCount = 1;
    EXPECT_EQ(motionSetQuery(noChannel, info).value(),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&MOTION_ENABLED=1"
              "&MOTION_SETTING=1,11,12,13,14,15");
}

TEST_F(MotionForms, OneRegionWithChannel) {
    info.regionCount = 1;
    EXPECT_EQ(motionSetQuery(channel3, info).value(),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&CHANNEL=3&MOTION_ENABLED=1"
              "&MOTION_SETTING=1,11,12,13,14,15");
}

TEST_F(MotionForms, TwoRegionsWithoutChannel) {
    info.regionCount = 2;
    EXPECT_EQ(motionSetQuery(noChannel, info).value(),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&MOTION_ENABLED=1"
              "&MOTION_SETTING=1,11,12,13,14,15&MOTION_SETTING=2,21,22,23,24,25");
}

TEST_F(MotionForms, TwoRegionsWithChannel) {
    info.regionCount = 2;
    EXPECT_EQ(motionSetQuery(channel3, info).value(),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&CHANNEL=3&MOTION_ENABLED=1"
              "&MOTION_SETTING=1,11,12,13,14,15&MOTION_SETTING=2,21,22,23,24,25");
}

TEST_F(MotionForms, ThreeRegionsWithAndWithoutChannel) {
    info.regionCount = 3;
    EXPECT_EQ(motionSetQuery(noChannel, info).value(),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&MOTION_ENABLED=1"
              "&MOTION_SETTING=1,11,12,13,14,15&MOTION_SETTING=2,21,22,23,24,25&MOTION_SETTING=3,31,32,33,34,35");
    EXPECT_EQ(motionSetQuery(channel3, info).value(),
              "http://10.1.2.3:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&CHANNEL=3&MOTION_ENABLED=1"
              "&MOTION_SETTING=1,11,12,13,14,15&MOTION_SETTING=2,21,22,23,24,25&MOTION_SETTING=3,31,32,33,34,35");
}

TEST_F(MotionForms, EnabledIsOneOnlyForTheValueOne) {
    info.regionCount = 1;
    info.enabled = 2;
    EXPECT_NE(motionSetQuery(noChannel, info)->find("&MOTION_ENABLED=0&"), std::string::npos);
    info.enabled = -1;
    EXPECT_NE(motionSetQuery(noChannel, info)->find("&MOTION_ENABLED=0&"), std::string::npos);
}

TEST_F(MotionForms, RegionCountWithoutAFormSendsNothing) {
    info.regionCount = 0;
    EXPECT_FALSE(motionSetQuery(noChannel, info).has_value());
    info.regionCount = 4;
    EXPECT_FALSE(motionSetQuery(noChannel, info).has_value());
    info.regionCount = -7;
    EXPECT_FALSE(motionSetQuery(noChannel, info).has_value());
}

TEST(SerialSetting, OddParityAt9600) {
    EXPECT_EQ(serialSettingUrl("127.0.0.1", 8080, "admin", "secret", 8, 3).value(),
              "http://127.0.0.1:8080/cgi-bin/mpeg4?USER=admin&PWD=secret&SERIAL_SETTING=8O1,9600");
}

TEST(SerialSetting, FormatAndBaudTables) {
    EXPECT_EQ(serialFormatText(0).value(), "8N1");
    EXPECT_EQ(serialFormatText(24).value(), "8E1");
    EXPECT_EQ(serialBaudRate(0), 1200);
    EXPECT_EQ(serialBaudRate(7), 115200);
    EXPECT_EQ(serialBaudRate(8), 230400);
    EXPECT_EQ(serialBaudRate(9), 0);
    EXPECT_EQ(serialBaudRate(255), 0);
    EXPECT_NE(serialSettingUrl("h", 80, "u", "p", 0, 200)->find("SERIAL_SETTING=8N1,0"), std::string::npos);
}

TEST(SerialSetting, UnknownDataFormatIsNotSent) {
    EXPECT_FALSE(serialSettingUrl("h", 80, "u", "p", 1, 3).has_value());
    EXPECT_FALSE(serialSettingUrl("h", 80, "u", "p", 16, 3).has_value());
}

class VideoAnswer : public ::testing::Test {
protected:
    VideoConfig stored{9, 9, 9, 9, 9, 9, 9, 9};
};

TEST_F(VideoAnswer, FullAnswerFillsEveryField) {
    parseVideoAnswer("VIDEO_BITRATE='56K'\nVIDEO_RESOLUTION='N352x240'\nVIDEO_FPS_NUM='15'\n"
                     "VIDEO_BRIGHTNESS='40'\nVIDEO_CONTRAST='41'\nVIDEO_HUE='42'\nVIDEO_SATURATION='43'\n",
                     stored);
    EXPECT_EQ(stored.bitRateCode, 1);
    EXPECT_EQ(stored.videoStandard, 0);
    EXPECT_EQ(stored.resolutionCode, 1);
    EXPECT_EQ(stored.frameRate, 15);
    EXPECT_EQ(stored.brightness, 40);
    EXPECT_EQ(stored.contrast, 41);
    EXPECT_EQ(stored.hue, 42);
    EXPECT_EQ(stored.saturation, 43);
}

TEST_F(VideoAnswer, BitRatesMatchLongestFirst) {
    const std::pair<const char*, int> cases[] = {{"3M", 12},  {"2.5M", 11}, {"2M", 10},  {"1.5M", 9}, {"1.2M", 8},
                                                 {"1M", 7},   {"750K", 6},  {"500K", 5}, {"384K", 4}, {"256K", 3},
                                                 {"128K", 2}, {"56K", 1},   {"28K", 0}};
    for (const auto& [text, code] : cases) {
        parseVideoAnswer(std::string("VIDEO_BITRATE='") + text + "'", stored);
        EXPECT_EQ(stored.bitRateCode, code) << text;
    }
}

TEST_F(VideoAnswer, EmptyOrUnknownBitRateReadsAsOneMegabit) {
    parseVideoAnswer("VIDEO_BITRATE=''\n", stored);
    EXPECT_EQ(stored.bitRateCode, 7);
    stored.bitRateCode = 0;
    parseVideoAnswer("VIDEO_BITRATE='64K'\n", stored);
    EXPECT_EQ(stored.bitRateCode, 7);
}

TEST_F(VideoAnswer, ResolutionSetsStandardAndCode) {
    parseVideoAnswer("VIDEO_RESOLUTION='N640x480'", stored);
    EXPECT_EQ(stored.videoStandard, 0);
    EXPECT_EQ(stored.resolutionCode, 64);
    parseVideoAnswer("VIDEO_RESOLUTION='P640x480'", stored);
    EXPECT_EQ(stored.videoStandard, 1);
    EXPECT_EQ(stored.resolutionCode, 192);
    parseVideoAnswer("VIDEO_RESOLUTION='N176x120'", stored);
    EXPECT_EQ(stored.videoStandard, 0);
    EXPECT_EQ(stored.resolutionCode, 6);
}

TEST_F(VideoAnswer, UnknownResolutionReadsAsFullPal) {
    parseVideoAnswer("VIDEO_RESOLUTION='Q1x1'", stored);
    EXPECT_EQ(stored.videoStandard, 1);
    EXPECT_EQ(stored.resolutionCode, 3);
    stored = {};
    parseVideoAnswer("VIDEO_RESOLUTION=''", stored);
    EXPECT_EQ(stored.resolutionCode, 3);
}

TEST_F(VideoAnswer, AbsentKeysLeaveStoredValues) {
    parseVideoAnswer("VIDEO_HUE='-5'\nSOMETHING_ELSE='1'\n", stored);
    EXPECT_EQ(stored.hue, -5);
    EXPECT_EQ(stored.bitRateCode, 9);
    EXPECT_EQ(stored.resolutionCode, 9);
    EXPECT_EQ(stored.frameRate, 9);
    parseVideoAnswer("", stored);
    EXPECT_EQ(stored.hue, -5);
}

TEST_F(VideoAnswer, OnlyTheFirst511CharactersCount) {
    std::string answer(500, ' ');
    answer += "VIDEO_HUE='7'"; // the quote is character 511, the value lies beyond
    parseVideoAnswer(answer, stored);
    EXPECT_EQ(stored.hue, 0); // value cut off: read as an empty number
    std::string late(505, ' ');
    late += "VIDEO_CONTRAST='7'"; // the key itself crosses the limit
    parseVideoAnswer(late, stored);
    EXPECT_EQ(stored.contrast, 9);
}

TEST_F(VideoAnswer, UnterminatedValueRunsToTheEndWithoutOverrun) {
    parseVideoAnswer("VIDEO_FPS_NUM='12", stored);
    EXPECT_EQ(stored.frameRate, 12);
    parseVideoAnswer("VIDEO_FPS_NUM=", stored);
    EXPECT_EQ(stored.frameRate, 0);
}

TEST(MotionAnswer, TwoStatusLinesGiveTwoRegions) {
    const MotionInfo info =
        parseMotionAnswer("MOTION_ENABLED='0x01'\nMOTION_STATUS=1,10,20,30,40,50\nMOTION_STATUS=2,11,21,31,41,51\n");
    EXPECT_EQ(info.enabled, 1);
    EXPECT_EQ(info.regionCount, 2);
    // Region r: window values at indexes 4r-2 .. 4r+1, fifth value at 13+r.
    const int32_t* raw = reinterpret_cast<const int32_t*>(&info);
    EXPECT_EQ(raw[2], 10);
    EXPECT_EQ(raw[5], 40);
    EXPECT_EQ(raw[14], 50);
    EXPECT_EQ(raw[6], 11);
    EXPECT_EQ(raw[9], 41);
    EXPECT_EQ(raw[15], 51);
    for (int i : {10, 11, 12, 13, 16}) EXPECT_EQ(raw[i], 0) << i;
}

TEST(MotionAnswer, ThirdRegionLandsInItsOwnSlots) {
    const MotionInfo info = parseMotionAnswer("MOTION_STATUS=3,1,2,3,4,5\n");
    const int32_t* raw = reinterpret_cast<const int32_t*>(&info);
    EXPECT_EQ(raw[1], 1);
    EXPECT_EQ(raw[10], 1);
    EXPECT_EQ(raw[13], 4);
    EXPECT_EQ(raw[16], 5);
}

TEST(MotionAnswer, EnabledIsHexWithEitherPrefixCase) {
    EXPECT_EQ(parseMotionAnswer("MOTION_ENABLED='0X0A'").enabled, 10);
    EXPECT_EQ(parseMotionAnswer("MOTION_ENABLED='0x00'").enabled, 0);
    EXPECT_EQ(parseMotionAnswer("MOTION_ENABLED='0xff'").enabled, 255);
    EXPECT_EQ(parseMotionAnswer("MOTION_ENABLED='").enabled, 0);
}

TEST(MotionAnswer, RegionNumberOutsideOneToThreeWritesNothing) {
    for (const char* answer : {"MOTION_STATUS=0,1,2,3,4,5\n", "MOTION_STATUS=4,1,2,3,4,5\n",
                               "MOTION_STATUS=-1,1,2,3,4,5\n", "MOTION_STATUS=2147483647,1,2,3,4,5\n"}) {
        const MotionInfo info = parseMotionAnswer(answer);
        EXPECT_EQ(info.regionCount, 1) << answer;
        MotionInfo expected{};
        expected.regionCount = 1;
        EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0) << answer;
    }
}

TEST(MotionAnswer, ShortStatusLineStoresNothingAndDoesNotOverrun) {
    const MotionInfo info = parseMotionAnswer("MOTION_STATUS=1,5,6");
    EXPECT_EQ(info.regionCount, 1);
    EXPECT_EQ(info.window[0][0], 0);
    const MotionInfo last = parseMotionAnswer("MOTION_STATUS=2,1,2,3,4,9");
    EXPECT_EQ(last.window[1][3], 4);
    EXPECT_EQ(last.fifth[1], 9);
}

TEST(MotionAnswer, EmptyAnswerGivesAZeroRecord) {
    const MotionInfo info = parseMotionAnswer("");
    MotionInfo zero{};
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
}

} // namespace
} // namespace fenwa20
