#include "platform/processor.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace {

TEST(ProcessorInfoTest, ReadsModelNameOfPersonalComputers) {
    const auto info = platform::parseCpuInfo(
        "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) i5 CPU\nflags\t\t: fpu\n"
        "processor\t: 1\nmodel name\t: Intel(R) Core(TM) i5 CPU\n");
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.name, "Intel(R) Core(TM) i5 CPU");
    EXPECT_EQ(info.coreName, "");
}

TEST(ProcessorInfoTest, ReadsProcessorAndHardwareOfArmBoards) {
    const auto info = platform::parseCpuInfo("Processor\t: XScale-PXA270 rev 7 (v5l)\nBogoMIPS\t: 623.00\n"
                                             "Hardware\t: Intel PXA27x board\r\n");
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.name, "XScale-PXA270 rev 7 (v5l)");
    EXPECT_EQ(info.coreName, "Intel PXA27x board");
}

TEST(ProcessorInfoTest, EmptyOrUnreadableGivesNotOk) {
    EXPECT_FALSE(platform::parseCpuInfo("").ok);
    EXPECT_FALSE(platform::parseCpuInfo("garbage without colons\n\n").ok);
    EXPECT_FALSE(platform::readProcessorInfo("/nonexistent/cpuinfo").ok);
}

TEST(ProcessorInfoTest, ReadsAFile) {
    const std::string path = ::testing::TempDir() + "cpuinfo_test." + std::to_string(::getpid()) + ".txt";
    {
        std::ofstream out(path);
        out << "model name : Test CPU\n";
    }
    const auto info = platform::readProcessorInfo(path);
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.name, "Test CPU");
    std::remove(path.c_str());
}

} // namespace
