#include "platform/user_settings_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

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

} // namespace
