#include "platform/user_settings_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

// Sets or clears an environment variable for one test and restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = ::getenv(name)) old_ = old;
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class UserSettingsFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tavolin-home-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home_ = pattern;
    }
    void TearDown() override { fs::remove_all(home_); }

    static unsigned modeOf(const fs::path& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
    }

    fs::path home_;
};

TEST_F(UserSettingsFolderTest, HomeConfigFolderIsCreatedOwnerOnly) {
    ScopedEnv home("HOME", home_.c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    const auto folder = platform::userSettingsFolder();
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(*folder, (home_ / ".config/Tavolin").string());
    EXPECT_EQ(modeOf(*folder), 0700u);
    EXPECT_EQ(modeOf(home_ / ".config"), 0700u);
    // Asking again finds the same folder.
    EXPECT_EQ(platform::userSettingsFolder(), folder);
}

TEST_F(UserSettingsFolderTest, ConfigHomeIsUsedWhenAbsoluteOnly) {
    ScopedEnv home("HOME", home_.c_str());
    const fs::path config = home_ / "cfg";
    fs::create_directories(config);
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
        EXPECT_EQ(platform::userSettingsFolder(), (config / "Tavolin").string());
    }
    ScopedEnv relative("XDG_CONFIG_HOME", "cfg");
    EXPECT_EQ(platform::userSettingsFolder(), (home_ / ".config/Tavolin").string());
}

TEST_F(UserSettingsFolderTest, NoHomeOrAFileInTheWayGivesNothing) {
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    {
        ScopedEnv home("HOME", nullptr);
        EXPECT_EQ(platform::userSettingsFolder(), std::nullopt);
    }
    ScopedEnv home("HOME", home_.c_str());
    fs::create_directories(home_ / ".config");
    std::FILE* f = std::fopen((home_ / ".config/Tavolin").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(platform::userSettingsFolder(), std::nullopt);
}

// What is already there with wider rights is made owner-only; a read-only
// file stays read-only, and what is not a regular file of its own is left.
TEST_F(UserSettingsFolderTest, FolderAndFileThereWithWiderRightsAreMadeOwnerOnly) {
    ScopedEnv home("HOME", home_.c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    const fs::path folder = home_ / ".config/Tavolin";
    fs::create_directories(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    ASSERT_EQ(platform::userSettingsFolder(), folder.string());
    EXPECT_EQ(modeOf(folder), 0700u);

    const fs::path file = folder / "Tavolin.txt";
    struct Case {
        unsigned before, after;
    };
    for (const Case c : {Case{0644, 0600}, Case{0666, 0600}, Case{0444, 0400}, Case{0600, 0600}}) {
        fs::remove(file);
        std::fclose(std::fopen(file.c_str(), "w"));
        ASSERT_EQ(::chmod(file.c_str(), c.before), 0);
        platform::keepOwnerOnly(file.string());
        EXPECT_EQ(modeOf(file), c.after) << std::oct << c.before;
    }
    // A link is not followed: what it points at keeps its rights.
    const fs::path target = home_ / "shared.txt";
    std::fclose(std::fopen(target.c_str(), "w"));
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    fs::remove(file);
    fs::create_symlink(target, file);
    platform::keepOwnerOnly(file.string());
    EXPECT_EQ(modeOf(target), 0644u);
}

} // namespace
