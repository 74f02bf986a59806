// Windows with a procedure: a class registry, windows created from a class,
// synchronous message delivery and a paint pass. This is the least windowing
// a loadable screen item needs: the host creates and paints the windows, the
// item answers messages through its procedure. Process-wide, in one shared
// library, so a host program and the items it loads see the same windows.
// Calls come from one thread (the host's user-interface thread).
#pragma once

#include <cstdint>
#include <string>

#include "windowing/drawing.h"

namespace windowing {

struct WindowObject;
using WindowHandle = WindowObject*;
using ModuleInstance = const void*;
using WParam = uintptr_t;
using LParam = intptr_t;
using MessageResult = intptr_t;
using WindowProcedure = MessageResult (*)(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Message numbers.
constexpr uint32_t WM_CREATE = 1;
constexpr uint32_t WM_DESTROY = 2;
constexpr uint32_t WM_PAINT = 15;
constexpr uint32_t WM_ERASEBKGND = 20;
constexpr uint32_t WM_SETTINGCHANGE = 26;
constexpr uint32_t WM_NOTIFY = 78;
constexpr uint32_t WM_LBUTTONDOWN = 513;
constexpr uint32_t WM_LBUTTONUP = 514;

// Class styles: repaint the whole window when its width or height changes.
constexpr uint32_t CS_VREDRAW = 0x1;
constexpr uint32_t CS_HREDRAW = 0x2;
// Window styles.
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;

// Pointer messages carry the position as x in the low and y in the high word.
constexpr LParam makePointLParam(int x, int y) {
    return static_cast<LParam>((static_cast<uint32_t>(y) & 0xFFFF) << 16 | (static_cast<uint32_t>(x) & 0xFFFF));
}
constexpr Point pointFromLParam(LParam l) {
    return {static_cast<int16_t>(l & 0xFFFF), static_cast<int16_t>((l >> 16) & 0xFFFF)};
}

struct WindowClass {
    std::string name;
    uint32_t style = 0;
    WindowProcedure procedure = nullptr;
    ModuleInstance instance = nullptr;
    // The windows of this class paint their own background (or ask for it).
    bool nullBackground = true;
};

// What WM_CREATE's lParam points at.
struct CreateStruct {
    void* createParam = nullptr;
    ModuleInstance instance = nullptr;
    WindowHandle parent = nullptr;
    Rect bounds;
    uint32_t style = 0;
    const std::string* className = nullptr;
    const std::string* title = nullptr;
};

struct WindowCreate {
    std::string className;
    std::string title;
    uint32_t style = 0;
    Rect bounds;
    WindowHandle parent = nullptr;
    ModuleInstance instance = nullptr;
    void* createParam = nullptr;
};

// False when a class of that name is already registered or the class has no
// procedure.
TAVOLIN_WINDOWING_API bool registerWindowClass(const WindowClass& windowClass);
// False when no class of that name belongs to that instance.
TAVOLIN_WINDOWING_API bool unregisterWindowClass(const std::string& name, ModuleInstance instance);
TAVOLIN_WINDOWING_API bool isWindowClassRegistered(const std::string& name);

// Creates the window and sends it WM_CREATE; null for an unknown class, an
// unknown parent, or a procedure that answers -1 to WM_CREATE.
TAVOLIN_WINDOWING_API WindowHandle createWindow(const WindowCreate& create);
// Destroys the window's children, sends WM_DESTROY and frees it. Unknown
// handles are ignored.
TAVOLIN_WINDOWING_API void destroyWindow(WindowHandle window);
TAVOLIN_WINDOWING_API bool isWindow(WindowHandle window);

// Calls the window's procedure at once; 0 for unknown handles.
TAVOLIN_WINDOWING_API MessageResult sendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
// Sends to every top-level window; answers how many received it.
TAVOLIN_WINDOWING_API int broadcastMessage(uint32_t message, WParam wParam, LParam lParam);
// What a procedure does with messages it does not handle itself.
TAVOLIN_WINDOWING_API MessageResult defaultWindowProcedure(WindowHandle window, uint32_t message, WParam wParam,
                                                           LParam lParam);

TAVOLIN_WINDOWING_API bool showWindow(WindowHandle window, bool visible);
TAVOLIN_WINDOWING_API bool isWindowVisible(WindowHandle window);
// Moves and sizes a window (bounds in its parent's coordinates) and marks it
// for painting.
TAVOLIN_WINDOWING_API bool moveWindow(WindowHandle window, const Rect& bounds);
TAVOLIN_WINDOWING_API Rect windowBounds(WindowHandle window);
// (0, 0, width, height).
TAVOLIN_WINDOWING_API Rect clientRect(WindowHandle window);
TAVOLIN_WINDOWING_API WindowHandle parentWindow(WindowHandle window);
TAVOLIN_WINDOWING_API std::string windowTitle(WindowHandle window);
TAVOLIN_WINDOWING_API std::string windowClassName(WindowHandle window);

// A value the window's owner keeps with it (usually the object behind it).
TAVOLIN_WINDOWING_API void setWindowUserData(WindowHandle window, void* data);
TAVOLIN_WINDOWING_API void* windowUserData(WindowHandle window);

// Marks the window for painting (and its background for erasing).
TAVOLIN_WINDOWING_API void invalidateWindow(WindowHandle window);
TAVOLIN_WINDOWING_API bool needsPainting(WindowHandle window);
// Sends WM_PAINT now if the window is visible and marked for painting; it
// paints into nothing unless a host paint pass is under way.
TAVOLIN_WINDOWING_API void updateWindow(WindowHandle window);

// The host's paint pass: marks the window, sends WM_PAINT, and lets
// beginPaint hand `context` to the procedure.
TAVOLIN_WINDOWING_API void paintWindow(WindowHandle window, DrawingContext& context);
// Inside WM_PAINT: sends WM_ERASEBKGND (wParam = the context) when the
// background needs erasing and answers the context to draw with.
TAVOLIN_WINDOWING_API DrawingContext& beginPaint(WindowHandle window);
// Ends the paint: the window no longer needs painting.
TAVOLIN_WINDOWING_API void endPaint(WindowHandle window);

// The screen the windows live on (its width sizes full-width items).
TAVOLIN_WINDOWING_API void setScreenSize(Size size);
TAVOLIN_WINDOWING_API Size screenSize();

} // namespace windowing
