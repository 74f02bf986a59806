// What the store tolerates in a hand-written file, what makes it leave the
// file as it is, and what it keeps before it replaces a file: never a byte of
// the user's file is lost.
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "errors.h"
#include "handle.h"
#include "platform/diagnostics.h"
#include "store.h"
#include "test_files.h"

namespace ledra {
namespace {

using test::fileExists;
using test::listFolder;
using test::readFile;
using test::TempDir;
using test::writeFile;

struct Value {
    const char* section;
    const char* key;
    std::string value;
};

struct LoadCase {
    const char* name;
    std::string file;
    std::vector<Value> values; // read as these, whether the load went through or not
    std::size_t stoppedAt;     // 0: read to the end
    std::string writtenBack;   // the file after a save and a close, when read to the end
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

std::string line(char c, std::size_t length) { return "k=" + std::string(length - 2, c); }

const LoadCase kLoadCases[] = {
    {"BlankLinesAreSkipped",
     "[0]\nCameraName=Door\n\n[1]\n\n\nCameraName=Yard\n",
     {{"0", "CameraName", "Door"}, {"1", "CameraName", "Yard"}},
     0,
     "[0]\nCameraName=Door\n[1]\nCameraName=Yard\n"},
    {"CrLfLineEndsLoseTheirCarriageReturn",
     "[0]\r\nCameraIP=127.0.0.1\r\n\r\nCameraName=Door\r\n",
     {{"0", "CameraIP", "127.0.0.1"}, {"0", "CameraName", "Door"}},
     0,
     "[0]\nCameraIP=127.0.0.1\nCameraName=Door\n"},
    {"OnlyOneCarriageReturnBelongsToTheLineEnd", "[0]\nk=v\r\r\n", {{"0", "k", "v\r"}}, 0, "[0]\nk=v\r\r\n"},
    {"LineOf253CharactersIsRead",
     "[0]\n" + line('v', 253) + "\n",
     {{"0", "k", std::string(251, 'v')}},
     0,
     "[0]\n" + line('v', 253) + "\n"},
    {"LineOf254CharactersStopsTheLoad",
     "[0]\na=1\n" + line('v', 254) + "\n[1]\nb=2\n",
     {{"0", "a", "1"}, {"0", "k", ""}, {"1", "b", ""}},
     3,
     {}},
    {"NulByteStopsTheLoad", std::string("[0]\na=1\nk=ab\0cd\nz=1\n", 20), {{"0", "a", "1"}, {"0", "k", ""}}, 3, {}},
    {"LineWithoutEqualsStopsTheLoad", "[0]\na=1\n\njunk\n[1]\nb=2\n", {{"0", "a", "1"}, {"1", "b", ""}}, 4, {}},
    {"KeyBeforeAnySectionStopsTheLoad", "\nk=v\n[0]\n", {{"0", "k", ""}}, 2, {}},
};

class StoreLoadToleranceTest : public ::testing::TestWithParam<LoadCase> {
protected:
    void SetUp() override {
        previousSink_ = platform::setDiagnosticSink([this](const std::string& text) { told_.push_back(text); });
    }
    void TearDown() override { platform::setDiagnosticSink(std::move(previousSink_)); }

    TempDir dir_;
    std::string path_ = dir_.file("Tavolin.txt");
    std::vector<std::string> told_;
    platform::DiagnosticSink previousSink_;
};

TEST_P(StoreLoadToleranceTest, ReadsWhatItCanAndNeverWritesBackLess) {
    const LoadCase& c = GetParam();
    writeFile(path_, c.file);
    CM_Store* handle = CM_OpenInterface();
    for (const Value& v : c.values) {
        EXPECT_EQ(CM_GetValue(handle, v.key, v.section, path_.c_str()), v.value) << v.section << "/" << v.key;
    }
    const Store& store = storeOf(handle);
    EXPECT_EQ(store.stoppedAtLine(), c.stoppedAt);
    if (c.stoppedAt == 0) {
        EXPECT_TRUE(told_.empty());
        EXPECT_EQ(CM_Save(handle), 1);
        CM_CloseInterface(handle);
        EXPECT_EQ(readFile(path_), c.writtenBack);
        Store again;
        for (const Value& v : c.values) EXPECT_EQ(again.getValue(v.key, v.section, path_.c_str()), v.value);
        EXPECT_EQ(again.lastError(), nullptr);
        return;
    }
    // The person is told which line of which file, once, at the load.
    ASSERT_EQ(told_.size(), 1u);
    EXPECT_NE(told_[0].find("line " + std::to_string(c.stoppedAt) + " of " + path_), std::string::npos) << told_[0];
    EXPECT_NE(told_[0].find("left as it is"), std::string::npos);
    EXPECT_EQ(CM_SetValue(handle, "CameraName", "Edited", "0", path_.c_str()), 1);
    EXPECT_EQ(CM_Save(handle), 0);
    EXPECT_STREQ(store.lastError(), errors::kLeftUnread);
    CM_CloseInterface(handle);
    EXPECT_EQ(told_.size(), 1u);
    EXPECT_EQ(readFile(path_), c.file);
    EXPECT_EQ(listFolder(dir_.path()), "Tavolin.txt");
}

INSTANTIATE_TEST_SUITE_P(HandWrittenFiles, StoreLoadToleranceTest, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A file whose mtime lies `seconds` in the past.
void age(const std::string& path, int seconds) {
    const timeval now{std::time(nullptr) - seconds, 0};
    const timeval times[2] = {now, now};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

struct SaveCase {
    const char* name;
    // Runs after the store has read "[0]\nk=mine\n" and set k=ours.
    std::function<void(const std::string& dir, const std::string& path)> meanwhile;
    bool saved;
    const char* error;
    std::string fileAfter;   // the settings file after the save
    std::string folderAfter; // every name in the folder
};

const std::string kOriginal = "[0]\nk=mine\n";
const std::string kOurs = "[0]\nk=ours\n";

const SaveCase kSaveCases[] = {
    {"UnchangedFileIsReplaced", [](auto&, auto&) {}, true, nullptr, kOurs, "Tavolin.txt"},
    {"FileRewrittenWithTheSameBytesKeepsNoCopy", [](auto&, auto& path) { writeFile(path, kOriginal); }, true, nullptr,
     kOurs, "Tavolin.txt"},
    {"ReadOnlyFileIsNotReplacedEvenForRoot", [](auto&, auto& path) { ASSERT_EQ(::chmod(path.c_str(), 0444), 0); },
     false, errors::kReadOnly, kOriginal, "Tavolin.txt"},
    {"OwnerReadOnlyFileIsNotReplaced", [](auto&, auto& path) { ASSERT_EQ(::chmod(path.c_str(), 0466), 0); }, false,
     errors::kReadOnly, kOriginal, "Tavolin.txt"},
    {"StaleTemporaryOfAKilledSaveIsRemoved",
     [](auto& dir, auto&) {
         writeFile(dir + "/Tavolin.txt.saving-Ab12Cd", std::string(100000, 'x'));
         age(dir + "/Tavolin.txt.saving-Ab12Cd", 3600);
     },
     true, nullptr, kOurs, "Tavolin.txt"},
    {"TemporaryOfASaveUnderWayAndLookAlikesStay",
     [](auto& dir, auto&) {
         writeFile(dir + "/Tavolin.txt.saving-Ab12Cd", "x");
         for (const char* name : {"/Tavolin.txt.backup", "/Tavolin.txt.saving-Ab12C", "/Other.txt.saving-Ab12Cd"}) {
             writeFile(dir + name, "x");
             age(dir + name, 3600);
         }
     },
     true, nullptr, kOurs,
     "Other.txt.saving-Ab12Cd Tavolin.txt Tavolin.txt.backup Tavolin.txt.saving-Ab12C Tavolin.txt.saving-Ab12Cd"},
};

class StoreSaveSafetyTest : public ::testing::TestWithParam<SaveCase> {};

TEST_P(StoreSaveSafetyTest, SaveLosesNothing) {
    const SaveCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    writeFile(path, kOriginal);
    Store store;
    ASSERT_TRUE(store.setValue("k", "ours", "0", path.c_str()));
    c.meanwhile(dir.path(), path);
    EXPECT_EQ(store.save(), c.saved);
    if (c.error) {
        EXPECT_STREQ(store.lastError(), c.error);
    } else {
        EXPECT_EQ(store.lastError(), nullptr);
    }
    EXPECT_EQ(readFile(path), c.fileAfter);
    EXPECT_EQ(listFolder(dir.path()), c.folderAfter);
    EXPECT_TRUE(store.keptCopy().empty());
}

INSTANTIATE_TEST_SUITE_P(Saves, StoreSaveSafetyTest, ::testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StoreKeepFileTest, VersionWrittenByAnotherProgramIsKeptBesideOnce) {
    TempDir dir;
    const std::string path = dir.file("Tavolin.txt");
    writeFile(path, kOriginal);
    std::vector<std::string> told;
    auto previous = platform::setDiagnosticSink([&](const std::string& text) { told.push_back(text); });
    Store store;
    ASSERT_TRUE(store.setValue("k", "ours", "0", path.c_str()));
    writeFile(path, "[0]\nk=theirs\n");
    ASSERT_TRUE(store.save());
    EXPECT_EQ(readFile(path), kOurs);
    ASSERT_FALSE(store.keptCopy().empty());
    EXPECT_EQ(readFile(store.keptCopy()), "[0]\nk=theirs\n");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("kept in " + store.keptCopy()), std::string::npos);

    // Our own write is not mistaken for another program's; a second change
    // gets a copy of its own.
    ASSERT_TRUE(store.save());
    EXPECT_EQ(told.size(), 1u);
    writeFile(path, "[0]\nk=again\n");
    ASSERT_TRUE(store.save());
    EXPECT_EQ(readFile(store.keptCopy()), "[0]\nk=again\n");
    const std::string names = listFolder(dir.path());
    std::size_t copies = 0;
    for (auto at = names.find(".bak"); at != std::string::npos; at = names.find(".bak", at + 1)) ++copies;
    EXPECT_EQ(copies, 2u) << names;
    platform::setDiagnosticSink(std::move(previous));
}

// A pipe would block the read for ever, and a file of a hundred megabytes
// would hold up the start: neither is read, and neither is ever replaced.
TEST(StoreKeepFileTest, UnreadableFileIsLeftAsItIsAndNothingWaits) {
    const struct {
        const char* what;
        const char* reason;
        bool (*make)(const std::string& path);
    } cases[] = {
        {"pipe", "not a regular file", [](const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }},
        {"huge file", "larger than 1024 KB",
         [](const std::string& path) {
             // Sparse: takes no room on the disk.
             const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
             const bool ok = fd >= 0 && ::ftruncate(fd, 100 * 1024 * 1024) == 0;
             if (fd >= 0) ::close(fd);
             return ok;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.file("Tavolin.txt");
        ASSERT_TRUE(c.make(path));
        struct stat before {};
        ASSERT_EQ(::lstat(path.c_str(), &before), 0);
        std::vector<std::string> told;
        auto previous = platform::setDiagnosticSink([&](const std::string& line) { told.push_back(line); });

        CM_Store* handle = CM_OpenInterface();
        EXPECT_STREQ(CM_GetValue(handle, "k", "0", path.c_str()), "");
        EXPECT_EQ(CM_SetValue(handle, "k", "v", "0", path.c_str()), 1);
        EXPECT_EQ(CM_Save(handle), 0);
        EXPECT_STREQ(storeOf(handle).lastError(), errors::kLeftUnreadable);
        CM_CloseInterface(handle);
        platform::setDiagnosticSink(std::move(previous));

        struct stat after {};
        ASSERT_EQ(::lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_size, before.st_size);
        EXPECT_EQ(listFolder(dir.path()), "Tavolin.txt");
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find(c.reason), std::string::npos) << told[0];
    }
}

} // namespace
} // namespace ledra
