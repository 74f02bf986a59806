// Conversions between a camera record and its key texts, without a file.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>

#include "record_matchers.h"
#include "tavolin/camera_settings.h"

namespace tavolin {
namespace {

class ModelRecordFromValuesTest : public ::testing::Test {
protected:
    CameraRecord load(int index = 0) {
        return recordFromValues(index, [this](const char* key) -> const char* {
            const auto it = values_.find(key);
            return it == values_.end() ? "" : it->second.c_str();
        });
    }
    std::map<std::string, std::string> values_;
};

TEST_F(ModelRecordFromValuesTest, NoValuesGiveTheDefaultRecord) {
    for (int i : {0, 7, 15}) test::expectSameRecord(load(i), defaultCameraRecord(i));
    EXPECT_EQ(textOf(load(15).name), "Camera - 16");
}

TEST_F(ModelRecordFromValuesTest, StreamingTypeThreePassesThrough) {
    values_["StreamingType"] = "3";
    EXPECT_EQ(load().streamingType, 3);
}

TEST_F(ModelRecordFromValuesTest, OnlyAnEmptyPortTakesTheDefault) {
    values_["RegisterPort"] = "abc";
    values_["ControlPort"] = "0";
    values_["StreamingPort"] = "7002x";
    const CameraRecord r = load();
    EXPECT_EQ(r.registerPort, 0u);
    EXPECT_EQ(r.controlPort, 0u);
    EXPECT_EQ(r.streamingPort, 7002u);
    EXPECT_EQ(r.httpPort, 80u);
}

TEST_F(ModelRecordFromValuesTest, FlagIsOnOnlyForExactlyOne) {
    const std::map<std::string, uint8_t> cases = {{"1", 1},   {"2", 0},  {"0", 0}, {"", 0},
                                                  {"yes", 0}, {"-1", 0}, {"01", 1}};
    for (const auto& [text, expected] : cases) {
        values_["EnablePTZ"] = text;
        values_["ShowEvent"] = text;
        const CameraRecord r = load();
        EXPECT_EQ(r.ptzEnabled, expected) << "value '" << text << "'";
        EXPECT_EQ(r.showEvents, expected) << "value '" << text << "'";
    }
}

TEST_F(ModelRecordFromValuesTest, LongTextsAreCutToTheirFields) {
    values_["CameraIP"] = "192.168.100.100:8080"; // 20 characters for a 16-byte field
    values_["CameraName"] = std::string(100, 'n');
    values_["PTZVender"] = std::string(40, 'v');
    values_["CameraUserName"] = "Guest";
    const CameraRecord r = load();
    EXPECT_EQ(std::string(r.host), "192.168.100.100");
    EXPECT_EQ(std::string(r.name), std::string(63, 'n'));
    EXPECT_EQ(std::string(r.ptzVendor), std::string(31, 'v'));
    EXPECT_EQ(std::string(r.userName), "Guest"); // the field after is untouched
}

// What the streaming type makes of the host and the reconnect default.
TEST_F(ModelRecordFromValuesTest, StreamingTypeDecidesHostWidthAndReconnectDefault) {
    const std::string longName = "camera-at-the-far-end-of-the-yard.example"; // 41 characters
    struct Case {
        std::map<std::string, std::string> values;
        std::string host;
        uint8_t autoReconnect, keepAspect;
        std::string subStream = {};
    } cases[] = {
        // Protocol 2 keeps its 15 bytes and never takes the RTSP continuation.
        {{{"CameraIP", "192.168.100.100:8080"}, {"CameraIPMore", "/more"}}, "192.168.100.100", 0, 0},
        {{{"StreamingType", "1"}, {"AutoReconnect", "1"}, {"KeepAspect", "1"}}, "192.168.0.100", 1, 1},
        {{{"StreamingType", "4"}, {"CameraIP", "rtsp://127.0.0.1/a"}, {"CameraIPMore", "/b"}},
         "rtsp://127.0.0.1/a/b",
         1,
         0},
        {{{"StreamingType", "4"}, {"AutoReconnect", "0"}}, "192.168.0.100", 0, 0},
        {{{"StreamingType", "5"}, {"CameraIP", longName}}, longName, 1, 0},
        {{{"StreamingType", "4"}, {"SubStreamURL", "rtsp://127.0.0.1/s"}, {"SubStreamURLMore", "ub"}},
         "192.168.0.100",
         1,
         0,
         "rtsp://127.0.0.1/sub"},
    };
    for (const auto& c : cases) {
        values_ = c.values;
        const CameraRecord r = load();
        EXPECT_EQ(textOf(r.host), c.host) << r.streamingType;
        EXPECT_EQ(r.autoReconnect, c.autoReconnect) << c.host;
        EXPECT_EQ(r.keepAspect, c.keepAspect) << c.host;
        EXPECT_EQ(textOf(r.subStreamUrl), c.subStream) << c.host;
    }
}

TEST(ModelParseDecimalTest, ReadsLeadingNumberOnly) {
    EXPECT_EQ(parseDecimal("6000"), 6000);
    EXPECT_EQ(parseDecimal("12abc"), 12);
    EXPECT_EQ(parseDecimal("abc"), 0);
    EXPECT_EQ(parseDecimal(""), 0);
    EXPECT_EQ(parseDecimal(" \t7"), 7);
    EXPECT_EQ(parseDecimal("-24"), -24);
    EXPECT_EQ(parseDecimal("+8"), 8);
    EXPECT_EQ(parseDecimal("- 8"), 0);
}

TEST(ModelParseDecimalTest, HugeNumbersStopAtTheRangeEnds) {
    EXPECT_EQ(parseDecimal("2147483647"), INT32_MAX);
    EXPECT_EQ(parseDecimal("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(parseDecimal("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseDecimal("-99999999999999999999999"), INT32_MIN);
}

TEST_F(ModelRecordFromValuesTest, PtzCalibrationIsReadAndWrittenOnlyWhenMeasured) {
    const std::string line = "R 0 0 0.0000:1.98,-2.01 0.3500:6.88,-6.9";
    values_ = {{"PTZCalibration", line}};
    CameraRecord r = load();
    EXPECT_EQ(textOf(r.ptzCalibration), line);
    const KeyValues saved = valuesForSave(r);
    EXPECT_EQ(saved.back(), (std::pair<const char*, std::string>{kPtzCalibrationKey, line}));
    EXPECT_TRUE(fitsSettingsLine(kPtzCalibrationKey, std::string(sizeof r.ptzCalibration - 1, '9')))
        << "the longest one the record holds fits its line";
    values_ = {};
    r = load();
    for (const auto& [key, value] : valuesForSave(r)) EXPECT_STRNE(key, kPtzCalibrationKey);
}

TEST(ModelValuesForSaveTest, UnterminatedTextIsCutToItsField) {
    CameraRecord r = defaultCameraRecord(0);
    std::memset(r.host, 'h', sizeof r.host); // no NUL inside the field
    EXPECT_EQ(valuesForSave(r)[1].second, std::string(15, 'h'));
}

TEST(ModelValuesForSaveTest, LongestUrlIsSplitSoEveryLineFitsAndOnlyRtspTypesWriteTheRest) {
    CameraRecord r = defaultCameraRecord(0);
    r.streamingType = 4;
    const std::string url = "rtsp://127.0.0.1:8554/" + std::string(sizeof r.host - 23, 'u');
    setText(r.host, url);
    setText(r.subStreamUrl, url);
    ASSERT_EQ(textOf(r.host), url);
    ASSERT_EQ(textOf(r.subStreamUrl), url);
    std::string joined;
    std::string joinedSub;
    for (const auto& [key, value] : valuesForSave(r)) {
        EXPECT_TRUE(fitsSettingsLine(key, value)) << key;
        if (std::string(key).rfind("CameraIP", 0) == 0) joined += value;
        if (std::string(key).rfind(kSubStreamKey, 0) == 0) joinedSub += value;
    }
    EXPECT_EQ(joined, url);
    EXPECT_EQ(joinedSub, url);

    r.streamingType = 2;
    const KeyValues protocolTwo = valuesForSave(r);
    EXPECT_EQ(protocolTwo[1].second, url.substr(0, 15));
    for (const auto& [key, value] : protocolTwo) {
        EXPECT_STRNE(key, kHostMoreKey);
        EXPECT_NE(std::string(key).rfind(kSubStreamKey, 0), 0u) << key;
    }
}

TEST(ModelValuesForSaveTest, PortsAndFlagsUseTheirTextForms) {
    CameraRecord r = defaultCameraRecord(0);
    r.registerPort = 4294967295u; // read back from "-1"
    r.playAudio = 7;
    const KeyValues values = valuesForSave(r);
    EXPECT_EQ(values[2].second, "-1");
    EXPECT_EQ(values[18].first, std::string("PlayAudio"));
    EXPECT_EQ(values[18].second, "1");
}

} // namespace
} // namespace tavolin
