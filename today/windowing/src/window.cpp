#include "windowing/window.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace windowing {

struct WindowObject {
    WindowClass windowClass;
    std::string title;
    uint32_t style = 0;
    Rect bounds;
    WindowHandle parent = nullptr;
    ModuleInstance instance = nullptr;
    void* userData = nullptr;
    bool visible = false;
    bool needsPaint = true;
    bool needsErase = true;
    DrawingContext* paintContext = nullptr;
    bool destroying = false;
};

namespace {

// Every window and class of the process. Only the host's user-interface
// thread calls in, so no lock.
struct WindowWorld {
    std::map<std::string, WindowClass> classes;
    std::vector<std::unique_ptr<WindowObject>> windows;
    Size screen{240, 320};

    WindowObject* find(WindowHandle h) {
        if (h == nullptr) return nullptr;
        for (auto& w : windows)
            if (w.get() == h) return w.get();
        return nullptr;
    }
};

WindowWorld& world() {
    static WindowWorld instance;
    return instance;
}

NullDrawingContext& nullContext() {
    static NullDrawingContext context;
    return context;
}

} // namespace

bool registerWindowClass(const WindowClass& windowClass) {
    if (windowClass.name.empty() || windowClass.procedure == nullptr) return false;
    return world().classes.emplace(windowClass.name, windowClass).second;
}

bool unregisterWindowClass(const std::string& name, ModuleInstance instance) {
    auto& classes = world().classes;
    auto it = classes.find(name);
    if (it == classes.end() || it->second.instance != instance) return false;
    classes.erase(it);
    return true;
}

bool isWindowClassRegistered(const std::string& name) { return world().classes.count(name) != 0; }

WindowHandle createWindow(const WindowCreate& create) {
    auto& w = world();
    auto cls = w.classes.find(create.className);
    if (cls == w.classes.end()) return nullptr;
    if (create.parent != nullptr && w.find(create.parent) == nullptr) return nullptr;

    auto object = std::make_unique<WindowObject>();
    object->windowClass = cls->second;
    object->title = create.title;
    object->style = create.style;
    object->bounds = create.bounds;
    object->parent = create.parent;
    object->instance = create.instance;
    WindowHandle handle = object.get();
    w.windows.push_back(std::move(object));

    CreateStruct cs;
    cs.createParam = create.createParam;
    cs.instance = create.instance;
    cs.parent = create.parent;
    cs.bounds = create.bounds;
    cs.style = create.style;
    cs.className = &create.className;
    cs.title = &create.title;
    if (sendMessage(handle, WM_CREATE, 0, reinterpret_cast<LParam>(&cs)) == -1) {
        destroyWindow(handle);
        return nullptr;
    }
    // The procedure may have destroyed the window while being created.
    if (w.find(handle) == nullptr) return nullptr;
    if (create.style & WS_VISIBLE) handle->visible = true;
    return handle;
}

void destroyWindow(WindowHandle window) {
    auto& w = world();
    WindowObject* object = w.find(window);
    if (object == nullptr || object->destroying) return;
    object->destroying = true;
    std::vector<WindowHandle> children;
    for (auto& other : w.windows)
        if (other->parent == window) children.push_back(other.get());
    for (WindowHandle child : children) destroyWindow(child);
    object->windowClass.procedure(window, WM_DESTROY, 0, 0);
    std::erase_if(w.windows, [window](const std::unique_ptr<WindowObject>& o) { return o.get() == window; });
}

bool isWindow(WindowHandle window) { return world().find(window) != nullptr; }

MessageResult sendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    WindowObject* object = world().find(window);
    if (object == nullptr) return 0;
    return object->windowClass.procedure(window, message, wParam, lParam);
}

int broadcastMessage(uint32_t message, WParam wParam, LParam lParam) {
    // A procedure may create or destroy windows while it runs: work from a
    // snapshot and skip any that are gone by their turn.
    std::vector<WindowHandle> topLevel;
    for (auto& w : world().windows)
        if (w->parent == nullptr) topLevel.push_back(w.get());
    int delivered = 0;
    for (WindowHandle h : topLevel) {
        if (!isWindow(h)) continue;
        sendMessage(h, message, wParam, lParam);
        ++delivered;
    }
    return delivered;
}

MessageResult defaultWindowProcedure(WindowHandle window, uint32_t message, WParam, LParam) {
    WindowObject* object = world().find(window);
    if (object == nullptr) return 0;
    switch (message) {
    case WM_PAINT:
        // Nothing drawn, but the window counts as painted.
        beginPaint(window);
        endPaint(window);
        return 0;
    case WM_ERASEBKGND:
        // A class without a background brush leaves the background alone.
        return object->windowClass.nullBackground ? 0 : 1;
    default: return 0;
    }
}

bool showWindow(WindowHandle window, bool visible) {
    WindowObject* object = world().find(window);
    if (object == nullptr) return false;
    const bool was = object->visible;
    object->visible = visible;
    if (visible && !was) invalidateWindow(window);
    return was;
}

bool isWindowVisible(WindowHandle window) {
    WindowObject* object = world().find(window);
    return object != nullptr && object->visible;
}

bool moveWindow(WindowHandle window, const Rect& bounds) {
    WindowObject* object = world().find(window);
    if (object == nullptr) return false;
    object->bounds = bounds;
    invalidateWindow(window);
    return true;
}

Rect windowBounds(WindowHandle window) {
    WindowObject* object = world().find(window);
    return object != nullptr ? object->bounds : Rect{};
}

Rect clientRect(WindowHandle window) {
    WindowObject* object = world().find(window);
    if (object == nullptr) return {};
    return {0, 0, std::max(0, object->bounds.width()), std::max(0, object->bounds.height())};
}

WindowHandle parentWindow(WindowHandle window) {
    WindowObject* object = world().find(window);
    return object != nullptr ? object->parent : nullptr;
}

std::string windowTitle(WindowHandle window) {
    WindowObject* object = world().find(window);
    return object != nullptr ? object->title : std::string();
}

std::string windowClassName(WindowHandle window) {
    WindowObject* object = world().find(window);
    return object != nullptr ? object->windowClass.name : std::string();
}

void setWindowUserData(WindowHandle window, void* data) {
    if (WindowObject* object = world().find(window)) object->userData = data;
}

void* windowUserData(WindowHandle window) {
    WindowObject* object = world().find(window);
    return object != nullptr ? object->userData : nullptr;
}

void invalidateWindow(WindowHandle window) {
    if (WindowObject* object = world().find(window)) {
        object->needsPaint = true;
        object->needsErase = true;
    }
}

bool needsPainting(WindowHandle window) {
    WindowObject* object = world().find(window);
    return object != nullptr && object->needsPaint;
}

void updateWindow(WindowHandle window) {
    WindowObject* object = world().find(window);
    if (object == nullptr || !object->visible || !object->needsPaint) return;
    sendMessage(window, WM_PAINT, 0, 0);
}

void paintWindow(WindowHandle window, DrawingContext& context) {
    WindowObject* object = world().find(window);
    if (object == nullptr) return;
    object->needsPaint = true;
    object->needsErase = true;
    object->paintContext = &context;
    sendMessage(window, WM_PAINT, 0, 0);
    // The window may have been destroyed while painting.
    if (WindowObject* still = world().find(window)) still->paintContext = nullptr;
}

DrawingContext& beginPaint(WindowHandle window) {
    WindowObject* object = world().find(window);
    if (object == nullptr) return nullContext();
    DrawingContext& context = object->paintContext != nullptr ? *object->paintContext : nullContext();
    if (object->needsErase) {
        object->needsErase = false;
        sendMessage(window, WM_ERASEBKGND, reinterpret_cast<WParam>(&context), 0);
    }
    return context;
}

void endPaint(WindowHandle window) {
    if (WindowObject* object = world().find(window)) object->needsPaint = false;
}

void setScreenSize(Size size) { world().screen = size; }

Size screenSize() { return world().screen; }

} // namespace windowing
