// CMyToday: the product's home-screen item. One row with the item icon, the
// product line in bold, the maker's web address and the product icon; a tap
// starts the viewer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "today_window.h"

class CMyToday : public CTodayWindow {
public:
    static constexpr const char* kClassName = "TavolinTodayClass";
    static constexpr const char* kTitle = "TavolinTodayWnd";
    static constexpr int kItemHeight = 40;
    static constexpr int kItemIconId = 101;
    static constexpr int kProductIconId = 105;
    static constexpr windowing::Point kItemIconAt{2, 0};
    static constexpr windowing::Point kProductIconAt{200, 2};
    static constexpr windowing::Point kProductLineAt{50, 2};
    static constexpr windowing::Point kWebAddressAt{50, 17};
    static constexpr const char16_t* kProductLine = u"Vexo Tavolin v2.0";
    static constexpr const char16_t* kWebAddress = u"www.tavolin.example";
    static constexpr const char* kViewerPath = "\\Program Files\\Tavolin\\Tavolin.exe";
    static constexpr const char* kViewerCardPath = "\\Memory Card\\Program Files\\Tavolin\\Tavolin.exe";

    CMyToday(windowing::ModuleInstance instance, std::string className, std::string title);

    // Loads the product icon at its own size.
    void loadProductIcon(const std::vector<windowing::IconResource>& table, int id);

    void drawContent(windowing::DrawingContext& dc) override;
    windowing::MessageResult onReceivedSelection(windowing::WParam wParam, windowing::LParam lParam) override;
    void onTap(windowing::Point at) override;
    void onStylusDown(windowing::Point at) override;

private:
    // Draws one line left and top aligned in a box as big as the text.
    static void drawLine(windowing::DrawingContext& dc, const std::u16string& text, windowing::Point at);

    std::unique_ptr<windowing::Icon> productIcon_;
};
