// A folder of its own under the system's temporary folder for a test's
// files, removed with the object (kept when RECORDER_TEST_KEEP is set).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace recorder::test {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "recorder-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty() && std::getenv("RECORDER_TEST_KEEP") == nullptr) std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace recorder::test
