#include "live/stream_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tavolin::ui {
namespace {

class StreamRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        record = defaultCameraRecord(4);
        setText(record.host, "127.0.0.1");
        record.channel = 2;
        record.registerPort = 7000;
        record.controlPort = 7001;
        record.streamingPort = 7002;
        record.httpPort = 8080;
        std::memset(&config, 0xAB, sizeof config);
    }

    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(&config); }
    int32_t wordAt(std::size_t offset) const {
        int32_t v;
        std::memcpy(&v, bytes() + offset, sizeof v);
        return v;
    }

    CameraRecord record{};
    MediaConfig config{};
};

TEST_F(StreamRecordsTest, ConnectionRecordTakesTheRecordsFieldsAtTheirOffsets) {
    fillMediaConfig(config, record);
    EXPECT_EQ(wordAt(0), 2);
    EXPECT_EQ(wordAt(4), 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes() + 8), "127.0.0.1");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes() + 296), "Admin");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes() + 360), "604217");
    EXPECT_EQ(wordAt(424), 7000);
    EXPECT_EQ(wordAt(428), 7002);
    EXPECT_EQ(wordAt(432), 7001);
    EXPECT_EQ(wordAt(448), 8080);
    EXPECT_EQ(wordAt(464), 3);
    // The second address and the spare words are not the view's to write.
    EXPECT_EQ(bytes()[24], 0xAB);
    EXPECT_EQ(bytes()[436], 0xAB);
    EXPECT_EQ(bytes()[452], 0xAB);
}

TEST_F(StreamRecordsTest, UnreachableRecordClearsTheConnectionRecord) {
    for (auto spoil : {+[](CameraRecord& r) { r.controlPort = 0; }, +[](CameraRecord& r) { r.streamingPort = 0; },
                       +[](CameraRecord& r) { setText(r.host, "1.2.3"); }}) {
        CameraRecord bad = record;
        spoil(bad);
        EXPECT_FALSE(recordCanConnect(bad));
        std::memset(&config, 0xAB, sizeof config);
        prepareMediaConfig(config, bad);
        EXPECT_EQ(config.connectionType, 0);
        EXPECT_EQ(config.cameraAddress[0], '\0');
    }
    setText(record.host, "1.2.3.4");
    EXPECT_TRUE(recordCanConnect(record));
}

TEST_F(StreamRecordsTest, RtspAndOnvifRecordsNeedOnlyTheirAddressWhichReachesTheClientWhole) {
    const std::string url = "rtsp://127.0.0.1:8554/" + std::string(sizeof record.host - 23, 'p');
    for (int32_t type : {4, 5}) {
        CameraRecord r = record;
        r.streamingType = type;
        r.controlPort = 0;
        r.streamingPort = 0;
        setText(r.host, "cam");
        EXPECT_TRUE(recordCanConnect(r)) << type;
        setText(r.host, url);
        prepareMediaConfig(config, r);
        EXPECT_EQ(std::string(config.cameraAddress), url) << type;
        setText(r.host, "");
        EXPECT_FALSE(recordCanConnect(r)) << type;
    }
    // A protocol 2 record never hands more than its 15 bytes on.
    setText(record.host, url);
    prepareMediaConfig(config, record);
    EXPECT_EQ(std::string(config.cameraAddress), url.substr(0, 15));
}

TEST_F(StreamRecordsTest, PtzEnableRecordCarriesFileAndAddress) {
    record.ptzSourceType = 1;
    setText(record.ptzVendor, "Vendor");
    setText(record.ptzProtocol, "Proto");
    setText(record.ptzProtocolFile, "/opt/tavolin/protocol/dome.ptz");
    record.ptzAddress = 5;
    const PTZEnableInfo info = makePtzEnableInfo(record);
    EXPECT_EQ(info.sourceType, 1);
    EXPECT_STREQ(info.vendorName, "Vendor");
    EXPECT_STREQ(info.protocolName, "Proto");
    EXPECT_STREQ(info.fileName, "/opt/tavolin/protocol/dome.ptz");
    EXPECT_EQ(info.addressId, 5);
}

TEST_F(StreamRecordsTest, RenderInformationCoversTheScreenFromTheCorner) {
    const RenderInfo info = makeRenderInfo(77, QSize(320, 240));
    EXPECT_EQ(info.window, 77u);
    EXPECT_EQ(info.left, 0);
    EXPECT_EQ(info.top, 0);
    EXPECT_EQ(info.width, 320);
    EXPECT_EQ(info.height, 240);
}

TEST_F(StreamRecordsTest, NameTextNumbersFromOne) {
    setText(record.name, "Gate \xC3\xA9st");
    EXPECT_EQ(cameraNameText(4, record), QString::fromUtf8(" 5 - Gate \xC3\xA9st"));
}

} // namespace
} // namespace tavolin::ui
