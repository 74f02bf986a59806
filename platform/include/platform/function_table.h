// Binds a plug-in contract's table of functions by name from a loaded module.
// A contract supplies its table type and forEachFunction(table, visit), which
// calls visit(name, need, slot) for each of its functions in lookup order.
#pragma once

#include <type_traits>

#include "platform/module.h"

namespace platform {

// Fills every slot that `wanted(need)` accepts with the address of its name
// (null where the module lacks it) and leaves the others null. Returns the
// first name marked Required that the module lacks, or nullptr when the
// table is usable.
template <typename Table, typename Wanted>
const char* bindFunctionTable(const Module& module, Table& table, Wanted&& wanted) {
    table = Table{};
    const char* missing = nullptr;
    forEachFunction(table, [&](const char* name, auto need, auto& slot) {
        if (!wanted(need)) return;
        void* address = module.symbol(name);
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(address);
        if (address == nullptr && need == decltype(need)::Required && missing == nullptr) missing = name;
    });
    return missing;
}

// Every function of the contract.
template <typename Table>
const char* bindFunctionTable(const Module& module, Table& table) {
    return bindFunctionTable(module, table, [](auto) { return true; });
}

} // namespace platform
