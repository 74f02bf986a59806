// Loads a plug-in by its bare name ("Fenwa20-M" -> "libFenwa20-M.so") and
// looks its functions up by name.
#pragma once

#include <string>

namespace platform {

class Module {
public:
    Module() = default;
    ~Module();
    Module(Module&& other) noexcept;
    Module& operator=(Module&& other) noexcept;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Searches beside the library that holds this code, then beside the
    // program, then the system path. False when not found (error() says why).
    bool load(const std::string& bareName);
    // Loads an explicit file path.
    bool loadPath(const std::string& path);
    void unload();
    bool isLoaded() const { return handle_ != nullptr; }
    // The address of an exported name, or nullptr.
    void* symbol(const char* name) const;
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

    // "libNAME.so"
    static std::string fileNameFor(const std::string& bareName);

private:
    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
};

} // namespace platform
