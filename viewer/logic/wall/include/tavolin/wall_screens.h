// Which screens the wall and the single live view go on. The wall goes on
// the screen the user put it on while that screen is there, else on the
// first (the setting is kept for when the screen comes back). The single
// view goes over the wall until the user put the wall on a screen of its
// own; then it opens on another screen, when there is one, so the wall
// stays in sight.
#pragma once

namespace tavolin {

struct WallScreens {
    int wall = 0;
    int single = 0;
    bool operator==(const WallScreens&) const = default;
};

// `chosen`: the screen the user put the wall on, -1 for none;
// `screenCount`: the screens there are now (at least one is assumed).
WallScreens chooseWallScreens(int chosen, int screenCount);

} // namespace tavolin
