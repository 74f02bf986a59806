// Writing the file: exact bytes, round trip, permissions, places that cannot
// be written, and the copy kept of a file whose load stopped part-way.
#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>

#include "errors.h"
#include "store.h"
#include "test_files.h"

namespace ledra {
namespace {

using test::fileExists;
using test::listFolder;
using test::permissionsOf;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Counts every file-system call a save makes.
class CountingFileOps : public FileOps {
public:
    int calls = 0;
    int open(const char* p, int f, mode_t m) override {
        ++calls;
        return FileOps::open(p, f, m);
    }
    int stat(const char* p, struct stat* st) override {
        ++calls;
        return FileOps::stat(p, st);
    }
    int rename(const char* a, const char* b) override {
        ++calls;
        return FileOps::rename(a, b);
    }
    int unlink(const char* p) override {
        ++calls;
        return FileOps::unlink(p);
    }
};

class StoreSaveTest : public ::testing::Test {
protected:
    TempDir dir_;
    std::string path_ = dir_.file("Tavolin.txt");
};

TEST_F(StoreSaveTest, WritesSectionsAndKeysWithoutBlankLines) {
    Store s;
    ASSERT_TRUE(s.setValue("CameraName", "Door", "0", path_.c_str()));
    ASSERT_TRUE(s.setValue("CameraIP", "10.0.0.5", "0", path_.c_str()));
    ASSERT_TRUE(s.setValue("CameraName", "Yard", "1", path_.c_str()));
    ASSERT_TRUE(s.setValue("Empty", "", "1", path_.c_str()));
    ASSERT_TRUE(s.save());
    EXPECT_EQ(readFile(path_), "[0]\nCameraName=Door\nCameraIP=10.0.0.5\n[1]\nCameraName=Yard\nEmpty=\n");
    EXPECT_EQ(listFolder(dir_.path()), "Tavolin.txt"); // no temporary file left
}

TEST_F(StoreSaveTest, FileWrittenByStoreLoadsBackTheSame) {
    Store a;
    for (int sec = 0; sec < 4; ++sec) {
        for (int k = 0; k < 5; ++k) {
            const std::string key = "Key" + std::to_string(4 - k);
            const std::string value = " v " + std::to_string(sec * 10 + k) + " ";
            ASSERT_TRUE(a.setValue(key.c_str(), value.c_str(), std::to_string(3 - sec).c_str(), path_.c_str()));
        }
    }
    ASSERT_TRUE(a.save());
    Store b;
    b.getValue("", "", path_.c_str());
    EXPECT_EQ(b.lastError(), nullptr);
    ASSERT_EQ(a.sections().size(), b.sections().size());
    auto sb = b.sections().begin();
    for (const Section& sa : a.sections()) {
        EXPECT_STREQ(sa.name, sb->name);
        ASSERT_EQ(sa.entries.size(), sb->entries.size());
        auto eb = sb->entries.begin();
        for (const Entry& ea : sa.entries) {
            EXPECT_STREQ(ea.key, eb->key);
            EXPECT_STREQ(ea.value, eb->value);
            ++eb;
        }
        ++sb;
    }
}

TEST_F(StoreSaveTest, MissingFileIsCreatedOwnerOnly) {
    Store s;
    EXPECT_STREQ(s.getValue("k", "A", path_.c_str()), "");
    ASSERT_TRUE(s.setValue("CameraPassword", "secret", "0", nullptr));
    ::umask(0); // even a permissive umask must not widen the file
    const bool saved = s.save();
    ::umask(022);
    ASSERT_TRUE(saved);
    EXPECT_EQ(permissionsOf(path_), 0600u);
}

TEST_F(StoreSaveTest, ExistingFileKeepsItsPermissions) {
    writeFile(path_, "[A]\nk=v\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
    Store s;
    ASSERT_TRUE(s.setValue("k", "w", "A", path_.c_str()));
    ASSERT_TRUE(s.save());
    EXPECT_EQ(permissionsOf(path_), 0640u);
    EXPECT_EQ(readFile(path_), "[A]\nk=w\n");
}

TEST_F(StoreSaveTest, UnloadedStoreWritesNothing) {
    CountingFileOps ops;
    Store s(ops);
    EXPECT_FALSE(s.save());
    EXPECT_STREQ(s.lastError(), errors::kOpenFile);
    EXPECT_EQ(ops.calls, 0);
}

TEST_F(StoreSaveTest, OverlongPathIsNeverCutOrWritten) {
    // Cutting this path to 254 characters would name a file in dir_.
    const std::string longPath = dir_.path() + "/" + std::string(300 - dir_.path().size() - 1, 'p');
    CountingFileOps ops;
    Store s(ops);
    ASSERT_TRUE(s.setValue("k", "v", "A", longPath.c_str()));
    EXPECT_FALSE(s.save());
    EXPECT_STREQ(s.lastError(), errors::kOpenFile);
    EXPECT_EQ(ops.calls, 0);
    EXPECT_EQ(listFolder(dir_.path()), "");
}

TEST_F(StoreSaveTest, MissingFolderCannotBeOpened) {
    const std::string path = dir_.file("no-such-folder/Tavolin.txt");
    Store s;
    ASSERT_TRUE(s.setValue("k", "v", "A", path.c_str()));
    EXPECT_FALSE(s.save());
    EXPECT_STREQ(s.lastError(), errors::kOpenFile);
    EXPECT_EQ(listFolder(dir_.path()), "");
}

TEST_F(StoreSaveTest, PathBelowRegularFileCannotBeOpened) {
    writeFile(dir_.file("plain"), "x");
    const std::string path = dir_.file("plain/Tavolin.txt");
    Store s;
    ASSERT_TRUE(s.setValue("k", "v", "A", path.c_str()));
    EXPECT_FALSE(s.save());
    EXPECT_STREQ(s.lastError(), errors::kOpenFile);
    EXPECT_EQ(readFile(dir_.file("plain")), "x");
}

TEST_F(StoreSaveTest, DeviceIsNeverReplaced) {
    struct stat before {};
    ASSERT_EQ(::stat("/dev/full", &before), 0);
    ASSERT_TRUE(S_ISCHR(before.st_mode));
    Store s;
    s.setValue("k", "v", "A", "/dev/full");
    EXPECT_FALSE(s.save());
    struct stat after {};
    ASSERT_EQ(::stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_FALSE(fileExists("/dev/full.tmp"));
}

TEST_F(StoreSaveTest, CleanLoadKeepsNoCopy) {
    writeFile(path_, "[A]\na=1\n");
    Store s;
    s.getValue("a", "A", path_.c_str());
    ASSERT_TRUE(s.save());
    EXPECT_FALSE(fileExists(path_ + ".bak"));
}

} // namespace
} // namespace ledra

namespace ledra {
namespace {

// Lines the store writes must fit the reader's 254-character pieces, or the
// next load stops there and the rest of the file is lost.
TEST(StoreLongLineTest, OverlongKeyLineIsCutSoTheFileLoadsBack) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    const std::string longPath = "/" + std::string(253, 'p'); // 254 characters
    Store a;
    ASSERT_TRUE(a.setValue("PTZProtocolFileName", longPath.c_str(), "0", path.c_str()));
    ASSERT_TRUE(a.setValue("StreamingType", "1", "0", nullptr));
    ASSERT_TRUE(a.setValue("CameraName", "Yard", "1", nullptr));
    ASSERT_TRUE(a.save());

    Store b;
    // 253 characters fit a line: 19 for the key, 1 for "=", 233 for the value.
    EXPECT_EQ(std::string(b.getValue("PTZProtocolFileName", "0", path.c_str())), longPath.substr(0, 233));
    EXPECT_EQ(b.lastError(), nullptr);
    EXPECT_STREQ(b.getValue("StreamingType", "0", nullptr), "1");
    EXPECT_STREQ(b.getValue("CameraName", "1", nullptr), "Yard");
}

TEST(StoreLongLineTest, OverlongSectionNameIsCutToFitItsHeaderLine) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    const std::string name(254, 's');
    Store a;
    ASSERT_TRUE(a.setValue("k", "v", name.c_str(), path.c_str()));
    ASSERT_TRUE(a.save());
    EXPECT_EQ(readFile(path), "[" + std::string(251, 's') + "]\nk=v\n");
}

} // namespace
} // namespace ledra
