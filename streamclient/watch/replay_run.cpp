#include "replay_run.h"

#include <onvif/recordings.h>
#include <onvif/replies.h>
#include <playback/camera_archive.h>
#include <playback/clip_export.h>
#include <playback/player.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "capture.h"
#include "platform/printable_text.h"
#include "platform/surface.h"
#include "recorder/capture_names.h"
#include "watch_surface.h"

namespace watch {

namespace {

constexpr int kSnapshotWaitMs = 20000;
constexpr auto kPoll = std::chrono::milliseconds(20);

std::string timeText(int64_t ms) { return onvif::formatDateTimeMs(ms); }

const char* kindName(onvif::RecordedEventKind kind) {
    switch (kind) {
    case onvif::RecordedEventKind::Motion: return "motion";
    case onvif::RecordedEventKind::Input: return "input";
    case onvif::RecordedEventKind::DataPresence: return "data";
    case onvif::RecordedEventKind::Other: break;
    }
    return "other";
}

const char* stateName(const std::optional<bool>& state) { return !state ? "-" : *state ? "on" : "off"; }

// A name the camera gave, safe on a terminal and never empty.
std::string shown(const std::string& text) { return text.empty() ? "-" : platform::printableText(text); }

int listRecordings(playback::CameraArchive& archive, const onvif::Found<onvif::Recording>& found,
                   const Options& options, std::FILE* out) {
    const int64_t from = options.fromMs.value_or(std::numeric_limits<int64_t>::min());
    const int64_t to = options.toMs.value_or(std::numeric_limits<int64_t>::max());
    int64_t oldest = std::numeric_limits<int64_t>::max();
    int64_t newest = std::numeric_limits<int64_t>::min();
    int listed = 0;
    for (const onvif::Recording& r : found.items) {
        if (r.span.toMs < from || r.span.fromMs > to) continue;
        std::fprintf(out, "recording %s %s %s %s %s\n", timeText(r.span.fromMs).c_str(), timeText(r.span.toMs).c_str(),
                     shown(r.token).c_str(), shown(r.status).c_str(), shown(r.sourceName).c_str());
        oldest = std::min(oldest, r.span.fromMs);
        newest = std::max(newest, r.span.toMs);
        ++listed;
    }
    if (!found.complete) std::fprintf(out, "recordings: the list is not complete: %s\n", shown(found.error).c_str());
    if (listed == 0) {
        std::fprintf(out, "no recording%s\n", options.fromMs || options.toMs ? " in the span" : "");
        std::fflush(out);
        return found.complete ? 0 : 1;
    }
    const onvif::Found<onvif::RecordedEvent> events = archive.events(std::max(from, oldest), std::min(to, newest));
    for (const onvif::RecordedEvent& e : events.items) {
        std::fprintf(out, "event %s %s %s %s %s\n", timeText(e.timeMs).c_str(), kindName(e.kind), stateName(e.state),
                     shown(e.recordingToken).c_str(), shown(e.topic).c_str());
    }
    if (!events.complete) std::fprintf(out, "events: the list is not complete: %s\n", shown(events.error).c_str());
    std::fflush(out);
    return found.complete && events.complete ? 0 : 1;
}

bool isFolder(const std::string& path) {
    std::error_code ignored;
    return (!path.empty() && path.back() == '/') || std::filesystem::is_directory(path, ignored);
}

int exportSpan(const playback::CameraArchive& archive, const Options& options, std::FILE* out,
               const volatile std::sig_atomic_t& interrupted) {
    const int64_t from = *options.replayMs;
    const int64_t to = from + static_cast<int64_t>(options.seconds) * 1000;
    std::string path = options.recordPath;
    if (isFolder(path)) {
        const auto at = std::chrono::system_clock::time_point(std::chrono::milliseconds(from));
        path = (std::filesystem::path(path) / recorder::captureFileName(options.cameraName, at, "mkv")).string();
    }
    std::atomic<bool> cancel{false};
    playback::ExportOptions exportOptions;
    exportOptions.cameraName = options.cameraName;
    exportOptions.cancel = &cancel;
    playback::ExportResult result;
    std::atomic<bool> done{false};
    std::thread exporter([&] {
        result = playback::exportCameraRecording(archive.replay(), {from, to}, path, exportOptions);
        done.store(true);
    });
    while (!done.load()) {
        if (interrupted != 0) cancel.store(true);
        std::this_thread::sleep_for(kPoll);
    }
    exporter.join();
    if (result.pictures > 0) {
        std::fprintf(out, "exported %llu pictures (%.1f MB) %s to %s in %s\n",
                     static_cast<unsigned long long>(result.pictures), static_cast<double>(result.bytes) / (1 << 20),
                     timeText(result.firstMs).c_str(), timeText(result.lastMs).c_str(), result.path.c_str());
    }
    if (!result.ok) std::fprintf(out, "no export: %s\n", shown(result.reason).c_str());
    std::fflush(out);
    return result.ok ? 0 : 1;
}

// The first picture a player shows, or why it showed none.
class FirstPicture {
public:
    playback::PlayerCallbacks callbacks() {
        playback::PlayerCallbacks c;
        c.picture = [this](const playback::PictureShown& p) {
            std::lock_guard lock(mutex_);
            if (!picture_) picture_ = p;
            changed_.notify_all();
        };
        c.status = [this](const playback::PlayerStatus& s) {
            std::lock_guard lock(mutex_);
            if (s.mode == playback::PlayerMode::Failed || s.mode == playback::PlayerMode::Ended) reason_ = s.reason;
            changed_.notify_all();
        };
        return c;
    }
    std::optional<playback::PictureShown> await(const volatile std::sig_atomic_t& interrupted, std::string& why) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSnapshotWaitMs);
        std::unique_lock lock(mutex_);
        while (!picture_ && reason_.empty() && interrupted == 0 && std::chrono::steady_clock::now() < end)
            changed_.wait_for(lock, kPoll);
        why = !reason_.empty() ? reason_ : interrupted != 0 ? "interrupted" : "no picture came";
        return picture_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<playback::PictureShown> picture_;
    std::string reason_;
};

int snapshotAt(const playback::CameraArchive& archive, const Options& options, std::FILE* out,
               const volatile std::sig_atomic_t& interrupted) {
    auto surface = std::make_shared<WatchSurface>(true);
    const uint32_t handle = platform::SurfaceRegistry::add(surface);
    FirstPicture first;
    playback::PlayerOutput output;
    output.surface = handle;
    output.callbacks = first.callbacks();
    std::string why;
    std::optional<playback::PictureShown> shownPicture;
    {
        const std::unique_ptr<playback::Player> player =
            playback::openCameraReplay(archive.replay(), output, *options.replayMs);
        shownPicture = first.await(interrupted, why);
    } // the player ends before its surface goes
    platform::SurfaceRegistry::remove(handle);
    std::chrono::system_clock::time_point drawnAt;
    const std::optional<std::vector<uint8_t>> jpeg = shownPicture ? surface->latestJpeg(drawnAt, why) : std::nullopt;
    const auto taken =
        shownPicture ? std::chrono::system_clock::time_point(std::chrono::milliseconds(shownPicture->timeMs)) : drawnAt;
    const std::optional<std::string> path = jpeg ? saveJpeg(*jpeg, taken, options, why) : std::nullopt;
    if (!path) {
        std::fprintf(out, "no snapshot: %s\n", shown(why).c_str());
        std::fflush(out);
        return 1;
    }
    std::fprintf(out, "snapshot %dx%d of %s in %s\n", shownPicture->width, shownPicture->height,
                 timeText(shownPicture->timeMs).c_str(), path->c_str());
    std::fflush(out);
    return 0;
}

} // namespace

int runReplay(const Options& options, std::FILE* out, const volatile std::sig_atomic_t& interrupted) {
    playback::ArchiveCamera camera;
    camera.host = options.config.cameraAddress;
    camera.port = options.config.httpPort;
    camera.user = options.config.userName;
    camera.password = options.config.password;
    playback::CameraArchive archive(camera);
    if (!archive.connect()) {
        std::fprintf(out, "no recordings: %s\n", shown(archive.reason()).c_str());
        return 1;
    }
    if (!archive.replayOffered()) {
        std::fprintf(out, "no recordings: %s\n", shown(archive.reason()).c_str());
        return 3;
    }
    const onvif::Found<onvif::Recording> found = archive.recordings();
    if (options.listRecordings) return listRecordings(archive, found, options, out);
    if (found.items.empty()) {
        std::fprintf(out, "no recordings: %s\n", found.complete ? "the camera holds none" : shown(found.error).c_str());
        return 1;
    }
    if (!options.recordPath.empty()) return exportSpan(archive, options, out, interrupted);
    return snapshotAt(archive, options, out, interrupted);
}

} // namespace watch
