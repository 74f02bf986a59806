// The item library's entry points: the work done when the library is loaded
// into and unloaded from a process, and the item entry the host calls.
#include <memory>

#include "icon_resources.h"
#include "my_today.h"
#include "windowing/module_instance.h"

using namespace windowing;

namespace {

// One item per loaded library.
std::unique_ptr<CTodayWindow> theItem;
CMyToday* theMyToday = nullptr;

enum class LibraryReason { ProcessAttach, ProcessDetach };

bool libraryMain(ModuleInstance instance, LibraryReason reason) {
    try {
        if (reason == LibraryReason::ProcessAttach) {
            auto item = std::make_unique<CMyToday>(instance, CMyToday::kClassName, CMyToday::kTitle);
            item->setItemHeight(CMyToday::kItemHeight);
            item->loadItemIcon(todayIconResources(), CMyToday::kItemIconId, {16, 16}, CMyToday::kItemIconAt);
            item->loadProductIcon(todayIconResources(), CMyToday::kProductIconId);
            // A class left registered by an earlier load would point at code
            // that is gone.
            unregisterWindowClass(CMyToday::kClassName, instance);
            theMyToday = item.get();
            theItem = std::move(item);
        } else {
            theMyToday = nullptr;
            theItem.reset();
        }
    } catch (...) {
        // Out of memory while loading: the entry then answers null.
    }
    return true;
}

__attribute__((constructor)) void onLibraryLoad() {
    libraryMain(moduleInstanceOf(reinterpret_cast<const void*>(&onLibraryLoad)), LibraryReason::ProcessAttach);
}

__attribute__((destructor)) void onLibraryUnload() {
    libraryMain(moduleInstanceOf(reinterpret_cast<const void*>(&onLibraryUnload)), LibraryReason::ProcessDetach);
}

} // namespace

extern "C" __attribute__((visibility("default"))) WindowHandle InitializeCustomItem(TODAYLISTITEM* item,
                                                                                    WindowHandle parent) {
    if (theMyToday == nullptr) return nullptr;
    try {
        return theMyToday->create(item, parent);
    } catch (...) {
        return nullptr;
    }
}
