// One clip on disk: a Matroska file that the camera's compressed pictures
// are copied into as they are (no re-encoding), with the camera's audio as
// 16-bit PCM beside them.
//
// Matroska rather than fragmented MP4: it carries every codec our cameras
// send (MPEG-4 Part 2, H.264, H.265, Motion JPEG) and plain PCM audio as
// ordinary tracks, and a file cut off anywhere still plays up to its last
// whole cluster, because the index and the durations written at the end are
// optional. A cluster is closed and handed to the system at least once a
// second of clip time, so a killed program loses at most that second.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/libav_owners.h"
#include "recorder/frame.h"
#include "recorder/new_file.h"

namespace recorder {

struct ClipLayout {
    bool withAudio = false;
    // The pictures' interval, as the track's default duration (players and
    // ffmpeg take their frame rate from it); 0: none is written.
    double frameIntervalMs = 0;
    // The first picture's wall-clock time (ms since 1970 UTC), written as the
    // file's creation time so that a renamed clip still knows when it was
    // recorded; 0: none is written.
    int64_t startUtcMs = 0;
    std::string cameraName; // written as the file's title; empty: none
};

class ClipFile {
public:
    // Starts a clip in `file` with its first picture, which must be a key
    // picture: the stream's codec parameters (picture size, parameter sets)
    // come from it. Nothing, with the reason in `error`, when they cannot be
    // read or the muxer refuses them (the file is removed then).
    static std::unique_ptr<ClipFile> start(CreatedFile file, const Frame& firstPicture, ClipLayout layout,
                                           std::string& error);
    // Ends the clip as an orderly finish would, if finish() was not called.
    ~ClipFile();
    ClipFile(const ClipFile&) = delete;
    ClipFile& operator=(const ClipFile&) = delete;

    // Writes a picture or an audio slice (times from the clip's first
    // picture on; earlier audio is left out, as are pictures of another
    // codec). False, with the reason, when the file cannot be written.
    bool write(const Frame& frame, std::string& error);
    // Writes the index and closes the file; false when that failed.
    bool finish(std::string& error);

    const std::string& path() const { return path_; }
    MediaKind videoKind() const { return videoKind_; }
    // Bytes the file holds, with what waits in its output buffer.
    uint64_t bytesWritten() const;
    // Clip time of the latest frame written.
    int64_t durationMs() const { return lastMs_; }

private:
    ClipFile(CreatedFile file, MediaKind videoKind, int64_t originMs);
    bool open(const Frame& firstPicture, ClipLayout layout, std::string& error);
    std::string failureText(int code) const;
    bool writePacket(const Frame& frame, int streamIndex, int64_t timeMs, std::string& error);
    static int writeBytes(void* opaque, uint8_t* data, int size);
    static int64_t seekBytes(void* opaque, int64_t offset, int whence);

    FileHandle file_;
    std::string path_;
    const MediaKind videoKind_;
    const int64_t originMs_; // repaired time of the first picture
    platform::av::OutputContextPtr context_;
    platform::av::PacketPtr packet_;
    int audioIndex_ = -1;
    bool headerWritten_ = false;
    bool finished_ = false;
    int writeErrno_ = 0;
    int64_t lastMs_ = 0;
    int64_t lastFlushMs_ = 0;
};

} // namespace recorder
