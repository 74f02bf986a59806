#include "windowing/process_start.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace windowing;
namespace fs = std::filesystem;

namespace {

class DevicePathTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavolin-device-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override {
        setDeviceRoot("");
        fs::remove_all(root_);
    }

    fs::path file(const std::string& relative, const std::string& text, bool executable) {
        const fs::path path = root_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
        fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
        return path;
    }

    fs::path root_;
};

TEST_F(DevicePathTest, BackslashesBecomeFoldersUnderTheRoot) {
    const fs::path program = file("Program Files/Tavolin/Tavolin.exe", "#!/bin/sh\n", true);
    EXPECT_EQ(mapDevicePath(root_.string(), "\\Program Files\\Tavolin\\Tavolin.exe"), program.string());
    EXPECT_EQ(mapDevicePath(root_.string() + "/", "\\Program Files\\\\Tavolin\\Tavolin.exe"), program.string());
}

TEST_F(DevicePathTest, AProgramWithoutTheExtensionStandsForTheExeName) {
    const fs::path program = file("Program Files/Tavolin/Tavolin", "#!/bin/sh\n", true);
    EXPECT_EQ(mapDevicePath(root_.string(), "\\Program Files\\Tavolin\\Tavolin.EXE"), program.string());
    EXPECT_EQ(mapDevicePath(root_.string(), "\\Program Files\\Tavolin\\Other.exe"), std::nullopt);
}

TEST_F(DevicePathTest, NothingOutsideTheRootOrNotRunnableIsMapped) {
    file("outside", "#!/bin/sh\n", true);
    const fs::path inner = root_ / "inner";
    fs::create_directories(inner);
    EXPECT_EQ(mapDevicePath(inner.string(), "\\..\\outside"), std::nullopt);
    EXPECT_EQ(mapDevicePath(root_.string(), "outside"), std::nullopt); // relative
    EXPECT_EQ(mapDevicePath("", "\\outside"), std::nullopt);
    EXPECT_EQ(mapDevicePath(root_.string(), "\\"), std::nullopt);
    file("data.exe", "text\n", false);
    EXPECT_EQ(mapDevicePath(root_.string(), "\\data.exe"), std::nullopt);
    EXPECT_EQ(mapDevicePath(root_.string(), "\\inner"), std::nullopt); // a folder
}

TEST_F(DevicePathTest, StartedProgramRunsAndOutlivesTheCall) {
    const fs::path marker = root_ / "ran";
    file("Tools/Mark.exe", "#!/bin/sh\ntouch '" + marker.string() + "'\n", true);
    setDeviceRoot(root_.string());
    const int before = startedProcessCount();
    ASSERT_TRUE(startProcess("\\Tools\\Mark.exe"));
    EXPECT_EQ(startedProcessCount(), before + 1);
    for (int i = 0; i < 500 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(marker));
}

TEST_F(DevicePathTest, AProgramThatCannotBeExecutedIsAFailedStart) {
    // Executable bits, but its interpreter does not exist: exec fails after
    // the file was found, and the caller hears of it.
    file("Tools/Broken.exe", "#!/nonexistent/interpreter\n", true);
    setDeviceRoot(root_.string());
    const int before = startedProcessCount();
    EXPECT_FALSE(startProcess("\\Tools\\Broken.exe"));
    EXPECT_FALSE(startProcess("\\Tools\\Missing.exe"));
    EXPECT_EQ(startedProcessCount(), before);
}

} // namespace
