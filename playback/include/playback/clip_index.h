// Tavolin's own clips (the Matroska files of the capture folder) by camera
// and time, for a timeline. The index is built and kept up to date on a
// thread of its own: asking it never waits for the disk. A clip's start time
// and camera come from the file itself (written there by the recorder), so
// a renamed clip still lands where it was recorded; a file without them is
// placed by its name ("<camera>_<YYYY-MM-DD_HH-MM-SS.mmm>.mkv", local time).
// Only files that changed since the last look are opened again, and then
// only their header is read, so a folder of thousands of clips stays cheap.
//
//   playback::ClipIndex index({folder}, [&] { post a refresh to the GUI thread });
//   auto clips = index.clips("Front door", dayStartMs, dayEndMs);
//   index.rescan(); // after a clip was recorded; returns at once
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace playback {

struct ClipEntry {
    std::string path;
    std::string cameraName; // as a file name holds it (recorder::cleanCameraName)
    int64_t startMs = 0;    // the first picture, ms since 1970 UTC
    int64_t endMs = 0;      // the last picture (a clip still being written: its last write)
};

// What a clip's file name says: its camera and its start (local time, as
// the recorder names it). Nothing for a name not made that way.
struct ClipName {
    std::string cameraName;
    int64_t startMs = 0;
};
std::optional<ClipName> parseClipName(std::string_view fileName);

// Reads one clip's entry from its Matroska header, falling back to its name
// for what the header lacks. Nothing for a file that is not a readable clip.
std::optional<ClipEntry> readClipEntry(const std::string& path);

struct ClipIndexSettings {
    std::string folder;
    // How often the folder is looked at again by itself; rescan() asks at once.
    int rescanIntervalMs = 10000;
};

class ClipIndex {
public:
    // On the index's thread, after a look at the folder found a change
    // (the first look always counts); it must not block nor destroy the index.
    using Changed = std::function<void()>;

    ClipIndex(ClipIndexSettings settings, Changed changed = {});
    // Stops the look under way and joins the thread.
    ~ClipIndex();
    ClipIndex(const ClipIndex&) = delete;
    ClipIndex& operator=(const ClipIndex&) = delete;

    // Asks for a look at the folder now; returns at once.
    void rescan();

    // The clips of a camera (its name as configured or as cleaned) that
    // overlap [fromMs, toMs], oldest first, as the latest look found them.
    std::vector<ClipEntry> clips(std::string_view cameraName, int64_t fromMs, int64_t toMs) const;
    // Every clip, oldest first.
    std::vector<ClipEntry> all() const;
    // Whether the first look at the folder is done.
    bool ready() const;
    // Why the folder could not be read at the latest look; empty otherwise.
    std::string problem() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace playback
