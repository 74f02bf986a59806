// What the live view's popup menu shows: which items can be chosen and which
// are checked.
#pragma once

#include <QString>

namespace tavolin::ui {

struct LiveMenuState {
    bool ptzEnabled = false; // presets, speeds and OSD items
    int ptzSpeed = 3;        // the speed item checked, 1..5
    bool quadServer = false; // monitor items
    bool playAudio = false;  // Audio In
    bool talking = false;    // Audio Out
    bool output = false;     // Trigger DO1
    bool recording = false;  // Record
    // Audio Out can be chosen; when not, the reason says why in one line.
    bool audioOut = true;
    QString audioOutReason = {};
    bool operator==(const LiveMenuState&) const = default;
};

} // namespace tavolin::ui
