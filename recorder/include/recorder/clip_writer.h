// Writes clips on a thread of its own, so that the thread receiving a
// camera's stream never waits for the disk. Frames queue up to a bound in
// bytes; when the disk is slower than the camera the queue fills and push()
// refuses, and the caller leaves pictures out up to the next key picture
// (the clip keeps playing, with a gap, and says so once).
//
// A clip rolls over to a new file at the next key picture once its file
// reached the size or length limit, or when the camera changes its codec.
// When the free space of the clip's folder falls below its limit, or a write
// fails, the writer finishes the file (playable), stops and says why in one
// line; frames after that are refused until the next clip.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "platform/clock.h"
#include "recorder/frame.h"

namespace recorder {

class ClipFile;

struct ClipLimits {
    uint64_t maxFileBytes = uint64_t{1} << 30;
    int64_t maxFileMs = 30 * 60 * 1000;
    uint64_t minFreeBytes = uint64_t{500} << 20;
    std::size_t queueBytes = std::size_t{64} << 20;
};

// The path of a clip's next file, from the wall-clock time of its first
// picture and the file's number in the clip (1, 2, ...). The writer never
// replaces a file: a name that is taken gets a suffix.
using ClipNaming = std::function<std::string(std::chrono::system_clock::time_point firstPicture, int fileNumber)>;
// One line for the user, from the writer's thread.
using Notice = std::function<void(const std::string&)>;
// Bytes free for this user in the folder of `path`; nothing when unknown.
using FreeSpace = std::function<std::optional<uint64_t>(const std::string& path)>;

std::optional<uint64_t> freeSpaceOf(const std::string& path);

struct ClipWriterSettings {
    ClipLimits limits;
    ClipNaming naming;
    std::string cameraName; // kept in each file beside its start time
    Notice notice;
    FreeSpace freeSpace = freeSpaceOf;
    const platform::Clock* clock = nullptr; // the frames' arrival clock; null: the system's
};

class ClipWriter {
public:
    struct Status {
        bool writing = false; // a file is open
        std::string currentFile;
        std::vector<std::string> finishedFiles;
        uint64_t framesWritten = 0;
        std::string stopReason; // why the writer stopped, empty while it may write
    };

    explicit ClipWriter(ClipWriterSettings settings);
    // Writes every frame still queued, finishes the file and joins the thread.
    ~ClipWriter();
    ClipWriter(const ClipWriter&) = delete;
    ClipWriter& operator=(const ClipWriter&) = delete;

    // Starts a clip; the file opens at its first key picture. withAudio
    // gives it an audio track.
    void beginClip(bool withAudio);
    // Queues a frame of the clip; false when the queue is full or the writer
    // stopped (the frame is dropped).
    bool push(Frame frame);
    // Ends the clip: its file is finished once the frames before are written.
    void endClip();

    // True once the writer stopped for lack of space or a failed write.
    bool stopped() const { return stopped_.load(); }
    Status status() const;
    // Waits (up to timeoutMs of real time) until everything queued so far is
    // written; for tests and the headless recorder.
    bool waitUntilIdle(int timeoutMs) const;

private:
    struct Begin {
        bool withAudio = false;
    };
    struct End {};
    using Item = std::variant<Begin, Frame, End>;

    void run();
    void handle(Item& item);
    void write(Frame& frame);
    void writePending();
    void writeToFile(const Frame& frame);
    bool openFile(const Frame& first);
    void finishFile();
    bool closeFile(std::string& error);
    void stop(const std::string& reason);
    bool enoughSpace(const std::string& path);

    const ClipWriterSettings settings_;
    const platform::Clock& clock_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    mutable std::condition_variable idle_;
    std::deque<Item> queue_;
    std::size_t queuedBytes_ = 0;
    bool busy_ = false;
    bool quit_ = false;
    std::atomic<bool> stopped_{false};
    Status status_;

    // Writer thread only.
    std::unique_ptr<ClipFile> file_;
    bool inClip_ = false;
    bool withAudio_ = false;
    bool audioDecided_ = false;  // the clip's first file opened
    std::vector<Frame> pending_; // the first frames of a file not yet open
    struct Picture {
        int64_t timeMs = 0;
        double frameIntervalMs = 0;
        bool measured = false;
    };
    Picture latestPicture_;
    int fileNumber_ = 0;
    uint64_t bytesAtSpaceCheck_ = 0;

    std::thread thread_; // last: starts once everything above exists
};

} // namespace recorder
