#include "platform/module_instance.h"

#include <dlfcn.h>

namespace platform {

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

} // namespace platform
