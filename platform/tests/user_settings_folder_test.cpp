#include "platform/user_settings_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

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

TEST_F(UserSettingsFolderTest, HomeConfigFolderIsCreatedOrMadeOwnerOnly) {
    ScopedEnv home("HOME", home_.c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    const auto folder = platform::userSettingsFolder();
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(*folder, (home_ / ".config/Tavolin").string());
    EXPECT_EQ(modeOf(*folder), 0700u);
    EXPECT_EQ(modeOf(home_ / ".config"), 0700u);
    // Asking again finds the same folder, made owner-only again, and the file
    // in it is made owner-only; a read-only one stays read-only.
    ASSERT_EQ(::chmod(folder->c_str(), 0755), 0);
    EXPECT_EQ(platform::userSettingsFolder(), folder);
    EXPECT_EQ(modeOf(*folder), 0700u);
    const std::string file = *folder + "/Tavolin.txt";
    for (const auto& [before, after] : {std::pair{0644u, 0600u}, {0666u, 0600u}, {0600u, 0600u}, {0444u, 0400u}}) {
        std::fclose(std::fopen(file.c_str(), "w"));
        ASSERT_EQ(::chmod(file.c_str(), before), 0);
        platform::keepOwnerOnly(file);
        EXPECT_EQ(modeOf(file), after) << std::oct << before;
    }
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
