#include "platform/thread_name.h"

#include <pthread.h>

namespace platform {

void nameThisThread(std::string_view name) {
    const std::string cut(name.substr(0, kMaxThreadNameLength));
    pthread_setname_np(pthread_self(), cut.c_str());
}

std::string thisThreadName() {
    char name[kMaxThreadNameLength + 1] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) return {};
    return name;
}

} // namespace platform
