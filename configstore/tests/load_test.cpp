// Reading a settings file: line kinds, where a load stops, what it keeps.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "errors.h"
#include "store.h"
#include "test_files.h"

namespace ledra {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class StoreLoadTest : public ::testing::Test {
protected:
    // Writes the file and makes a fresh store read it.
    Store& load(const std::string& bytes) {
        writeFile(path_, bytes);
        store_ = std::make_unique<Store>();
        store_->getValue("", "", path_.c_str());
        return *store_;
    }
    std::string get(const char* key, const char* section) { return store_->getValue(key, section, path_.c_str()); }
    std::string saveAndRead() {
        EXPECT_TRUE(store_->save());
        return readFile(path_);
    }

    TempDir dir_;
    std::string path_ = dir_.file("Tavolin.txt");
    std::unique_ptr<Store> store_;
};

TEST_F(StoreLoadTest, CleanFileLoadsWithoutError) {
    Store& s = load("[0]\nCameraName=Door\nCameraIP=10.0.0.5\n[1]\nCameraName=Yard\n");
    EXPECT_EQ(s.lastError(), nullptr);
    EXPECT_FALSE(s.declinesSaves());
    EXPECT_EQ(get("CameraName", "0"), "Door");
    EXPECT_EQ(get("CameraIP", "0"), "10.0.0.5");
    EXPECT_EQ(get("CameraName", "1"), "Yard");
}

TEST_F(StoreLoadTest, KeyLineBeforeFirstHeaderStops) {
    Store& s = load("a=1\n[A]\nb=2\n");
    EXPECT_STREQ(s.lastError(), errors::kInitialParse);
    EXPECT_TRUE(s.sections().empty());
}

TEST_F(StoreLoadTest, KeyLineAfterEmptyHeaderStops) {
    Store& s = load("[A]\na=1\n[]\nb=2\n[C]\nc=3\n");
    EXPECT_STREQ(s.lastError(), errors::kInitialParse);
    EXPECT_EQ(get("a", "A"), "1");
    EXPECT_EQ(get("b", ""), "");
    EXPECT_EQ(get("c", "C"), "");
    // The empty header itself was read and made a section.
    ASSERT_EQ(s.sections().size(), 2u);
    EXPECT_STREQ(s.sections().back().name, "");
}

TEST_F(StoreLoadTest, TextAfterClosingBracketIsIgnored) {
    Store& s = load("[Cam]x\nk=v\n");
    EXPECT_EQ(s.lastError(), nullptr);
    EXPECT_EQ(get("k", "Cam"), "v");
}

TEST_F(StoreLoadTest, HeaderWithoutClosingBracketStops) {
    Store& s = load("[A]\na=1\n[Cam\nk=v\n");
    EXPECT_STREQ(s.lastError(), errors::kInitialParse);
    EXPECT_EQ(get("a", "A"), "1");
    EXPECT_EQ(s.sections().size(), 1u);
}

TEST_F(StoreLoadTest, KeyLineWithoutEqualsStops) {
    Store& s = load("[A]\na=1\njunk\nb=2\n");
    EXPECT_STREQ(s.lastError(), errors::kInitialParse);
    EXPECT_EQ(get("b", "A"), "");
}

TEST_F(StoreLoadTest, EmptyKeyAndEmptyValueAreKept) {
    load("[S]\n=x\na=\n");
    EXPECT_EQ(get("", "S"), "x");
    const auto& entries = store_->sections().front().entries;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(entries.back().key, "a");
    EXPECT_STREQ(entries.back().value, "");
}

TEST_F(StoreLoadTest, BlanksBelongToKeysAndValues) {
    load("[S]\nkey = value\n");
    EXPECT_EQ(get("key", "S"), "");
    EXPECT_EQ(get("key ", "S"), " value");
}

TEST_F(StoreLoadTest, ValueKeepsEveryEqualsAfterTheFirst) {
    load("[S]\nurl=a=b=c\n");
    EXPECT_EQ(get("url", "S"), "a=b=c");
}

TEST_F(StoreLoadTest, SectionNamesAreCaseSensitive) {
    load("[Cam]\nk=1\n[cam]\nk=2\n");
    EXPECT_EQ(store_->sections().size(), 2u);
    EXPECT_EQ(get("k", "Cam"), "1");
    EXPECT_EQ(get("k", "cam"), "2");
}

TEST_F(StoreLoadTest, RepeatedHeaderJoinsFirstSectionAndTakesLaterComment) {
    load("#one\n[A]\na=1\n[B]\nb=1\n#two\n[A]\nc=1\n");
    EXPECT_EQ(saveAndRead(), "#two\n[A]\na=1\nc=1\n[B]\nb=1\n");
}

TEST_F(StoreLoadTest, RepeatedHeaderWithoutCommentEmptiesComment) {
    load("#one\n[A]\na=1\n[A]\nb=1\n");
    EXPECT_EQ(saveAndRead(), "[A]\na=1\nb=1\n");
}

TEST_F(StoreLoadTest, RepeatedKeyTakesLaterValueAtFirstPlace) {
    load("[A]\nx=1\ny=2\nx=3\n");
    EXPECT_EQ(get("x", "A"), "3");
    EXPECT_EQ(saveAndRead(), "[A]\nx=3\ny=2\n");
}

TEST_F(StoreLoadTest, CommentsSurviveLoadAndSaveUnchanged) {
    const std::string original = "#top\n;second\n[A]\n# about k\nk=v\n[B]\n;semi\nm=n\n";
    load(original);
    EXPECT_EQ(saveAndRead(), original);
    load(readFile(path_));
    EXPECT_EQ(saveAndRead(), original);
}

TEST_F(StoreLoadTest, CommentsAfterLastKeyAreDropped) {
    load("[A]\nk=v\n#tail\n");
    EXPECT_EQ(store_->lastError(), nullptr);
    EXPECT_EQ(saveAndRead(), "[A]\nk=v\n");
}

TEST_F(StoreLoadTest, OverlongCommentBlockKeepsLeadingWholeLines) {
    const std::string l1 = "#" + std::string(99, '1');
    const std::string l2 = "#" + std::string(99, '2');
    const std::string l3 = "#" + std::string(99, '3');
    load(l1 + "\n" + l2 + "\n" + l3 + "\n[A]\nk=v\n");
    // 100 + 1 + 100 = 201 characters fit a field; a third line would not.
    EXPECT_EQ(saveAndRead(), l1 + "\n" + l2 + "\n[A]\nk=v\n");
    load(readFile(path_));
    EXPECT_EQ(store_->lastError(), nullptr);
}

TEST_F(StoreLoadTest, FileIsReadOnlyOnce) {
    load("[A]\nk=old\n");
    writeFile(path_, "[A]\nk=new\n");
    EXPECT_EQ(get("k", "A"), "old");
    Store& s = *store_;
    s.setValue("j", "1", "A", path_.c_str());
    EXPECT_EQ(saveAndRead(), "[A]\nk=old\nj=1\n");
}

TEST_F(StoreLoadTest, MissingFileGivesEmptyStore) {
    Store s;
    const std::string missing = dir_.file("none.txt");
    EXPECT_STREQ(s.getValue("CameraName", "0", missing.c_str()), "");
    EXPECT_TRUE(s.isLoaded());
    EXPECT_STREQ(s.lastError(), errors::kInitialParse);
    EXPECT_FALSE(s.declinesSaves());
    EXPECT_FALSE(test::fileExists(missing));
}

TEST_F(StoreLoadTest, FolderInsteadOfFileReadsNothingAndIsNotReplaced) {
    Store s;
    EXPECT_STREQ(s.getValue("k", "S", dir_.path().c_str()), "");
    EXPECT_STREQ(s.lastError(), errors::kInitialParse);
    s.setValue("k", "v", "S", nullptr);
    EXPECT_FALSE(s.save());
    EXPECT_STREQ(s.lastError(), errors::kLeftUnreadable);
    EXPECT_TRUE(std::filesystem::is_directory(dir_.path()));
}

} // namespace
} // namespace ledra
