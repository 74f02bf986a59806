#include "platform/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <utility>
#include <vector>

namespace platform {

namespace {

std::string folderOfThisLibrary() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&folderOfThisLibrary), &info) == 0 || info.dli_fname == nullptr) return {};
    return std::filesystem::path(info.dli_fname).parent_path().string();
}

std::string folderOfProgram() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

} // namespace

Module::~Module() { unload(); }

Module::Module(Module&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)), error_(std::move(other.error_)) {}

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        unload();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
    }
    return *this;
}

std::string Module::fileNameFor(const std::string& bareName) { return "lib" + bareName + ".so"; }

bool Module::loadPath(const std::string& path) {
    unload();
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* e = ::dlerror();
        error_ = e != nullptr ? e : "cannot load " + path;
        return false;
    }
    path_ = path;
    error_.clear();
    return true;
}

bool Module::load(const std::string& bareName) {
    unload();
    // A bare name only: a path would let a caller load anything from anywhere.
    if (bareName.empty() || bareName.find('/') != std::string::npos) {
        error_ = "invalid module name";
        return false;
    }
    const std::string file = fileNameFor(bareName);
    std::vector<std::string> candidates;
    for (const auto& folder : {folderOfThisLibrary(), folderOfProgram()}) {
        if (!folder.empty()) {
            candidates.push_back(folder + "/" + file);
            candidates.push_back(folder + "/../lib/" + file);
        }
    }
    // A file that is there but does not load says more than the system
    // path's "not found", so its reason is the one kept.
    std::string firstFailure;
    for (const auto& candidate : candidates) {
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec)) continue;
        if (loadPath(candidate)) return true;
        if (firstFailure.empty()) firstFailure = error_;
    }
    if (loadPath(file)) return true; // the system path
    if (!firstFailure.empty()) error_ = firstFailure;
    return false;
}

void Module::unload() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
    path_.clear();
}

void* Module::symbol(const char* name) const {
    if (handle_ == nullptr || name == nullptr) return nullptr;
    return ::dlsym(handle_, name);
}

} // namespace platform
