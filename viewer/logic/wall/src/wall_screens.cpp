#include "tavolin/wall_screens.h"

namespace tavolin {

WallScreens chooseWallScreens(int chosen, int screenCount) {
    WallScreens screens;
    if (chosen >= 0 && chosen < screenCount) screens.wall = chosen;
    if (chosen < 0 || screenCount < 2) {
        screens.single = screens.wall;
    } else {
        screens.single = screens.wall == 0 ? 1 : 0;
    }
    return screens;
}

} // namespace tavolin
