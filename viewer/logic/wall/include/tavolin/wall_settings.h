// The wall's settings, beside the cameras in the settings file, in sections
// of their own that readers of the camera sections pass over: the grid and
// page of "All cameras" and the wall's screen ("Wall"), the named layouts
// and the one shown ("WallLayouts"), and the tour ("WallTour").
#pragma once

#include <vector>

#include "tavolin/wall_arrangement.h"
#include "tavolin/wall_layout.h"

namespace tavolin {

class CameraList;

inline constexpr const char* kWallSection = "Wall";
inline constexpr const char* kWallLayoutsSection = "WallLayouts";
inline constexpr const char* kWallTourSection = "WallTour";

// More are never read.
inline constexpr int kMostWallArrangements = 32;

struct WallTourSettings {
    // Layouts by number: 0 is "All cameras", 1 the first arrangement. Empty:
    // every layout.
    std::vector<int> layouts{};
    int seconds = 10;
    // Motion on a shown camera holds the tour while it lasts.
    bool holdOnMotion = true;
    bool operator==(const WallTourSettings&) const = default;
};

struct WallSettings {
    WallLayout layout = kDefaultWallLayout;
    int page = 0;
    std::vector<WallArrangement> arrangements{};
    // 0: "All cameras"; n: arrangement n - 1.
    int shown = 0;
    WallTourSettings tour{};
    // The screen the user put the wall on; -1 while they never moved it.
    int screen = -1;
    bool operator==(const WallSettings&) const = default;
};

// Missing or unreadable values give the defaults: the default layout, the
// first page, no arrangements. An arrangement that cannot be read is left
// out, the others are kept.
WallSettings loadWallSettings(const CameraList& list);
// True when the file was written.
bool saveWallSettings(CameraList& list, const WallSettings& settings);

} // namespace tavolin
