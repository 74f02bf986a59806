#include "today_host.h"

#include <cstdio>

#include "windowing/module_instance.h"

using namespace windowing;

namespace today {

namespace {

ModuleInstance hostInstance() { return moduleInstanceOf(reinterpret_cast<const void*>(&hostInstance)); }

} // namespace

TodayHost::TodayHost(int screenWidth, Look look) : look_(look), screenWidth_(screenWidth) {
    setScreenSize({screenWidth_, 320});
    // One class per host object, so several hosts (tests) never share one.
    char name[64];
    std::snprintf(name, sizeof name, "TavolinTodayScreen%p", static_cast<void*>(this));
    className_ = name;
    WindowClass screenClass;
    screenClass.name = className_;
    screenClass.procedure = &TodayHost::screenProcedure;
    screenClass.instance = hostInstance();
    screenClass.nullBackground = false;
    registerWindowClass(screenClass);
    WindowCreate create;
    create.className = className_;
    create.title = "Today";
    create.style = WS_VISIBLE;
    create.bounds = {0, 0, screenWidth_, 320};
    create.instance = hostInstance();
    create.createParam = this;
    screen_ = createWindow(create);
}

TodayHost::~TodayHost() {
    closeItem();
    destroyWindow(screen_);
    unregisterWindowClass(className_, hostInstance());
}

void TodayHost::closeItem() {
    // The window goes before the code that answers its messages.
    destroyWindow(record_.window);
    record_.window = nullptr;
    module_.unload();
}

MessageResult TodayHost::screenProcedure(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (message == WM_CREATE && lParam != 0)
        setWindowUserData(window, reinterpret_cast<const CreateStruct*>(lParam)->createParam);
    auto* self = static_cast<TodayHost*>(windowUserData(window));
    if (self == nullptr) return defaultWindowProcedure(window, message, wParam, lParam);
    return self->onScreenMessage(message, wParam, lParam);
}

MessageResult TodayHost::onScreenMessage(uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
    case TODAYM_GETCOLOR:
        ++colorRequests_;
        if (wParam == TODAYCOLOR_TEXT || wParam == TODAYCOLOR_HIGHLIGHTEDTEXT) return look_.text;
        if (wParam == TODAYCOLOR_HIGHLIGHT) return look_.watermark;
        return look_.text;
    case TODAYM_DRAWWATERMARK: {
        ++watermarkRequests_;
        const auto* info = reinterpret_cast<const TODAYDRAWWATERMARKINFO*>(lParam);
        if (info == nullptr || info->context == nullptr) return 0;
        // A plain field with a band along the bottom: the home screen's look.
        info->context->fillRect(info->rect, look_.background);
        Rect band = info->rect;
        band.top = band.bottom > 1 ? band.bottom - 1 : band.top;
        info->context->fillRect(band, look_.watermark);
        return 1;
    }
    default: return defaultWindowProcedure(screen_, message, wParam, lParam);
    }
}

bool TodayHost::load(const std::string& bareName) {
    closeItem();
    if (screen_ == nullptr) {
        error_ = "no home-screen window";
        return false;
    }
    if (!module_.load(bareName)) {
        error_ = module_.error();
        return false;
    }
    auto entry = reinterpret_cast<InitializeCustomItemFunction>(module_.symbol(kInitializeCustomItemName));
    if (entry == nullptr) {
        error_ = std::string(kInitializeCustomItemName) + " missing in " + module_.path();
        module_.unload();
        return false;
    }
    record_ = TODAYLISTITEM{};
    std::snprintf(record_.name, sizeof record_.name, "%s", bareName.c_str());
    std::snprintf(record_.libraryPath, sizeof record_.libraryPath, "%s", module_.path().c_str());
    record_.window = entry(&record_, screen_);
    if (record_.window == nullptr) {
        error_ = "the item made no window";
        module_.unload();
        return false;
    }
    error_.clear();
    return true;
}

bool TodayHost::refresh() {
    if (record_.window == nullptr) return false;
    if (sendMessage(record_.window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WParam>(&record_), 0) == 0)
        return false;
    moveWindow(record_.window, {0, 0, screenWidth_, record_.height});
    return true;
}

void TodayHost::paint(DrawingContext& context) {
    if (record_.window != nullptr) paintWindow(record_.window, context);
}

void TodayHost::press(Point at) { sendMessage(record_.window, WM_LBUTTONDOWN, 0, makePointLParam(at.x, at.y)); }

void TodayHost::release(Point at) { sendMessage(record_.window, WM_LBUTTONUP, 0, makePointLParam(at.x, at.y)); }

void TodayHost::setScreenWidth(int width) {
    screenWidth_ = width;
    setScreenSize({width, 320});
    moveWindow(screen_, {0, 0, width, 320});
    if (record_.window != nullptr) moveWindow(record_.window, {0, 0, width, record_.height});
}

} // namespace today
