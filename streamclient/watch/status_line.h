// The line tavolin-watch prints once a second while a camera streams.
#pragma once

#include <string>

namespace watch {

struct SecondFigures {
    long second = 0;
    int streamWidth = 0; // the camera's picture size, 0 while unknown
    int streamHeight = 0;
    int shownWidth = 0; // the size drawn in the watcher's window
    int shownHeight = 0;
    long pictures = 0;     // drawn in this second
    long motion = 0;       // motion events in this second
    int motionRegions = 0; // bit i: region i + 1
    long inputs = 0;       // input events in this second
    int inputState = 0;    // bit 0: input 1, bit 1: input 2
};

// "640x360", or "640x360 (shown 320x180)" when the window shows the
// pictures smaller; the shown size alone while the camera's is unknown.
std::string pictureSizeText(int streamWidth, int streamHeight, int shownWidth, int shownHeight);

// "[   3 s] connected  picture 640x360 (shown 320x180)  25 pictures/s  ..."
std::string statusLine(const SecondFigures& f);

} // namespace watch
