// What tavolin-watch is asked to watch, from the command line or a camera
// section of a settings file.
#pragma once

#include <transport/contract.h>

#include <string>

namespace watch {

struct Options {
    bool cameraGiven = false; // false: watch a simulated camera
    int streamingType = 2;
    MediaConfig config{};
    int seconds = 0;       // 0: until Ctrl-C or a lost connection
    std::string imagePath; // latest picture as PPM, empty: none
    bool playAudio = false;
    bool verbose = false; // every diagnostic line on standard error
    bool showHelp = false;
    bool find = false; // list the ONVIF cameras that answer, then stop
};

// Parses the arguments; false with a message in error when they are wrong.
bool parseArguments(int argc, char** argv, Options& options, std::string& error);

// Fills the camera's settings from section `camera` (0 to 15) of a settings
// file, with the viewer's defaults for missing keys. False when the store is
// not available.
bool loadCameraSection(const std::string& path, int camera, Options& options, std::string& error);

const char* usageText();

} // namespace watch
