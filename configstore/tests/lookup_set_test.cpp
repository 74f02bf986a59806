// Looking values up and setting them: order, replacement, field limits.
#include <gtest/gtest.h>

#include <string>

#include "errors.h"
#include "store.h"
#include "test_files.h"

namespace ledra {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class StoreLookupSetTest : public ::testing::Test {
protected:
    bool set(const char* key, const std::string& value, const char* section) {
        return store_.setValue(key, value.c_str(), section, path_.c_str());
    }
    std::string get(const char* key, const char* section) { return store_.getValue(key, section, path_.c_str()); }
    std::string saveAndRead() {
        EXPECT_TRUE(store_.save());
        return readFile(path_);
    }

    TempDir dir_;
    std::string path_ = dir_.file("Tavolin.txt");
    Store store_;
};

TEST_F(StoreLookupSetTest, MissingSectionOrKeyReadsAsEmptyText) {
    writeFile(path_, "[A]\nk=v\n");
    const char* missingSection = store_.getValue("k", "B", path_.c_str());
    const char* missingKey = store_.getValue("j", "A", path_.c_str());
    ASSERT_NE(missingSection, nullptr);
    ASSERT_NE(missingKey, nullptr);
    EXPECT_STREQ(missingSection, "");
    EXPECT_STREQ(missingKey, "");
}

TEST_F(StoreLookupSetTest, LookupLeavesLastErrorAlone) {
    writeFile(path_, "[A]\nk=v\nbad\n");
    get("k", "A");
    EXPECT_STREQ(store_.lastError(), errors::kInitialParse);
    get("nothing", "here");
    EXPECT_STREQ(store_.lastError(), errors::kInitialParse);
}

TEST_F(StoreLookupSetTest, SetClearsLastError) {
    writeFile(path_, "[A]\nk=v\nbad\n");
    get("k", "A");
    EXPECT_TRUE(set("k", "w", "A"));
    EXPECT_EQ(store_.lastError(), nullptr);
}

TEST_F(StoreLookupSetTest, SetFirstLoadsFileThenSets) {
    writeFile(path_, "[A]\nk=v\nj=w\n");
    EXPECT_TRUE(set("k", "new", "A"));
    EXPECT_EQ(get("j", "A"), "w");
    EXPECT_EQ(saveAndRead(), "[A]\nk=new\nj=w\n");
}

TEST_F(StoreLookupSetTest, NewSectionGoesToEndOfFile) {
    writeFile(path_, "[A]\nk=v\n[B]\nm=n\n");
    EXPECT_TRUE(set("x", "1", "C"));
    EXPECT_EQ(saveAndRead(), "[A]\nk=v\n[B]\nm=n\n[C]\nx=1\n");
}

TEST_F(StoreLookupSetTest, NewKeyGoesToEndOfItsSection) {
    writeFile(path_, "[A]\nk=v\n[B]\nm=n\n");
    EXPECT_TRUE(set("z", "9", "A"));
    EXPECT_EQ(saveAndRead(), "[A]\nk=v\nz=9\n[B]\nm=n\n");
}

TEST_F(StoreLookupSetTest, ExistingKeyKeepsItsPlaceAndLosesItsComment) {
    writeFile(path_, "#sec\n[A]\n#about k\nk=v\nj=w\n");
    EXPECT_TRUE(set("k", "x", "A"));
    EXPECT_EQ(saveAndRead(), "#sec\n[A]\nk=x\nj=w\n");
}

TEST_F(StoreLookupSetTest, ValuePointerFollowsLaterSet) {
    EXPECT_TRUE(set("k", "first", "A"));
    const char* value = store_.getValue("k", "A", path_.c_str());
    EXPECT_TRUE(set("k", "second", "A"));
    EXPECT_STREQ(value, "second");
    // Adding many other records must not move the entry.
    for (int i = 0; i < 200; ++i) set(std::to_string(i).c_str(), "x", "A");
    EXPECT_STREQ(value, "second");
}

TEST_F(StoreLookupSetTest, LaterPathIsIgnored) {
    const std::string other = dir_.file("other.txt");
    writeFile(other, "[A]\nk=other\n");
    EXPECT_TRUE(set("k", "mine", "A"));
    EXPECT_EQ(store_.getValue("k", "A", other.c_str()), std::string("mine"));
    EXPECT_TRUE(store_.setValue("j", "1", "A", other.c_str()));
    EXPECT_EQ(store_.filePath(), path_);
    EXPECT_EQ(saveAndRead(), "[A]\nk=mine\nj=1\n");
    EXPECT_EQ(readFile(other), "[A]\nk=other\n");
}

TEST_F(StoreLookupSetTest, LongTextsAreCutToTheField) {
    const std::string key(300, 'k');
    const std::string section(300, 's');
    const std::string value(300, 'v');
    EXPECT_TRUE(set(key.c_str(), value, section.c_str()));
    const Section& s = store_.sections().front();
    EXPECT_EQ(std::string(s.name), std::string(254, 's'));
    EXPECT_EQ(std::string(s.entries.front().key), std::string(254, 'k'));
    EXPECT_EQ(std::string(s.entries.front().value), std::string(254, 'v'));
    // The same long names find the cut record again.
    EXPECT_EQ(get(key.c_str(), section.c_str()), std::string(254, 'v'));
}

TEST_F(StoreLookupSetTest, NullTextsActAsEmptyTexts) {
    EXPECT_TRUE(store_.setValue(nullptr, nullptr, "A", path_.c_str()));
    EXPECT_EQ(get("", "A"), "");
    EXPECT_STREQ(store_.getValue(nullptr, nullptr, nullptr), "");
    EXPECT_EQ(saveAndRead(), "[A]\n=\n");
}

TEST_F(StoreLookupSetTest, FailedAllocationReportsNoMemoryAndKeepsTheRest) {
    EXPECT_TRUE(set("k", "v", "A"));
    int allowed = 1; // the new section may be allocated, its entry not
    store_.setAllocationProbe([&] { return allowed-- > 0; });
    EXPECT_FALSE(set("j", "w", "B"));
    EXPECT_STREQ(store_.lastError(), errors::kNoMemory);
    EXPECT_EQ(get("k", "A"), "v");
    // Replacing a value allocates nothing and still works.
    EXPECT_TRUE(set("k", "v2", "A"));
    store_.setAllocationProbe(nullptr);
    EXPECT_EQ(saveAndRead(), "[A]\nk=v2\n[B]\n");
}

TEST_F(StoreLookupSetTest, FailedAllocationDuringLoadStopsLoadAndLeavesTheFile) {
    writeFile(path_, "[A]\na=1\nb=2\n");
    int allowed = 2; // section A and its first key
    store_.setAllocationProbe([&] { return allowed-- > 0; });
    EXPECT_EQ(get("a", "A"), "1");
    EXPECT_EQ(get("b", "A"), "");
    EXPECT_STREQ(store_.lastError(), errors::kInitialParse);
    EXPECT_TRUE(store_.declinesSaves());
}

// Whatever a caller passes, what is saved loads back as the same sections
// and values, and never changes another section.
class StoreOneLineTest : public StoreLookupSetTest {
protected:
    std::string reloaded(const char* key, const char* section) {
        EXPECT_TRUE(store_.save());
        Store again;
        std::string value = again.getValue(key, section, path_.c_str());
        EXPECT_EQ(again.lastError(), nullptr);
        return value;
    }
};

TEST_F(StoreOneLineTest, LineFeedInAValueCannotRewriteAnotherSection) {
    writeFile(path_, "[Cam1]\nCameraIP=127.0.0.1\n");
    ASSERT_TRUE(set("CameraName", "Lobby\n[Cam1]\nCameraIP=127.0.0.2", "Cam0"));
    EXPECT_EQ(get("CameraName", "Cam0"), "Lobby");
    EXPECT_EQ(reloaded("CameraIP", "Cam1"), "127.0.0.1");
    EXPECT_EQ(readFile(path_), "[Cam1]\nCameraIP=127.0.0.1\n[Cam0]\nCameraName=Lobby\n");
}

TEST_F(StoreOneLineTest, ValueIsCutAtItsFirstCarriageReturnOrLineFeed) {
    ASSERT_TRUE(set("a", "one\rtwo", "A"));
    ASSERT_TRUE(set("b", "x\ny", "A"));
    ASSERT_TRUE(set("c", "\nall gone", "A"));
    EXPECT_EQ(get("a", "A"), "one");
    EXPECT_EQ(get("b", "A"), "x");
    EXPECT_EQ(get("c", "A"), "");
    EXPECT_EQ(saveAndRead(), "[A]\na=one\nb=x\nc=\n");
}

TEST_F(StoreOneLineTest, LineFeedThenALineWithoutEqualsDoesNotStopTheNextLoad) {
    ASSERT_TRUE(set("CameraName", "Lobby\nno equals sign here", "A"));
    ASSERT_TRUE(set("CameraIP", "127.0.0.1", "A"));
    EXPECT_EQ(reloaded("CameraIP", "A"), "127.0.0.1");
}

TEST_F(StoreOneLineTest, LoadedValuesKeepEveryByte) {
    const std::string file = "[A]\nname=Lobby = hall;\r #1 [x]\n[B]\nk=\n";
    writeFile(path_, file);
    EXPECT_EQ(get("name", "A"), "Lobby = hall;\r #1 [x]");
    EXPECT_EQ(saveAndRead(), file);
}

TEST_F(StoreOneLineTest, NamesTheFileCannotGiveBackAreRefusedAndNothingIsStored) {
    writeFile(path_, "[A]\nk=v\n");
    for (const char* section : {"", "A]B", "A\nB"}) {
        EXPECT_FALSE(set("k", "w", section)) << section;
        EXPECT_STREQ(store_.lastError(), errors::kUnwritableName);
    }
    for (const char* key : {"[A]", "#k", ";k", "k=x", "k\r", "k\nk"}) {
        EXPECT_FALSE(set(key, "w", "A")) << key;
    }
    EXPECT_EQ(get("k", "A"), "v");
    EXPECT_EQ(saveAndRead(), "[A]\nk=v\n");
}

// Thousands of sections and keys load and look up in file order, with the
// first of repeated names keeping its place.
TEST_F(StoreLookupSetTest, ManySectionsKeepFileOrderAndFirstPlaceOfRepeats) {
    std::string file;
    for (int i = 0; i < 3000; ++i) {
        file += "[" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\nj=x\n";
    }
    file += "[7]\nk=late\nnew=1\n";
    writeFile(path_, file);
    EXPECT_EQ(get("k", "7"), "late");
    EXPECT_EQ(get("new", "7"), "1");
    EXPECT_EQ(get("k", "2999"), "2999");
    EXPECT_EQ(get("k", "3000"), "");
    ASSERT_TRUE(set("k", "7b", "7"));
    const std::string saved = saveAndRead();
    EXPECT_EQ(saved.find("[7]\nk=7b\nj=x\nnew=1\n[8]\n"), file.find("[7]\n"));
    EXPECT_EQ(store_.sections().size(), 3000u);
}

} // namespace
} // namespace ledra
