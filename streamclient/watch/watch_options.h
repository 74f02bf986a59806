// What tavolin-watch is asked to watch, from the command line or a camera
// section of a settings file.
#pragma once

#include <transport/contract.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "recorder/capture_settings.h"

namespace watch {

struct Options {
    bool cameraGiven = false; // false: watch a simulated camera
    int streamingType = 2;
    MediaConfig config{};
    int seconds = 0;       // 0: until Ctrl-C or a lost connection
    std::string imagePath; // latest picture as PPM, empty: none
    bool playAudio = false;
    bool verbose = false; // every diagnostic line on standard error
    bool latency = false; // the age of pictures at decode, from their time strip
    bool showHelp = false;
    bool find = false;    // list the ONVIF cameras that answer, then stop
    std::string talkPath; // a WAV file sent to an ONVIF camera's speaker, empty: none

    // Where the password comes from when not from the command line: a file
    // (--password-file), or the terminal (--password -, or a user name given
    // for an RTSP or ONVIF camera without a password).
    std::string passwordFile;
    bool askPassword = false;
    bool passwordWanted = false; // asked for when standard input is a terminal

    // Pointing: centre a point (shares of the picture from its top left),
    // zoom into a box (two corners), measure the camera's moves first.
    std::optional<std::array<double, 2>> centre;
    std::optional<std::array<double, 4>> zoomBox;
    bool calibrate = false;
    std::string calibration; // a calibration line (the settings file's PTZCalibration)
    std::string ptzFile;     // the PTZ protocol file; ONVIF.ptz for ONVIF cameras
    int ptzAddress = 1;
    bool pointing() const { return centre || zoomBox || calibrate; }

    std::string cameraName = "camera"; // for files named in a folder
    std::string snapshotPath;          // write one full-size picture as JPEG, then stop
    std::string recordPath;            // record a clip: the pre-roll, then `seconds`

    // An ONVIF camera's own recordings (times in ms since 1970 UTC): list
    // them and their events (within --from/--to), or export --seconds of them
    // from --replay T to --record, or write the picture at T to --snapshot.
    bool listRecordings = false;
    std::optional<int64_t> fromMs;
    std::optional<int64_t> toMs;
    std::optional<int64_t> replayMs;
    bool replaying() const { return listRecordings || replayMs.has_value(); }
    // The settings file's [Capture] section (limits, pre-roll), or defaults;
    // --pre-roll sets the pre-roll's seconds.
    recorder::CaptureSettings capture =
        recorder::readCaptureSettings([](const char*) { return std::string(); }, recorder::UserFolders::fromProcess());
};

// Parses the arguments; false with a message in error when they are wrong.
// A password given on the command line (--password, or inside --url) is
// overwritten in argv once taken, so that the process list stops showing it.
bool parseArguments(int argc, char** argv, Options& options, std::string& error);

// Takes the password from the file or the terminal when the options ask for
// it; false with a message in error when that fails.
bool takePassword(Options& options, std::string& error);

// Fills the camera's settings from section `camera` (0 to 15) of a settings
// file, with the viewer's defaults for missing keys. False when the store is
// not available.
bool loadCameraSection(const std::string& path, int camera, Options& options, std::string& error);

const char* usageText();

} // namespace watch
