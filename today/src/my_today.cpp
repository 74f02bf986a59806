#include "my_today.h"

#include "windowing/process_start.h"

using namespace windowing;

CMyToday::CMyToday(ModuleInstance instance, std::string className, std::string title)
    : CTodayWindow(instance, std::move(className), std::move(title)) {}

void CMyToday::loadProductIcon(const std::vector<IconResource>& table, int id) { productIcon_ = loadIcon(table, id); }

void CMyToday::drawLine(DrawingContext& dc, const std::u16string& text, Point at) {
    const Size size = dc.measureText(text);
    dc.drawText(text, {at.x, at.y, at.x + size.width, at.y + size.height}, DT_LEFT | DT_TOP);
}

void CMyToday::drawContent(DrawingContext& dc) {
    dc.setTextColor(textColor_);
    const Font* before = dc.selectFont(boldFont_.get());
    drawLine(dc, kProductLine, kProductLineAt);
    dc.selectFont(normalFont_.get());
    drawLine(dc, kWebAddress, kWebAddressAt);
    dc.selectFont(before);
    if (productIcon_) {
        dc.setBackgroundMode(BackgroundMode::Transparent);
        dc.drawIcon(kProductIconAt, *productIcon_);
    }
}

MessageResult CMyToday::onReceivedSelection(WParam, LParam) {
    // The item takes no keyboard selection.
    return 0;
}

void CMyToday::onTap(Point) {
    // Installed in main memory, else on the storage card; when neither
    // starts, the tap has no effect.
    if (!startProcess(kViewerPath)) startProcess(kViewerCardPath);
}

void CMyToday::onStylusDown(Point) {}
