#include "windowing/drawing.h"

#include <algorithm>
#include <utility>

namespace windowing {

FontSpec systemFontSpec() {
    FontSpec spec;
    spec.face = "Tahoma";
    spec.height = -11;
    spec.weight = kFontWeightNormal;
    return spec;
}

std::unique_ptr<Icon> loadIcon(const std::vector<IconResource>& table, int id, Size size) {
    auto it = std::find_if(table.begin(), table.end(), [id](const IconResource& r) { return r.id == id; });
    if (it == table.end() || it->data == nullptr || it->length == 0) return nullptr;
    if (size.width <= 0 || size.height <= 0) size = {it->naturalWidth, it->naturalHeight};
    if (size.width <= 0 || size.height <= 0) return nullptr;
    return std::make_unique<Icon>(id, size, it->data, it->length);
}

DrawingContext::~DrawingContext() = default;

ColorRef NullDrawingContext::setTextColor(ColorRef color) { return std::exchange(textColor_, color); }

BackgroundMode NullDrawingContext::setBackgroundMode(BackgroundMode mode) { return std::exchange(mode_, mode); }

const Font* NullDrawingContext::selectFont(const Font* font) { return std::exchange(font_, font); }

Size NullDrawingContext::measureText(const std::u16string&) { return {}; }

} // namespace windowing
