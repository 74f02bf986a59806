#include "tavolin/wall_settings.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "tavolin/camera_list.h"
#include "tavolin/camera_settings.h"

namespace tavolin {

WallSettings loadWallSettings(const CameraList& list) {
    WallSettings settings;
    const std::string layout = list.value(kWallSection, "WallLayout");
    if (auto known = wallLayoutOfCells(parseDecimal(layout.c_str()))) settings.layout = *known;
    // The grid holds a page beyond the last to the last.
    settings.page = std::max(0, parseDecimal(list.value(kWallSection, "WallPage").c_str()));
    return settings;
}

bool saveWallSettings(CameraList& list, const WallSettings& settings) {
    const std::array<std::pair<const char*, std::string>, 2> values{{
        {"WallLayout", std::to_string(cellCount(settings.layout))},
        {"WallPage", std::to_string(settings.page)},
    }};
    return list.saveValues(kWallSection, values);
}

} // namespace tavolin
