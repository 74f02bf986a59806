// A save that fails half-way (full disk, failing flush, close or rename) must
// report failure and leave the old file exactly as it was, with no temporary
// file behind. The failures are injected through the store's file-system seam.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "atomic_file.h"
#include "errors.h"
#include "store.h"
#include "test_files.h"

namespace ledra {
namespace {

using test::listFolder;
using test::readFile;
using test::TempDir;
using test::writeFile;

enum class Step { kWrite, kFsync, kClose, kRename, kFchmod };

// Real file operations, except that one step fails. Writes fail like a full
// disk once `writeBudget` bytes have gone through.
class FailingFileOps : public FileOps {
public:
    explicit FailingFileOps(Step step, size_t writeBudget = 0) : step_(step), budget_(writeBudget) {}

    ssize_t write(int fd, const void* buf, size_t size) override {
        if (step_ != Step::kWrite) return FileOps::write(fd, buf, size);
        if (budget_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        const size_t n = size < budget_ ? size : budget_;
        budget_ -= n;
        return FileOps::write(fd, buf, n);
    }
    int fsync(int fd) override { return fail(Step::kFsync, EIO) ? -1 : FileOps::fsync(fd); }
    int fchmod(int fd, mode_t mode) override { return fail(Step::kFchmod, EPERM) ? -1 : FileOps::fchmod(fd, mode); }
    int close(int fd) override {
        if (step_ == Step::kClose) {
            FileOps::close(fd); // the descriptor is gone even when close reports an error
            errno = EIO;
            return -1;
        }
        return FileOps::close(fd);
    }
    int rename(const char* from, const char* to) override {
        return fail(Step::kRename, EXDEV) ? -1 : FileOps::rename(from, to);
    }

private:
    bool fail(Step step, int error) {
        if (step_ != step) return false;
        errno = error;
        return true;
    }
    Step step_;
    size_t budget_;
};

// Splits every write into pieces of a few bytes, as a slow pipe or a signal
// can.
class ShortWriteFileOps : public FileOps {
public:
    ssize_t write(int fd, const void* buf, size_t size) override {
        if (interrupted_ = !interrupted_; interrupted_) {
            errno = EINTR;
            return -1;
        }
        return FileOps::write(fd, buf, size < 7 ? size : 7);
    }

private:
    bool interrupted_ = false;
};

const char kOldFile[] = "[A]\nk=old\n";

class StoreFailingSaveTest : public ::testing::TestWithParam<Step> {
protected:
    void SetUp() override { writeFile(path_, kOldFile); }

    TempDir dir_;
    std::string path_ = dir_.file("Tavolin.txt");
};

TEST_P(StoreFailingSaveTest, ReportsFailureAndLeavesOldFile) {
    FailingFileOps ops(GetParam(), 5); // a full disk after five bytes
    Store s(ops);
    ASSERT_TRUE(s.setValue("k", std::string(200, 'n').c_str(), "A", path_.c_str()));
    EXPECT_FALSE(s.save());
    EXPECT_STREQ(s.lastError(), errors::kWriteFile);
    EXPECT_EQ(readFile(path_), kOldFile);
    EXPECT_EQ(listFolder(dir_.path()), "Tavolin.txt");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, StoreFailingSaveTest,
                         ::testing::Values(Step::kWrite, Step::kFsync, Step::kClose, Step::kRename, Step::kFchmod));

TEST(StoreAtomicSaveTest, ShortAndInterruptedWritesStillWriteEverything) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    ShortWriteFileOps ops;
    Store s(ops);
    ASSERT_TRUE(s.setValue("CameraName", "Front door", "0", path.c_str()));
    ASSERT_TRUE(s.setValue("CameraIP", "10.1.2.3", "0", path.c_str()));
    ASSERT_TRUE(s.save());
    EXPECT_EQ(readFile(path), "[0]\nCameraName=Front door\nCameraIP=10.1.2.3\n");
}

TEST(StoreAtomicSaveTest, FileNamedLikeATemporaryIsLeftAlone) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    const std::string other = "someone else's file, much longer than the new file\n";
    writeFile(path + ".tmp", other);
    Store s;
    ASSERT_TRUE(s.setValue("k", "v", "A", path.c_str()));
    ASSERT_TRUE(s.save());
    EXPECT_EQ(readFile(path), "[A]\nk=v\n");
    EXPECT_EQ(readFile(path + ".tmp"), other);
    EXPECT_EQ(listFolder(dir.path()), "Tavolin.txt Tavolin.txt.tmp");
}

TEST(StoreAtomicSaveTest, FailedCopyOfAChangedFileStopsTheOverwrite) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    writeFile(path, "[A]\na=1\n");
    FailingFileOps ops(Step::kWrite, 0);
    Store s(ops);
    EXPECT_STREQ(s.getValue("a", "A", path.c_str()), "1");
    const std::string theirs = "[A]\na=2\n";
    writeFile(path, theirs);
    EXPECT_FALSE(s.save());
    EXPECT_STREQ(s.lastError(), errors::kWriteFile);
    EXPECT_EQ(readFile(path), theirs);
    EXPECT_EQ(listFolder(dir.path()), "Tavolin.txt");
}

TEST(StoreAtomicSaveTest, LinkInThePlaceOfATemporaryNameIsNeverFollowed) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    const std::string victim = dir.file("victim");
    writeFile(victim, "keep me");
    ASSERT_EQ(::symlink(victim.c_str(), (path + ".tmp").c_str()), 0);
    EXPECT_EQ(replaceFile(FileOps::system(), path, "[A]\n"), ReplaceResult::kOk);
    EXPECT_EQ(readFile(path), "[A]\n");
    EXPECT_EQ(readFile(victim), "keep me");
}

// Saving through a symbolic link replaces the file it points at and keeps
// the link, so a settings file kept elsewhere stays where it is.
class StoreLinkedFileTest : public ::testing::Test {
protected:
    bool isLink(const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    }
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
};

TEST_F(StoreLinkedFileTest, SaveGoesThroughARelativeLink) {
    ASSERT_EQ(::mkdir(dir.file("real").c_str(), 0700), 0);
    writeFile(dir.file("real/settings.txt"), "[A]\na=1\n");
    ASSERT_EQ(::symlink("real/settings.txt", path.c_str()), 0);
    Store s;
    ASSERT_TRUE(s.setValue("b", "2", "A", path.c_str()));
    ASSERT_TRUE(s.save());
    EXPECT_TRUE(isLink(path));
    EXPECT_EQ(readFile(dir.file("real/settings.txt")), "[A]\na=1\nb=2\n");
    EXPECT_EQ(listFolder(dir.file("real")), "settings.txt");
}

TEST_F(StoreLinkedFileTest, SaveFollowsAChainOfAbsoluteLinks) {
    writeFile(dir.file("target.txt"), "[A]\na=1\n");
    ASSERT_EQ(::symlink(dir.file("target.txt").c_str(), dir.file("middle").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("middle").c_str(), path.c_str()), 0);
    Store s;
    ASSERT_TRUE(s.setValue("a", "3", "A", path.c_str()));
    ASSERT_TRUE(s.save());
    EXPECT_TRUE(isLink(path));
    EXPECT_TRUE(isLink(dir.file("middle")));
    EXPECT_EQ(readFile(dir.file("target.txt")), "[A]\na=3\n");
}

TEST_F(StoreLinkedFileTest, LinkToAMissingFileCreatesItsTarget) {
    ASSERT_EQ(::symlink("new.txt", path.c_str()), 0);
    Store s;
    ASSERT_TRUE(s.setValue("k", "v", "A", path.c_str()));
    ASSERT_TRUE(s.save());
    EXPECT_TRUE(isLink(path));
    EXPECT_EQ(readFile(dir.file("new.txt")), "[A]\nk=v\n");
}

TEST_F(StoreLinkedFileTest, LinkLoopFailsTheSaveAndTouchesNothing) {
    ASSERT_EQ(::symlink("Tavolin.txt", path.c_str()), 0);
    Store s;
    ASSERT_TRUE(s.setValue("k", "v", "A", path.c_str()));
    EXPECT_FALSE(s.save());
    EXPECT_TRUE(isLink(path));
    EXPECT_EQ(listFolder(dir.path()), "Tavolin.txt");
}

} // namespace
} // namespace ledra

#include <csignal>

#include <sys/resource.h>

namespace ledra {
namespace {

// A real full disk, short of a small file system: the file size limit makes
// the kernel refuse the write part-way, through the real file operations.
TEST(StoreFileLimitTest, FileSizeLimitFailsSaveAndKeepsOldFile) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    writeFile(path, kOldFile);
    Store s;
    ASSERT_TRUE(s.setValue("k", std::string(200, 'n').c_str(), "A", path.c_str()));

    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = s.save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_STREQ(s.lastError(), errors::kWriteFile);
    EXPECT_EQ(readFile(path), kOldFile);
    EXPECT_EQ(listFolder(dir.path()), "Tavolin.txt");
    EXPECT_TRUE(s.save()); // room again: the same store now writes
}

} // namespace
} // namespace ledra
