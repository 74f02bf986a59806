#include "today_window.h"

#include <utility>

using namespace windowing;

CTodayWindow::CTodayWindow(ModuleInstance instance, std::string className, std::string title)
    : instance_(instance), className_(std::move(className)), title_(std::move(title)) {}

CTodayWindow::~CTodayWindow() {
    // The procedure must never reach a freed object: cut the link first.
    if (isWindow(window_)) {
        setWindowUserData(window_, nullptr);
        destroyWindow(window_);
    }
    unregisterWindowClass(className_, instance_);
}

MessageResult CTodayWindow::classProcedure(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    try {
        auto* self = static_cast<CTodayWindow*>(windowUserData(window));
        if (message == WM_CREATE && lParam != 0) {
            self = static_cast<CTodayWindow*>(reinterpret_cast<const CreateStruct*>(lParam)->createParam);
            setWindowUserData(window, self);
            if (self != nullptr) self->window_ = window;
        }
        if (self == nullptr) return defaultWindowProcedure(window, message, wParam, lParam);
        return self->windowProcedure(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

MessageResult CTodayWindow::windowProcedure(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
    case WM_DESTROY: return onDestroy();
    case WM_PAINT: {
        DrawingContext& dc = beginPaint(window);
        drawIcon(dc);
        drawContent(dc);
        endPaint(window);
        return 0;
    }
    case WM_ERASEBKGND: {
        auto* dc = reinterpret_cast<DrawingContext*>(wParam);
        NullDrawingContext none;
        return onEraseBackground(dc != nullptr ? *dc : none);
    }
    case WM_SETTINGCHANGE: return onSettingChange(wParam, lParam);
    case WM_NOTIFY: return onNotify(wParam, lParam);
    case WM_LBUTTONDOWN: onStylusDown(pointFromLParam(lParam)); return 0;
    case WM_LBUTTONUP: onTap(pointFromLParam(lParam)); return 0;
    case WM_TODAYCUSTOM_RECEIVEDSELECTION: return onReceivedSelection(wParam, lParam);
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE: return onQueryRefreshCache(reinterpret_cast<TODAYLISTITEM*>(wParam));
    default: // WM_CREATE included: nothing of the item's own
        return defaultProcessing(message, wParam, lParam);
    }
}

void CTodayWindow::drawIcon(DrawingContext& dc) {
    if (!icon_) return;
    const BackgroundMode before = dc.setBackgroundMode(BackgroundMode::Transparent);
    dc.drawIcon(iconAt_, *icon_);
    dc.setBackgroundMode(before);
}

void CTodayWindow::createFontsAndColors() {
    textColor_ = static_cast<ColorRef>(sendMessage(parent_, TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0));
    FontSpec spec = systemFontSpec();
    spec.face = "Tahoma";
    spec.height = -11;
    spec.weight = kFontWeightNormal;
    normalFont_ = std::make_unique<Font>(spec);
    spec.weight = kFontWeightBold;
    boldFont_ = std::make_unique<Font>(spec);
}

MessageResult CTodayWindow::onCreate(WindowHandle window, const CreateStruct*) {
    window_ = window;
    firstRefresh_ = true;
    createFontsAndColors();
    return 0;
}

MessageResult CTodayWindow::onDestroy() {
    window_ = nullptr;
    return 0;
}

void CTodayWindow::drawContent(DrawingContext&) {}

MessageResult CTodayWindow::onEraseBackground(DrawingContext& dc) {
    TODAYDRAWWATERMARKINFO info;
    info.context = &dc;
    info.rect = clientRect(window_);
    info.window = window_;
    sendMessage(parent_, TODAYM_DRAWWATERMARK, 0, reinterpret_cast<LParam>(&info));
    return 1;
}

MessageResult CTodayWindow::onQueryRefreshCache(TODAYLISTITEM* item) {
    if (item == nullptr || !firstRefresh_) return 0;
    item->height = itemHeight_;
    firstRefresh_ = false;
    return 1;
}

MessageResult CTodayWindow::onReceivedSelection(WParam, LParam) { return 0; }

void CTodayWindow::onTap(Point) {}

void CTodayWindow::onStylusDown(Point) {}

MessageResult CTodayWindow::onSettingChange(WParam, LParam) { return 0; }

MessageResult CTodayWindow::onNotify(WParam, LParam) { return 0; }

MessageResult CTodayWindow::defaultProcessing(uint32_t message, WParam wParam, LParam lParam) {
    return defaultWindowProcedure(window_, message, wParam, lParam);
}

WindowHandle CTodayWindow::create(TODAYLISTITEM*, WindowHandle parent) {
    // A second entry call replaces the first window rather than leaking it.
    if (isWindow(window_)) {
        setWindowUserData(window_, nullptr);
        destroyWindow(window_);
        window_ = nullptr;
    }
    parent_ = parent;
    WindowClass windowClass;
    windowClass.name = className_;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.procedure = &CTodayWindow::classProcedure;
    windowClass.instance = instance_;
    windowClass.nullBackground = true;
    // Registered already by an earlier entry call: the same class serves.
    registerWindowClass(windowClass);

    broadcastMessage(WM_SETTINGCHANGE, SETTINGCHANGE_TODAY, 0);

    WindowCreate create;
    create.className = className_;
    create.title = title_;
    create.style = WS_VISIBLE | WS_CHILD;
    create.bounds = {0, 0, screenSize().width, 0};
    create.parent = parent;
    create.instance = instance_;
    create.createParam = this;
    WindowHandle window = createWindow(create);
    if (window == nullptr) return nullptr;
    onCreate(window, nullptr);
    showWindow(window, true);
    updateWindow(window);
    return window;
}

void CTodayWindow::loadItemIcon(const std::vector<IconResource>& table, int id, Size size, Point at) {
    icon_ = loadIcon(table, id, size);
    iconAt_ = at;
}
