#include "status_line.h"

#include <cstdio>

namespace watch {

namespace {

std::string sizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

} // namespace

std::string pictureSizeText(int streamWidth, int streamHeight, int shownWidth, int shownHeight) {
    if (streamWidth <= 0 || streamHeight <= 0) return sizeText(shownWidth, shownHeight);
    std::string text = sizeText(streamWidth, streamHeight);
    if (shownWidth != streamWidth || shownHeight != streamHeight)
        text += " (shown " + sizeText(shownWidth, shownHeight) + ")";
    return text;
}

std::string statusLine(const SecondFigures& f) {
    char line[256];
    const int regions = f.motionRegions;
    std::snprintf(line, sizeof line,
                  "[%4ld s] connected  picture %s  %ld pictures/s  motion %ld (regions %d%d%d%d)  "
                  "inputs %ld (in1 %d in2 %d)",
                  f.second, pictureSizeText(f.streamWidth, f.streamHeight, f.shownWidth, f.shownHeight).c_str(),
                  f.pictures, f.motion, regions & 1, (regions >> 1) & 1, (regions >> 2) & 1, (regions >> 3) & 1,
                  f.inputs, f.inputState & 1, (f.inputState >> 1) & 1);
    return line;
}

} // namespace watch
