// CTodayWindow: a generic home-screen item window. It registers its window
// class, creates its window as a child of the home screen, answers the home
// screen's messages through one window procedure and paints its icon; a
// derived item draws its own content and decides what a tap does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "windowing/drawing.h"
#include "windowing/today_item.h"
#include "windowing/window.h"

class CTodayWindow {
public:
    CTodayWindow(windowing::ModuleInstance instance, std::string className, std::string title);
    // Destroys the window if the host has not, and gives up the class.
    virtual ~CTodayWindow();
    CTodayWindow(const CTodayWindow&) = delete;
    CTodayWindow& operator=(const CTodayWindow&) = delete;

    // The virtual operations, in their fixed order.
    virtual windowing::MessageResult windowProcedure(windowing::WindowHandle window, uint32_t message,
                                                     windowing::WParam wParam, windowing::LParam lParam);
    virtual void drawIcon(windowing::DrawingContext& dc);
    virtual void createFontsAndColors();
    virtual windowing::MessageResult onCreate(windowing::WindowHandle window, const windowing::CreateStruct* create);
    virtual windowing::MessageResult onDestroy();
    virtual void drawContent(windowing::DrawingContext& dc);
    virtual windowing::MessageResult onEraseBackground(windowing::DrawingContext& dc);
    virtual windowing::MessageResult onQueryRefreshCache(windowing::TODAYLISTITEM* item);
    virtual windowing::MessageResult onReceivedSelection(windowing::WParam wParam, windowing::LParam lParam);
    virtual void onTap(windowing::Point at);
    virtual void onStylusDown(windowing::Point at);
    virtual windowing::MessageResult onSettingChange(windowing::WParam wParam, windowing::LParam lParam);
    virtual windowing::MessageResult onNotify(windowing::WParam wParam, windowing::LParam lParam);
    virtual windowing::MessageResult defaultProcessing(uint32_t message, windowing::WParam wParam,
                                                       windowing::LParam lParam);

    // The item entry's work: registers the class, tells top-level windows
    // that the home screen changed, creates the window as a visible child of
    // `parent` (screen-wide, 0 high), shows and updates it. Null on failure.
    windowing::WindowHandle create(windowing::TODAYLISTITEM* item, windowing::WindowHandle parent);
    // Loads the item icon from `table` at `size`, to be drawn at `at`.
    void loadItemIcon(const std::vector<windowing::IconResource>& table, int id, windowing::Size size,
                      windowing::Point at);
    void setItemHeight(int height) { itemHeight_ = height; }

    windowing::WindowHandle window() const { return window_; }
    const std::string& className() const { return className_; }
    const std::string& title() const { return title_; }
    windowing::ColorRef textColor() const { return textColor_; }
    const windowing::Font* normalFont() const { return normalFont_.get(); }
    const windowing::Font* boldFont() const { return boldFont_.get(); }

    // The class's procedure: finds the object kept with the window.
    static windowing::MessageResult classProcedure(windowing::WindowHandle window, uint32_t message,
                                                   windowing::WParam wParam, windowing::LParam lParam);

protected:
    windowing::WindowHandle window_ = nullptr;
    bool firstRefresh_ = false;
    int itemHeight_ = 0;
    windowing::Point iconAt_;
    windowing::WindowHandle parent_ = nullptr;
    windowing::ModuleInstance instance_ = nullptr;
    std::string className_;
    std::string title_;
    std::unique_ptr<windowing::Icon> icon_;
    windowing::ColorRef textColor_ = 0;
    std::unique_ptr<windowing::Font> normalFont_;
    std::unique_ptr<windowing::Font> boldFont_;
};
