#include "recorder/clip_writer.h"

#include <filesystem>
#include <sys/statvfs.h>

#include "recorder/clip_file.h"
#include "recorder/new_file.h"

namespace recorder {

namespace {

// How often, in bytes written, the free space is looked at again.
constexpr uint64_t kSpaceCheckBytes = uint64_t{16} << 20;
// How long a new file waits for the camera's first audio.
constexpr int64_t kAudioWaitMs = 1000;
// How long it waits for the pictures' interval to be measured.
constexpr int64_t kIntervalWaitMs = 3000;

std::string megabytes(uint64_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

std::string folderOf(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

} // namespace

std::optional<uint64_t> freeSpaceOf(const std::string& path) {
    struct statvfs info {};
    if (statvfs(folderOf(path).c_str(), &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

ClipWriter::ClipWriter(ClipWriterSettings settings)
    : settings_(std::move(settings)),
      clock_(settings_.clock != nullptr ? *settings_.clock : platform::SystemClock::instance()),
      thread_([this] { run(); }) {}

ClipWriter::~ClipWriter() {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(End{});
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ClipWriter::beginClip(bool withAudio) {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(Begin{withAudio});
        stopped_.store(false);
        status_.stopReason.clear();
    }
    wake_.notify_one();
}

bool ClipWriter::push(Frame frame) {
    {
        std::lock_guard lock(mutex_);
        const std::size_t cost = memoryCost(frame);
        if (stopped_.load() || queuedBytes_ + cost > settings_.limits.queueBytes) return false;
        queuedBytes_ += cost;
        queue_.emplace_back(std::move(frame));
    }
    wake_.notify_one();
    return true;
}

void ClipWriter::endClip() {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(End{});
    }
    wake_.notify_one();
}

ClipWriter::Status ClipWriter::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

bool ClipWriter::waitUntilIdle(int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return queue_.empty() && !busy_; });
}

void ClipWriter::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return !queue_.empty() || quit_; });
        if (queue_.empty()) break;
        Item item = std::move(queue_.front());
        queue_.pop_front();
        if (const Frame* frame = std::get_if<Frame>(&item)) queuedBytes_ -= memoryCost(*frame);
        busy_ = true;
        lock.unlock();
        handle(item);
        lock.lock();
        busy_ = false;
        if (queue_.empty()) {
            idle_.notify_all();
            if (quit_) break;
        }
    }
}

void ClipWriter::handle(Item& item) {
    if (const Begin* begin = std::get_if<Begin>(&item)) {
        finishFile();
        inClip_ = true;
        withAudio_ = begin->withAudio;
        audioDecided_ = false;
        fileNumber_ = 0;
    } else if (Frame* frame = std::get_if<Frame>(&item)) {
        if (inClip_) write(*frame);
    } else {
        finishFile();
        inClip_ = false;
    }
}

void ClipWriter::write(Frame& frame) {
    const bool key = isVideo(frame.kind) && frame.key;
    if (isVideo(frame.kind)) latestPicture_ = {frame.timeMs, frame.frameIntervalMs, frame.intervalMeasured};
    if (file_ && key) {
        const ClipLimits& limits = settings_.limits;
        if (file_->bytesWritten() >= limits.maxFileBytes || file_->durationMs() >= limits.maxFileMs ||
            frame.kind != file_->videoKind())
            finishFile();
    }
    if (file_) {
        writeToFile(frame);
        return;
    }
    // A clip's first file opens at a key picture once it is known whether
    // the camera sends audio (up to a second of pictures waits for it) and
    // the pictures' interval was measured (up to three seconds).
    if (!isVideo(frame.kind)) withAudio_ = true;
    if (pending_.empty() && !key) return;
    pending_.push_back(std::move(frame));
    const int64_t waited = latestPicture_.timeMs - pending_.front().timeMs;
    const bool audioKnown = audioDecided_ || withAudio_ || waited >= kAudioWaitMs;
    if (audioKnown && (latestPicture_.measured || waited >= kIntervalWaitMs)) writePending();
}

void ClipWriter::writePending() {
    if (pending_.empty()) return;
    std::vector<Frame> frames = std::move(pending_);
    pending_.clear();
    if (!openFile(frames.front())) return;
    audioDecided_ = true;
    {
        std::lock_guard lock(mutex_);
        ++status_.framesWritten;
    }
    // The rest as any later frame, so that a file may roll over among them.
    for (std::size_t i = 1; i < frames.size() && inClip_; ++i) write(frames[i]);
}

void ClipWriter::writeToFile(const Frame& frame) {
    std::string error;
    if (!file_->write(frame, error)) {
        stop("recording stopped: " + error);
        return;
    }
    if (file_->bytesWritten() - bytesAtSpaceCheck_ >= kSpaceCheckBytes) {
        bytesAtSpaceCheck_ = file_->bytesWritten();
        if (!enoughSpace(file_->path())) return;
    }
    std::lock_guard lock(mutex_);
    ++status_.framesWritten;
}

bool ClipWriter::enoughSpace(const std::string& path) {
    const std::optional<uint64_t> free = settings_.freeSpace ? settings_.freeSpace(path) : std::nullopt;
    if (!free || *free >= settings_.limits.minFreeBytes) return true;
    stop("recording stopped: only " + megabytes(*free) + " free in " + folderOf(path) + " (" +
         megabytes(settings_.limits.minFreeBytes) + " are kept free)");
    return false;
}

bool ClipWriter::openFile(const Frame& first) {
    // The wall-clock time of the picture, from how long ago it arrived.
    const auto age = std::chrono::milliseconds(clock_.nowMs() - first.arrivalMs);
    const auto taken = std::chrono::system_clock::now() - age;
    const std::string wanted = settings_.naming(taken, fileNumber_ + 1);
    if (!enoughSpace(wanted)) return false;
    std::string error;
    std::optional<CreatedFile> created = createNewFile(wanted, error);
    if (!created) {
        stop("recording stopped: " + error);
        return false;
    }
    // Pictures placed before the interval was measured lie further apart
    // than the measured one, so the file takes the latest.
    ClipLayout layout;
    layout.withAudio = withAudio_;
    layout.frameIntervalMs = latestPicture_.frameIntervalMs;
    layout.startUtcMs = std::chrono::duration_cast<std::chrono::milliseconds>(taken.time_since_epoch()).count();
    layout.cameraName = settings_.cameraName;
    file_ = ClipFile::start(std::move(*created), first, layout, error);
    if (!file_) {
        stop("recording stopped: " + error);
        return false;
    }
    ++fileNumber_;
    bytesAtSpaceCheck_ = 0;
    std::lock_guard lock(mutex_);
    status_.writing = true;
    status_.currentFile = file_->path();
    return true;
}

void ClipWriter::finishFile() {
    // A clip that ends before its audio was decided is written as it is.
    writePending();
    std::string error;
    if (!closeFile(error)) stop("recording stopped: " + error);
}

bool ClipWriter::closeFile(std::string& error) {
    if (!file_) return true;
    const bool ok = file_->finish(error);
    const std::string path = file_->path();
    file_.reset();
    std::lock_guard lock(mutex_);
    status_.writing = false;
    status_.currentFile.clear();
    status_.finishedFiles.push_back(path);
    return ok;
}

void ClipWriter::stop(const std::string& reason) {
    // The reason given is the first failure; a second one while closing
    // the file adds nothing the user can act on.
    std::string ignored;
    closeFile(ignored);
    pending_.clear();
    inClip_ = false;
    {
        std::lock_guard lock(mutex_);
        if (stopped_.exchange(true)) return;
        status_.stopReason = reason;
    }
    if (settings_.notice) settings_.notice(reason);
}

} // namespace recorder
