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
        ASSERT_TRUE(saveWallSettings(list, {.layout = WallLayout::Grid3x3, .page = 1}));
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

TEST_F(WallSettingsTest, LayoutsTourAndScreenComeBackAsSaved) {
    writeFile(path_, "[2]\nCameraIP=127.0.0.1\n");
    WallSettings saved{.layout = WallLayout::Grid3x3, .page = 1};
    saved.arrangements = {{"Gate = front", WallLayout::BigAndSeven, {4, std::nullopt, 0, 1, 2, 3, 5, 15}},
                          WallArrangement::of("Yard", WallLayout::Single, {9})};
    saved.shown = 2;
    saved.tour = {{0, 2}, 30, false};
    saved.screen = 1;
    {
        CameraList list(path_);
        ASSERT_TRUE(saveWallSettings(list, saved));
    }
    const std::string file = readFile(path_);
    EXPECT_NE(file.find("[WallLayouts]\nCount=2\nShown=2\nName1=Gate = front\nGrid1=8\nCells1=5,-,1,2,3,4,6,16\n"),
              std::string::npos)
        << file;
    CameraList list(path_);
    EXPECT_EQ(loadWallSettings(list), saved);
    EXPECT_EQ(textOf(list.record(2)->host), "127.0.0.1");
}

TEST_F(WallSettingsTest, AnOlderFileOrAnUnreadableLayoutLeavesTheRestAsItWas) {
    const std::string older = "[Wall]\nWallLayout=9\nWallPage=1\n[2]\nCameraIP=127.0.0.1\n";
    writeFile(path_, older);
    {
        CameraList list(path_);
        const WallSettings settings = loadWallSettings(list);
        EXPECT_EQ(settings.layout, WallLayout::Grid3x3);
        EXPECT_TRUE(settings.arrangements.empty());
        EXPECT_EQ(settings.shown, 0);
        EXPECT_EQ(settings.screen, -1);
        EXPECT_EQ(settings.tour, WallTourSettings{});
    }
    EXPECT_EQ(readFile(path_).substr(0, older.size()), older);

    writeFile(path_, "[2]\nCameraIP=127.0.0.1\n[WallLayouts]\nCount=3\nShown=3\n"
                     "Name1=Broken\nGrid1=5\nCells1=1\n"
                     "Name2=Short\nGrid2=4\nCells2=1,2\n"
                     "Name3=Kept\nGrid3=1\nCells3=3\n");
    CameraList list(path_);
    const WallSettings settings = loadWallSettings(list);
    ASSERT_EQ(settings.arrangements.size(), 1u);
    EXPECT_EQ(settings.arrangements[0].name, "Kept");
    EXPECT_EQ(settings.shown, 1);
    EXPECT_EQ(textOf(list.record(2)->host), "127.0.0.1");
}

} // namespace
} // namespace tavolin
