// A save that fails half-way (full disk, failing flush, close or rename) must
// report failure and leave the old file exactly as it was, with no temporary
// file behind. The failures are injected through the store's file-system seam.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "atomic_file.h"
#include "errors.h"
#include "store.h"
#include "test_files.h"

namespace ledra {
namespace {

using testing::listFolder;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

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
  int fchmod(int fd, mode_t mode) override {
    return fail(Step::kFchmod, EPERM) ? -1 : FileOps::fchmod(fd, mode);
  }
  int close(int fd) override {
    if (step_ == Step::kClose) {
      FileOps::close(fd);  // the descriptor is gone even when close reports an error
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
  FailingFileOps ops(GetParam(), 5);  // a full disk after five bytes
  Store s(ops);
  ASSERT_TRUE(s.setValue("k", std::string(200, 'n').c_str(), "A", path_.c_str()));
  EXPECT_FALSE(s.save());
  EXPECT_STREQ(s.lastError(), errors::kWriteFile);
  EXPECT_EQ(readFile(path_), kOldFile);
  EXPECT_EQ(listFolder(dir_.path()), "Tavolin.txt");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, StoreFailingSaveTest,
                         ::testing::Values(Step::kWrite, Step::kFsync, Step::kClose, Step::kRename,
                                           Step::kFchmod));

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

TEST(StoreAtomicSaveTest, StaleTemporaryFileIsReplacedNotAppended) {
  TempDir dir;
  const std::string path = dir.file("Tavolin.txt");
  writeFile(path + ".tmp", "garbage from a crash, much longer than the new file\n");
  Store s;
  ASSERT_TRUE(s.setValue("k", "v", "A", path.c_str()));
  ASSERT_TRUE(s.save());
  EXPECT_EQ(readFile(path), "[A]\nk=v\n");
  EXPECT_EQ(listFolder(dir.path()), "Tavolin.txt");
}

TEST(StoreAtomicSaveTest, FailedBackupStopsTheOverwrite) {
  TempDir dir;
  const std::string path = dir.file("Tavolin.txt");
  const std::string original = "[A]\na=1\n\n[B]\nb=2\n";
  writeFile(path, original);
  FailingFileOps ops(Step::kWrite, 0);
  Store s(ops);
  EXPECT_STREQ(s.getValue("a", "A", path.c_str()), "1");
  EXPECT_FALSE(s.save());
  EXPECT_STREQ(s.lastError(), errors::kWriteFile);
  EXPECT_EQ(readFile(path), original);
  EXPECT_EQ(listFolder(dir.path()), "Tavolin.txt");
  EXPECT_TRUE(s.keepsOriginal());
}

TEST(StoreAtomicSaveTest, ReplaceFileRefusesSymlinkedTemporaryName) {
  TempDir dir;
  const std::string path = dir.file("Tavolin.txt");
  const std::string victim = dir.file("victim");
  writeFile(victim, "keep me");
  ASSERT_EQ(::symlink(victim.c_str(), (path + ".tmp").c_str()), 0);
  EXPECT_EQ(replaceFile(FileOps::system(), path, "[A]\n"), ReplaceResult::kOpenFailed);
  EXPECT_EQ(readFile(victim), "keep me");
}

}  // namespace
}  // namespace ledra

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
  EXPECT_TRUE(s.save());  // room again: the same store now writes
}

}  // namespace
}  // namespace ledra
