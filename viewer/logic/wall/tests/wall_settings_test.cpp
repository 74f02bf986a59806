// The wall's layout and page in the settings file, beside the cameras.
#include <gtest/gtest.h>

#include <string>

#include "../../model/tests/temp_folder.h"
#include "tavolin/camera_list.h"
#include "tavolin/wall_settings.h"

namespace tavolin {
namespace {

using test::readFile;
using test::TempFolder;
using test::writeFile;

class WallSettingsTest : public ::testing::Test {
protected:
    TempFolder folder_;
    std::string path_ = folder_.file("Tavolin.txt");
};

TEST_F(WallSettingsTest, MissingOrUnknownValuesGiveTheDefaults) {
    for (const char* file : {"", "[Wall]\nWallLayout=5\nWallPage=-2\n", "[Wall]\nWallLayout=big\nWallPage=x\n"}) {
        SCOPED_TRACE(file);
        writeFile(path_, file);
        CameraList list(path_);
        const WallSettings settings = loadWallSettings(list);
        EXPECT_EQ(settings.layout, kDefaultWallLayout);
        EXPECT_EQ(settings.page, 0);
    }
}

TEST_F(WallSettingsTest, TheWallSectionLivesBesideTheCameras) {
    writeFile(path_, "[3]\nCameraIP=127.0.0.1\n");
    {
        CameraList list(path_);
        ASSERT_TRUE(saveWallSettings(list, {WallLayout::Grid3x3, 1}));
        CameraRecord record = *list.record(3);
        setText(record.name, "Gate");
        ASSERT_TRUE(list.saveRecord(record));
    }
    EXPECT_NE(readFile(path_).find("[Wall]\nWallLayout=9\nWallPage=1\n"), std::string::npos) << readFile(path_);
    CameraList list(path_);
    EXPECT_EQ(loadWallSettings(list).layout, WallLayout::Grid3x3);
    EXPECT_EQ(loadWallSettings(list).page, 1);
    EXPECT_EQ(textOf(list.record(3)->name), "Gate");
    EXPECT_EQ(textOf(list.record(3)->host), "127.0.0.1");
    EXPECT_EQ(textOf(list.record(4)->host), "192.168.0.100");
}

} // namespace
} // namespace tavolin
