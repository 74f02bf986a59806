// The wall's layout and page, kept in a section of the settings file of
// their own ("Wall"), which readers of the camera sections pass over.
#pragma once

#include "tavolin/wall_layout.h"

namespace tavolin {

class CameraList;

inline constexpr const char* kWallSection = "Wall";

struct WallSettings {
    WallLayout layout = kDefaultWallLayout;
    int page = 0;
};

// Missing or unreadable values give the default layout and the first page.
WallSettings loadWallSettings(const CameraList& list);
// True when the file was written.
bool saveWallSettings(CameraList& list, const WallSettings& settings);

} // namespace tavolin
