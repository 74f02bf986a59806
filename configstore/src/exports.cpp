// The C interface of Ledra-M. Nothing is thrown across it; a null handle does
// nothing and returns 0 (an empty text for CM_GetValue, which never returns
// null).
#include <new>

#include "handle.h"

extern "C" {

LEDRA_API CM_Store* CM_OpenInterface(void) { return new (std::nothrow) CM_Store(); }

LEDRA_API const char* CM_GetValue(CM_Store* store, const char* key, const char* section,
                                  const char* path) {
  if (store == nullptr) return "";
  try {
    return store->store.getValue(key, section, path);
  } catch (...) {
    return "";
  }
}

LEDRA_API int CM_SetValue(CM_Store* store, const char* key, const char* value, const char* section,
                          const char* path) {
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
    return store->store.save() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

LEDRA_API void CM_CloseInterface(CM_Store* store) {
  if (store == nullptr) return;
  try {
    store->store.save();
  } catch (...) {
  }
  delete store;
}

}  // extern "C"
