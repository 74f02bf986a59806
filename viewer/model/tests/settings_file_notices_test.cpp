// A settings file written by hand, damaged, or changed by another program
// while the list holds it: what the user is told, and that nothing of the
// file is lost.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include <sys/stat.h>

#include "tavolin/camera_list.h"
#include "tavolin/startup_check.h"
#include "temp_folder.h"

namespace tavolin {
namespace {

using test::readFile;
using test::TempFolder;
using test::writeFile;

enum class Meanwhile { kNothing, kOtherProgramWrites, kMadeReadOnly };

const std::string kPipe = "<pipe>";

struct FileCase {
  const char* name;
  std::string file;        // at start; kPipe for a named pipe in its place
  Meanwhile meanwhile;     // between the load and the save
  const char* loadNotice;  // a pattern of what start-up tells ("@" is the path), "" for nothing
  const char* firstName;   // camera 1's name as loaded (no CR of a CR LF kept)
  bool saved;
  const char* saveNotice;  // a pattern of what the save tells, "" for nothing
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

const FileCase kCases[] = {
    {"BlankLinesAndCrLfAreRead", "\n[0]\r\n\r\nCameraName=Door\r\nCameraIP=127.0.0.1\r\n\n[1]\n", Meanwhile::kNothing,
     "", "Door", true, ""},
    {"LineWithoutEqualsIsToldAndTheFileLeftAlone", "[0]\nCameraName=Door\njunk\n[1]\nCameraName=Yard\n",
     Meanwhile::kNothing,
     "Line 3 of @ could not be read \\(a line without \"=\"\\); the file will be left as it is\\.\n\n"
     "What could not be read shows its defaults\\. Changes made now are not saved to the file\\.",
     "Door", false, ""},
    {"OverlongLineIsTold", "[0]\nCameraName=Door\nCameraIP=" + std::string(250, '1') + "\n", Meanwhile::kNothing,
     "Line 3 of @ could not be read \\(longer than 253 characters\\)[\\s\\S]*", "Door", false, ""},
    {"PipeInThePlaceOfTheFileIsToldAndLeftAlone", kPipe, Meanwhile::kNothing,
     "@ could not be read \\(not a regular file\\); the file will be left as it is[\\s\\S]*", "Camera - 1", false, ""},
    {"VersionAnotherProgramWroteIsKeptAndTold", "[0]\nCameraName=Door\n", Meanwhile::kOtherProgramWrites, "", "Door",
     true,
     "@ was changed by another program since it was read; that version is kept in @\\.[0-9]{8}-[0-9]{6}\\.bak\\."},
    {"ReadOnlyFileIsNotReplacedAndTheSaveSaysWhy", "[0]\nCameraName=Door\n", Meanwhile::kMadeReadOnly, "", "Door",
     false, "Saving @ failed: file is read-only.*"},
};

std::regex withPath(const char* pattern, const std::string& path) {
  return std::regex(std::regex_replace(pattern, std::regex("@"), path));
}

class SettingsFileNoticesTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(SettingsFileNoticesTest, ToldOnceAndNothingOfTheFileIsLost) {
  const FileCase& c = GetParam();
  TempFolder folder;
  const std::string path = folder.file("Tavolin.txt");
  if (c.file == kPipe) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  } else {
    writeFile(path, c.file);
  }
  CameraList list(path);
  StartupCheck check(path);
  EXPECT_EQ(check.refusal(), "");
  const std::string told = check.takeLoadNotice(list);
  EXPECT_TRUE(std::regex_match(told, withPath(*c.loadNotice ? c.loadNotice : "^$", path))) << told;
  EXPECT_EQ(check.takeLoadNotice(list), "");
  EXPECT_EQ(textOf(list.record(0)->name), c.firstName);

  const std::string theirs = "[0]\nCameraName=Theirs\n";
  if (c.meanwhile == Meanwhile::kOtherProgramWrites) writeFile(path, theirs);
  if (c.meanwhile == Meanwhile::kMadeReadOnly) {
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  }
  CameraRecord edited = *list.record(0);
  setText(edited.name, "Edited");
  EXPECT_EQ(list.saveRecord(edited), c.saved);
  const std::vector<std::string> notices = list.takeSaveNotices();
  const std::string saveTold = notices.empty() ? "" : notices.front();
  EXPECT_TRUE(std::regex_match(saveTold, withPath(*c.saveNotice ? c.saveNotice : "^$", path))) << saveTold;
  list.close();

  if (c.file == kPipe) {
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
  } else if (!c.saved) {
    EXPECT_EQ(readFile(path), c.file);
  } else {
    EXPECT_NE(readFile(path).find("CameraName=Edited\n"), std::string::npos);
  }
  if (c.meanwhile == Meanwhile::kOtherProgramWrites) {
    std::smatch copy;
    ASSERT_TRUE(std::regex_search(saveTold, copy, std::regex("kept in (.*)\\.$")));
    EXPECT_EQ(readFile(copy[1]), theirs);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFileNoticesTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavolin
