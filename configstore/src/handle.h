// What a CM_Store handle is. Internal: tests use it to look at the store
// behind a handle (its last error, for one).
#pragma once

#include "ledra/config_store.h"
#include "store.h"

struct CM_Store {
    ledra::Store store;
};

namespace ledra {

inline Store& storeOf(CM_Store* handle) { return handle->store; }

} // namespace ledra
