// The home screen's side of an item: loads the item library by name, keeps
// the home-screen window the item is a child of, calls the item entry, asks
// for refreshes, answers colour and watermark requests, and hands paint and
// stylus input to the item window. Toolkit-free; a widget or a test drives it.
#pragma once

#include <string>

#include "windowing/drawing.h"
#include "platform/module.h"
#include "windowing/today_item.h"
#include "windowing/window.h"

namespace today {

// The home screen's colours.
struct TodayLook {
    windowing::ColorRef text = windowing::makeColorRef(0, 0, 0);
    windowing::ColorRef background = windowing::makeColorRef(255, 255, 255);
    windowing::ColorRef watermark = windowing::makeColorRef(228, 236, 248);
};

class TodayHost {
public:
    using Look = TodayLook;

    explicit TodayHost(int screenWidth = 240, Look look = {});
    ~TodayHost();
    TodayHost(const TodayHost&) = delete;
    TodayHost& operator=(const TodayHost&) = delete;

    // Loads "lib<bareName>.so" and creates its item. False (error() says
    // why) when the library, its entry or its window is missing.
    bool load(const std::string& bareName);
    const std::string& error() const { return error_; }

    // Asks the item whether it changed; when it did, takes its new height
    // and sizes its window. Answers the item's answer.
    bool refresh();
    int itemHeight() const { return record_.height; }
    windowing::WindowHandle itemWindow() const { return record_.window; }
    windowing::WindowHandle screenWindow() const { return screen_; }

    void paint(windowing::DrawingContext& context);
    void press(windowing::Point at);
    void release(windowing::Point at);
    void setScreenWidth(int width);

    // How often the item asked for the watermark and the text colour.
    int watermarkRequests() const { return watermarkRequests_; }
    int colorRequests() const { return colorRequests_; }

private:
    static windowing::MessageResult screenProcedure(windowing::WindowHandle window, uint32_t message,
                                                    windowing::WParam wParam, windowing::LParam lParam);
    windowing::MessageResult onScreenMessage(uint32_t message, windowing::WParam wParam, windowing::LParam lParam);
    void closeItem();

    Look look_;
    int screenWidth_;
    std::string className_;
    windowing::WindowHandle screen_ = nullptr;
    windowing::TODAYLISTITEM record_;
    platform::Module module_;
    std::string error_;
    int watermarkRequests_ = 0;
    int colorRequests_ = 0;
};

} // namespace today
