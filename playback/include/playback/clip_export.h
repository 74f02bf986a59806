// Saving a span of what was recorded (a camera's own recording, or one of
// Tavolin's clips) as a new Matroska clip, without decoding or re-encoding:
// the coded pictures are copied through the recorder's clip files, from the
// key picture at or before the span's start to the last picture in it, with
// the same time-stamp repair, start time, naming and never-replace rules as
// a clip recorded live.
//
//   playback::ExportSpan span{fromMs, toMs};
//   auto done = playback::exportClip(clipPath, span, "/home/me/minute.mkv");
//   auto done = playback::exportCameraRecording(archive.replay(), span, path);
//   if (!done.ok) ... done.reason
#pragma once

#include "playback/camera_replay.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace playback {

struct ExportSpan {
    int64_t fromMs = 0; // our clock, ms since 1970 UTC
    int64_t toMs = 0;
};

struct ExportOptions {
    std::string cameraName; // kept in the file beside its start time
    // Set from another thread to stop; the file holds what was copied so far.
    const std::atomic<bool>* cancel = nullptr;
    // The time of each picture copied, on the exporting thread.
    std::function<void(int64_t timeMs)> progress;
};

struct ExportResult {
    bool ok = false;
    std::string path;    // the file written (a taken name gets a suffix)
    std::string reason;  // why it failed, in one line
    int64_t firstMs = 0; // the first picture written (a key picture, at or before the span)
    int64_t lastMs = 0;
    uint64_t pictures = 0;
    uint64_t bytes = 0; // of coded pictures copied
};

// Waits until the span is written; call it off the GUI thread.
ExportResult exportClip(const std::string& clipPath, const ExportSpan& span, const std::string& outPath,
                        const ExportOptions& options = {});
ExportResult exportCameraRecording(CameraReplay camera, const ExportSpan& span, const std::string& outPath,
                                   const ExportOptions& options = {});

} // namespace playback
