// The [Capture] settings and where snapshots and clips go by default.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "recorder/capture_settings.h"
#include "scratch_folder.h"

namespace recorder {
namespace {

TEST(CaptureFolder, DefaultFollowsTheUsersPicturesFolder) {
    test::ScratchFolder config;
    {
        std::ofstream dirs(config.file("user-dirs.dirs"));
        dirs << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    }
    struct Row {
        UserFolders folders;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {{"/home/u", "/data/pics", config.path().string()}, "/data/pics/Tavolin"},
        {{"/home/u", "", config.path().string()}, "/home/u/Bilder/Tavolin"},
        {{"/home/u", "", "/nonexistent"}, "/home/u/Pictures/Tavolin"},
    };
    for (const Row& row : rows) EXPECT_EQ(defaultCaptureFolder(row.folders), row.expected);
}

TEST(CaptureSettings, ReadsTheSectionAndKeepsDefaultsForWhatItCannotRead) {
    const std::map<std::string, std::string> values = {{"Folder", "~/cams"},
                                                       {"PreRollSeconds", "0"},
                                                       {"ClipMinutes", "5"},
                                                       {"ClipMegabytes", "-3"},
                                                       {"KeepFreeMegabytes", "2x"}};
    const auto lookup = [&](const char* key) {
        const auto at = values.find(key);
        return at == values.end() ? std::string() : at->second;
    };
    const CaptureSettings s = readCaptureSettings(lookup, {"/home/u", "", ""});
    EXPECT_EQ(s.folder, "/home/u/cams");
    EXPECT_EQ(s.preRollSeconds, 0);
    EXPECT_EQ(s.preRollMegabytes, 32);
    EXPECT_EQ(s.clipMinutes, 5);
    EXPECT_EQ(s.clipMegabytes, 1024);
    EXPECT_EQ(s.keepFreeMegabytes, 500);
    EXPECT_EQ(s.recorderSettings().clip.maxFileMs, 5 * 60 * 1000);
    EXPECT_EQ(recordOnMotionSeconds("30") + recordOnMotionSeconds("0") + recordOnMotionSeconds("x"), 30);
}

TEST(CaptureFolder, IsMadeWhenMissingAndAFolderThatCannotBeIsToldInOneLine) {
    test::ScratchFolder scratch;
    std::string message;
    EXPECT_TRUE(prepareCaptureFolder(scratch.file("a/b"), message)) << message;
    EXPECT_TRUE(std::filesystem::is_directory(scratch.file("a/b")));
    std::ofstream(scratch.file("plain")) << "x";
    EXPECT_FALSE(prepareCaptureFolder(scratch.file("plain/sub"), message));
    EXPECT_EQ(message.find('\n'), std::string::npos);
    EXPECT_NE(message.find(scratch.file("plain/sub")), std::string::npos) << message;
}

} // namespace
} // namespace recorder
