// The screen-item protocol between the home screen (the host) and an item
// library it loads: the record that describes an item, the messages they
// exchange and the item's entry point.
#pragma once

#include <cstdint>

#include "windowing/drawing.h"
#include "windowing/window.h"

namespace windowing {

// Host to item.
constexpr uint32_t WM_TODAYCUSTOM_RECEIVEDSELECTION = 1266;
constexpr uint32_t WM_TODAYCUSTOM_QUERYREFRESHCACHE = 1267;
// Item to host (its parent window).
constexpr uint32_t TODAYM_GETCOLOR = 1124;
constexpr uint32_t TODAYM_DRAWWATERMARK = 1125;
// TODAYM_GETCOLOR's wParam: which colour.
constexpr uint32_t TODAYCOLOR_TEXT = 0x10000004;
constexpr uint32_t TODAYCOLOR_HIGHLIGHT = 0x10000022;
constexpr uint32_t TODAYCOLOR_HIGHLIGHTEDTEXT = 0x10000023;
// WM_SETTINGCHANGE's wParam when the home screen's look changed.
constexpr WParam SETTINGCHANGE_TODAY = 0xF2;

// One item of the home screen, owned by the host and handed to the item.
struct TODAYLISTITEM {
    char name[32] = {};
    uint32_t type = 0;
    uint32_t orderNumber = 0;
    // The item's height in pixels; the item writes it when asked to refresh.
    int height = 0;
    int enabled = 1;
    int options = 0;
    uint32_t flags = 0;
    char libraryPath[260] = {};
    ModuleInstance instance = nullptr;
    WindowHandle window = nullptr;
    int sizeOnDraw = 0;
};

// TODAYM_DRAWWATERMARK's lParam: where the host draws its background.
struct TODAYDRAWWATERMARKINFO {
    DrawingContext* context = nullptr;
    Rect rect;
    WindowHandle window = nullptr;
};

// The item library's entry, exported by this name.
using InitializeCustomItemFunction = WindowHandle (*)(TODAYLISTITEM* item, WindowHandle parent);
constexpr const char* kInitializeCustomItemName = "InitializeCustomItem";

} // namespace windowing
