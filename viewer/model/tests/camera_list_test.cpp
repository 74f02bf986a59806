// The camera list against a real settings file.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "record_matchers.h"
#include "tavolin/camera_list.h"
#include "tavolin/camera_settings.h"
#include "temp_folder.h"

namespace tavolin {
namespace {

using test::fileExists;
using test::readFile;
using test::TempFolder;
using test::writeFile;

// A default record as the file shows it, worked out by hand from the key
// table and its value forms.
std::string defaultSection(int index) {
    return "[" + std::to_string(index) + "]\n" + "CameraName=Camera - " + std::to_string(index + 1) +
           "\n"
           "CameraIP=192.168.0.100\n"
           "RegisterPort=6000\n"
           "ControlPort=6001\n"
           "StreamingPort=6002\n"
           "HTTPPort=80\n"
           "CameraUserName=Admin\n"
           "CameraPassword=604217\n"
           "UseStreamingEngine=0\n"
           "StreamingEngineIP=\n"
           "StreamingEngineUserName=\n"
           "StreamingEnginePassword=\n"
           "EnablePTZ=0\n"
           "PTZProtocolSourceType=0\n"
           "PTZVender=\n"
           "PTZProtocol=\n"
           "PTZProtocolFileName=\n"
           "JoinPatorlGroup=0\n"
           "PlayAudio=0\n"
           "Qaud=0\n"
           "ShowCameraName=0\n"
           "ShowEvent=0\n"
           "SerialControl=0\n"
           "SerialBaudRate=0\n"
           "PTZAddressID=1\n"
           "StreamingType=2\n"
           "PTZSpeed=3\n"
           "AutoReconnect=0\n"
           "KeepAspect=0\n";
}

// A record whose every field differs from the defaults and from the other
// cameras.
CameraRecord distinctRecord(int i) {
    CameraRecord r = defaultCameraRecord(i);
    const std::string n = std::to_string(i);
    setText(r.name, "Cam " + n + " = entrance");
    setText(r.host, "10.0.0." + n);
    r.registerPort = 7000 + i;
    r.controlPort = 7100 + i;
    r.streamingPort = 7200 + i;
    r.httpPort = 8000 + i;
    setText(r.userName, "user" + n);
    setText(r.password, "pw " + n + " ;#");
    r.useStreamingEngine = i % 2;
    setText(r.streamingEngineHost, "10.1.0." + n);
    setText(r.streamingEngineUser, "se-user" + n);
    setText(r.streamingEnginePassword, "se-pw" + n);
    r.ptzEnabled = (i + 1) % 2;
    r.ptzSourceType = i % 3;
    setText(r.ptzVendor, "Vendor" + n);
    setText(r.ptzProtocol, "Proto" + n);
    setText(r.ptzProtocolFile, "/opt/tavolin/protocol/cam" + n + ".ptz");
    r.inSwitchGroup = i % 2;
    r.playAudio = (i / 2) % 2;
    r.quadServer = (i / 4) % 2;
    r.showName = (i / 8) % 2;
    r.showEvents = (i + 1) % 2;
    r.serialControl = (i % 3) * 8;
    r.serialBaudRate = i % 9;
    r.ptzAddress = 1 + i % 5;
    constexpr int32_t kTypes[] = {1, 2, 4, 5};
    r.streamingType = kTypes[i % 4];
    // Every RTSP record holds a URL too long for one line of the file.
    if (r.streamingType == 4) setText(r.host, "rtsp://127.0.0.1:8554/" + std::string(250 + i, 'p'));
    if (r.streamingType == 4) setText(r.subStreamUrl, "rtsp://127.0.0.1:8554/sub" + n);
    r.ptzSpeed = 1 + i % 5;
    r.autoReconnect = (i / 3) % 2;
    r.keepAspect = (i / 5) % 2;
    return r;
}

class ModelCameraListTest : public ::testing::Test {
protected:
    TempFolder folder_;
    std::string path_ = folder_.file("Tavolin.txt");
};

TEST_F(ModelCameraListTest, NoFileGivesSixteenDefaultsAndCreatesNoFile) {
    auto list = std::make_unique<CameraList>(path_);
    for (int i = 0; i < kCameraCount; ++i) {
        const CameraRecord* r = list->record(i);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(textOf(r->name), "Camera - " + std::to_string(i + 1));
        EXPECT_EQ(textOf(r->host), "192.168.0.100");
        EXPECT_EQ(r->registerPort, 6000u);
        EXPECT_EQ(r->controlPort, 6001u);
        EXPECT_EQ(r->streamingPort, 6002u);
        EXPECT_EQ(r->httpPort, 80u);
        EXPECT_EQ(textOf(r->userName), "Admin");
        EXPECT_EQ(textOf(r->password), "604217");
        EXPECT_EQ(r->ptzEnabled | r->playAudio | r->inSwitchGroup | r->quadServer | r->showName | r->showEvents |
                      r->useStreamingEngine,
                  0);
        EXPECT_EQ(r->streamingType, 2);
        EXPECT_EQ(r->ptzAddress, 1);
        EXPECT_EQ(r->ptzSpeed, 3);
    }
    EXPECT_EQ(list->record(16), nullptr);
    EXPECT_EQ(list->record(-1), nullptr);
    EXPECT_FALSE(fileExists(path_));
    list.reset(); // closing writes the file once more
    EXPECT_TRUE(fileExists(path_));
}

TEST_F(ModelCameraListTest, SectionSevenIsCameraEight) {
    writeFile(path_, "[7]\nCameraIP=10.9.9.9\n");
    CameraList list(path_);
    EXPECT_EQ(list.record(7)->index, 7);
    EXPECT_EQ(textOf(list.record(7)->host), "10.9.9.9");
    EXPECT_EQ(textOf(list.record(7)->name), "Camera - 8");
    EXPECT_EQ(textOf(list.record(6)->host), "192.168.0.100");
}

TEST_F(ModelCameraListTest, FileValuesAreConverted) {
    writeFile(path_, "[0]\nPTZSpeed=0\nStreamingType=0\nPTZAddressID=0\nRegisterPort=abc\nEnablePTZ=2\n"
                     "[1]\nPTZSpeed=\nPTZProtocolSourceType=2\nPTZVender=VendorA\nPTZProtocol=ProtoB\n"
                     "EnablePTZ=1\n"
                     "[2]\nPTZSpeed=slow\nRegisterPort=\n");
    CameraList list(path_);
    const CameraRecord& r0 = *list.record(0);
    EXPECT_EQ(r0.ptzSpeed, 3);
    EXPECT_EQ(r0.streamingType, 2);
    EXPECT_EQ(r0.ptzAddress, 1);
    EXPECT_EQ(r0.registerPort, 0u);
    EXPECT_EQ(r0.ptzEnabled, 0);
    const CameraRecord& r1 = *list.record(1);
    EXPECT_EQ(r1.ptzSpeed, 3);
    EXPECT_EQ(r1.ptzSourceType, 2u);
    EXPECT_EQ(textOf(r1.ptzVendor), "VendorA");
    EXPECT_EQ(textOf(r1.ptzProtocol), "ProtoB");
    EXPECT_EQ(r1.ptzEnabled, 1);
    EXPECT_EQ(list.record(2)->ptzSpeed, 3);
    EXPECT_EQ(list.record(2)->registerPort, 6000u);
}

TEST_F(ModelCameraListTest, LoadStoppedPartWayGivesDefaultsForTheRest) {
    writeFile(path_, "[0]\nCameraName=Door\njunk\n[1]\nCameraName=Yard\n");
    CameraList list(path_);
    EXPECT_EQ(textOf(list.record(0)->name), "Door");
    EXPECT_EQ(textOf(list.record(1)->name), "Camera - 2");
}

TEST_F(ModelCameraListTest, SaveWritesAllKeysInFixedOrder) {
    CameraList list(path_);
    EXPECT_TRUE(list.saveRecord(defaultCameraRecord(4)));
    EXPECT_EQ(readFile(path_), defaultSection(4));
}

TEST_F(ModelCameraListTest, SaveReplacesZeroStreamingTypeInFileAndMemory) {
    CameraList list(path_);
    CameraRecord r = *list.record(0);
    r.streamingType = 0;
    r.ptzSpeed = 0;
    r.ptzAddress = 0;
    EXPECT_TRUE(list.saveRecord(r));
    EXPECT_EQ(readFile(path_), defaultSection(0));
    EXPECT_EQ(list.record(0)->streamingType, 2);
    EXPECT_EQ(list.record(0)->ptzSpeed, 3);
    EXPECT_EQ(list.record(0)->ptzAddress, 1);
}

TEST_F(ModelCameraListTest, SavedKeyKeepsItsPlaceInAnExistingSection) {
    writeFile(path_, "[0]\nPTZSpeed=4\nCustom=x\n");
    CameraList list(path_);
    CameraRecord r = *list.record(0);
    r.ptzSpeed = 5;
    ASSERT_TRUE(list.saveRecord(r));
    const std::string text = readFile(path_);
    EXPECT_EQ(text.rfind("[0]\nPTZSpeed=5\nCustom=x\nCameraName=Camera - 1\n", 0), 0u) << text;
}

TEST_F(ModelCameraListTest, SaveOutsideTheListIsRefused) {
    CameraList list(path_);
    CameraRecord r = defaultCameraRecord(16);
    EXPECT_FALSE(list.saveRecord(r));
    r.index = -1;
    EXPECT_FALSE(list.saveRecord(r));
    EXPECT_FALSE(fileExists(path_));
}

TEST_F(ModelCameraListTest, FailedWriteStillReplacesRecordInMemory) {
    CameraList list(folder_.file("missing-folder/Tavolin.txt"));
    CameraRecord r = distinctRecord(2);
    EXPECT_FALSE(list.saveRecord(r));
    test::expectSameRecord(*list.record(2), r);
}

TEST_F(ModelCameraListTest, SaveAfterCloseFailsAndKeepsRecord) {
    CameraList list(path_);
    list.close();
    EXPECT_FALSE(list.saveRecord(distinctRecord(3)));
    test::expectSameRecord(*list.record(3), defaultCameraRecord(3));
    list.close(); // a second close is harmless
}

TEST_F(ModelCameraListTest, SixteenRecordsRoundTripThroughTheFile) {
    {
        CameraList list(path_);
        for (int i = 0; i < kCameraCount; ++i) ASSERT_TRUE(list.saveRecord(distinctRecord(i)));
    }
    CameraList again(path_);
    for (int i = 0; i < kCameraCount; ++i) test::expectSameRecord(*again.record(i), distinctRecord(i));
    // Sections are in camera order, 29 keys each, one more for the rest of an
    // RTSP or ONVIF host and two for an RTSP camera's second stream; no line
    // longer than the store reads back.
    const std::string text = readFile(path_);
    std::istringstream in(text);
    size_t lines = 0;
    for (std::string line; std::getline(in, line); ++lines) EXPECT_LE(line.size(), kMaxSettingsLine) << line;
    EXPECT_EQ(lines, 16u * 30u + 8u + 4u * 2u);
    EXPECT_LT(text.find("[9]\n"), text.find("[10]\n"));
}

} // namespace
} // namespace tavolin
