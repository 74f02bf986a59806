// CTodayWindow: a generic home-screen item window. It registers its window
// class, creates its window as a child of the home screen, answers the home
// screen's messages through one window procedure and paints its icon; a
// derived item draws its own content and decides what a tap does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/drawing.h"
#include "platform/today_item.h"
#include "platform/window.h"

class CTodayWindow {
public:
    CTodayWindow(platform::ModuleInstance instance, std::string className, std::string title);
    // Destroys the window if the host has not, and gives up the class.
    virtual ~CTodayWindow();
    CTodayWindow(const CTodayWindow&) = delete;
    CTodayWindow& operator=(const CTodayWindow&) = delete;

    // The virtual operations, in their fixed order.
    virtual platform::MessageResult windowProcedure(platform::WindowHandle window, uint32_t message,
                                                    platform::WParam wParam, platform::LParam lParam);
    virtual void drawIcon(platform::DrawingContext& dc);
    virtual void createFontsAndColors();
    virtual platform::MessageResult onCreate(platform::WindowHandle window, const platform::CreateStruct* create);
    virtual platform::MessageResult onDestroy();
    virtual void drawContent(platform::DrawingContext& dc);
    virtual platform::MessageResult onEraseBackground(platform::DrawingContext& dc);
    virtual platform::MessageResult onQueryRefreshCache(platform::TODAYLISTITEM* item);
    virtual platform::MessageResult onReceivedSelection(platform::WParam wParam, platform::LParam lParam);
    virtual void onTap(platform::Point at);
    virtual void onStylusDown(platform::Point at);
    virtual platform::MessageResult onSettingChange(platform::WParam wParam, platform::LParam lParam);
    virtual platform::MessageResult onNotify(platform::WParam wParam, platform::LParam lParam);
    virtual platform::MessageResult defaultProcessing(uint32_t message, platform::WParam wParam,
                                                      platform::LParam lParam);

    // The item entry's work: registers the class, tells top-level windows
    // that the home screen changed, creates the window as a visible child of
    // `parent` (screen-wide, 0 high), shows and updates it. Null on failure.
    platform::WindowHandle create(platform::TODAYLISTITEM* item, platform::WindowHandle parent);
    // Loads the item icon from `table` at `size`, to be drawn at `at`.
    void loadItemIcon(const std::vector<platform::IconResource>& table, int id, platform::Size size,
                      platform::Point at);
    void setItemHeight(int height) { itemHeight_ = height; }

    platform::WindowHandle window() const { return window_; }
    const std::string& className() const { return className_; }
    const std::string& title() const { return title_; }
    platform::ColorRef textColor() const { return textColor_; }
    const platform::Font* normalFont() const { return normalFont_.get(); }
    const platform::Font* boldFont() const { return boldFont_.get(); }

    // The class's procedure: finds the object kept with the window.
    static platform::MessageResult classProcedure(platform::WindowHandle window, uint32_t message,
                                                  platform::WParam wParam, platform::LParam lParam);

protected:
    platform::WindowHandle window_ = nullptr;
    bool firstRefresh_ = false;
    int itemHeight_ = 0;
    platform::Point iconAt_;
    platform::WindowHandle parent_ = nullptr;
    platform::ModuleInstance instance_ = nullptr;
    std::string className_;
    std::string title_;
    std::unique_ptr<platform::Icon> icon_;
    platform::ColorRef textColor_ = 0;
    std::unique_ptr<platform::Font> normalFont_;
    std::unique_ptr<platform::Font> boldFont_;
};
