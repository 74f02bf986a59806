// What start-up tells about a settings file it could not read (once, with the
// line and the file), and a settings path the store cannot keep.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include <sys/stat.h>

#include "tavolin/camera_list.h"
#include "tavolin/startup_check.h"
#include "temp_folder.h"

namespace tavolin {
namespace {

TEST(StartupCheckTest, TellsOnceWhatTheFileCouldNotGiveAndRefusesAPathTooLong) {
    test::TempFolder folder;
    const std::string bad = folder.file("bad.txt"), pipe = folder.file("pipe.txt"), good = folder.file("good.txt");
    test::writeFile(bad, "[0]\nCameraName=Door\njunk\n");
    test::writeFile(good, "\n[0]\r\n\r\nCameraName=Door\r\n");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string rest =
        "\n\nWhat could not be read shows its defaults. Changes made now are not saved to the file.";
    const std::pair<std::string, std::string> cases[] = {
        {bad, "Line 3 of " + bad + " could not be read (a line without \"=\"); the file will be left as it is." + rest},
        {pipe, pipe + " could not be read (not a regular file); the file will be left as it is." + rest},
        {good, ""},
    };
    for (const auto& [path, told] : cases) {
        CameraList list(path);
        StartupCheck check(path);
        EXPECT_EQ(check.takeLoadNotice(list), told);
        EXPECT_EQ(check.takeLoadNotice(list), "");
        EXPECT_EQ(textOf(list.record(0)->name), path == pipe ? "Camera - 1" : "Door");
        EXPECT_EQ(list.saveRecord(*list.record(0)), path == good);
    }
    EXPECT_EQ(StartupCheck(std::string(254, 'a')).refusal(), "");
    EXPECT_NE(StartupCheck(std::string(255, 'a')).refusal().find("longer than 254 bytes"), std::string::npos);
}

} // namespace
} // namespace tavolin
