// Scratch folders and whole-file helpers for the store's tests.
#pragma once

#include <string>

#include <sys/types.h>

namespace ledra::test {

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
mode_t permissionsOf(const std::string& path);
// Names in a folder, "." and ".." left out, sorted.
std::string listFolder(const std::string& path);

} // namespace ledra::test
