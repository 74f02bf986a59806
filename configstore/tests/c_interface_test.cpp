// The five C exports of Ledra-M, driven through the shared library.
#include <gtest/gtest.h>

#include <string>

#include "errors.h"
#include "handle.h"
#include "ledra/config_store.h"
#include "test_files.h"

namespace {

using ledra::test::fileExists;
using ledra::test::readFile;
using ledra::test::TempDir;
using ledra::test::writeFile;

TEST(LedraCInterfaceTest, NullHandleDoesNothing) {
    const char* value = CM_GetValue(nullptr, "k", "A", "/nonexistent/x");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "");
    EXPECT_EQ(CM_SetValue(nullptr, "k", "v", "A", "/nonexistent/x"), 0);
    EXPECT_EQ(CM_Save(nullptr), 0);
    CM_CloseInterface(nullptr);
}

TEST(LedraCInterfaceTest, CloseWritesTheFileOnceMore) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    writeFile(path, "[0]\nCameraName=Door\n");
    CM_Store* store = CM_OpenInterface();
    ASSERT_NE(store, nullptr);
    EXPECT_STREQ(CM_GetValue(store, "CameraName", "0", path.c_str()), "Door");
    EXPECT_EQ(CM_SetValue(store, "CameraName", "Gate", "0", path.c_str()), 1);
    EXPECT_EQ(readFile(path), "[0]\nCameraName=Door\n"); // nothing written before save or close
    CM_CloseInterface(store);
    EXPECT_EQ(readFile(path), "[0]\nCameraName=Gate\n");
}

TEST(LedraCInterfaceTest, SaveResultFollowsTheDisk) {
    TempDir dir;
    CM_Store* good = CM_OpenInterface();
    const std::string path = dir.file("Tavolin.txt");
    EXPECT_EQ(CM_SetValue(good, "k", "v", "A", path.c_str()), 1);
    EXPECT_EQ(CM_Save(good), 1);
    CM_CloseInterface(good);

    CM_Store* bad = CM_OpenInterface();
    const std::string missing = dir.file("gone/Tavolin.txt");
    EXPECT_EQ(CM_SetValue(bad, "k", "v", "A", missing.c_str()), 1);
    EXPECT_EQ(CM_Save(bad), 0);
    EXPECT_STREQ(ledra::storeOf(bad).lastError(), ledra::errors::kOpenFile);
    CM_CloseInterface(bad);
    EXPECT_FALSE(fileExists(missing));
}

TEST(LedraCInterfaceTest, UnloadedHandleClosesWithoutWriting) {
    CM_Store* store = CM_OpenInterface();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(CM_Save(store), 0);
    EXPECT_FALSE(ledra::storeOf(store).isLoaded());
    CM_CloseInterface(store);
}

} // namespace
