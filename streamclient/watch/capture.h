// tavolin-watch's headless captures: --record FILE (the seconds before the
// press from the pre-roll buffer, then --seconds more) and --snapshot FILE
// (the camera's picture at its full size).
#pragma once

#include <ostrel/stream_client.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "recorder/camera_recorder.h"
#include "watch_options.h"
#include "watch_surface.h"

namespace watch {

// A folder given to --record or --snapshot (one that is there, or a path
// ending in "/") gets files named after the camera and the time, as the
// viewer names them; it is made when missing. A file named must be one that
// can be made (not a device). False, having said why in one line, when one
// cannot be written.
bool prepareTargets(const Options& options);

// A recorder for --record with the [Capture] limits: the first file is the
// one asked for, a file it rolls over to gets "-2", "-3", ... Notices go to
// standard error.
std::unique_ptr<recorder::CameraRecorder> makeClipRecorder(const Options& options);

// Runs a connected record-only stream: fills the pre-roll for its seconds,
// presses Record, records --seconds (0: until interrupted or the stream
// ends) and prints once a second what it holds. An interrupt before the
// press keeps the pre-roll as the clip. The exit code: 0, 1 when recording
// failed, 2 when the camera was lost (the file is finished), 130 when
// interrupted before any picture came.
int runRecording(recorder::CameraRecorder& recorder, const Options& options, const std::atomic<bool>& lost,
                 const volatile std::sig_atomic_t& interrupted);

// An ONVIF camera's own snapshot, when it offers one: written as --snapshot
// asks (exit code 0, or 1 when the file cannot be written). -1 when it
// offers none: the picture then comes from its largest profile's stream,
// whose channel `options` is given.
int writeCameraSnapshot(Options& options);

// Writes JPEG bytes as --snapshot asks: to its file, or in its folder named
// after the camera and `taken`, never replacing a file; the path written.
std::optional<std::string> saveJpeg(std::span<const uint8_t> jpeg, std::chrono::system_clock::time_point taken,
                                    const Options& options, std::string& error);

// Waits (at most the time the stream client gives a first picture) for a
// picture at full size and writes it as a JPEG file, never replacing one.
// The exit code: 0 when written, 1 otherwise.
int writeSnapshot(const WatchSurface& surface, const Options& options, const std::atomic<bool>& lost);

} // namespace watch
