#include "windowing/module_instance.h"

#include <dlfcn.h>

namespace windowing {

ModuleInstance moduleInstanceOf(const void* address) {
    Dl_info info{};
    if (address == nullptr || ::dladdr(address, &info) == 0) return nullptr;
    return info.dli_fbase;
}

std::string moduleFileOf(const void* address) {
    Dl_info info{};
    if (address == nullptr || ::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}

} // namespace windowing
