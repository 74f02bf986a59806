// The C interface of Ledra-M. Nothing is thrown across it; a null handle does
// nothing and returns 0 (an empty text for CM_GetValue, which never returns
// null).
#include <cerrno>
#include <new>
#include <string>

#include "handle.h"
#include "platform/diagnostics.h"

namespace {

// Saves, and tells the diagnostics why a save failed.
bool saveAndTell(ledra::Store& store) {
    errno = 0;
    if (store.save()) return true;
    // A file left as it is was reported when it was read.
    if (store.declinesSaves()) return false;
    const int error = errno;
    if (platform::diagnosticsOn()) {
        std::string line = "Ledra-M: saving " +
                           (store.filePath().empty() ? std::string("a store without a file") : store.filePath()) +
                           " failed: " + (store.lastError() != nullptr ? store.lastError() : "unknown error");
        if (error != 0) line += " (" + platform::describeSystemError(error) + ")";
        platform::diagnose(line);
    }
    return false;
}

} // namespace

extern "C" {

LEDRA_API CM_Store* CM_OpenInterface(void) { return new (std::nothrow) CM_Store(); }

LEDRA_API const char* CM_GetValue(CM_Store* store, const char* key, const char* section, const char* path) {
    if (store == nullptr) return "";
    try {
        return store->store.getValue(key, section, path);
    } catch (...) {
        return "";
    }
}

LEDRA_API int CM_SetValue(CM_Store* store, const char* key, const char* value, const char* section, const char* path) {
    if (store == nullptr) return 0;
    try {
        return store->store.setValue(key, value, section, path) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

LEDRA_API int CM_Save(CM_Store* store) {
    if (store == nullptr) return 0;
    try {
        return saveAndTell(store->store) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

LEDRA_API void CM_CloseInterface(CM_Store* store) {
    if (store == nullptr) return;
    try {
        saveAndTell(store->store);
    } catch (...) {}
    delete store;
}

} // extern "C"
