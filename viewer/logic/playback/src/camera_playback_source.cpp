#include "tavolin/camera_playback_source.h"

#include <playback/camera_archive.h>
#include <playback/camera_replay.h>
#include <playback/clip_index.h>
#include <recorder/capture_names.h>
#include <recorder/capture_settings.h>
#include <transport/streaming_types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tavolin {

namespace {

class CameraPlaybackSource final : public PlaybackSource {
public:
    // How long a search waits for the clip index's first look at the folder.
    static constexpr auto kClipIndexWait = std::chrono::seconds(3);

    CameraPlaybackSource(playback::ArchiveCamera camera, bool onvif, std::string cameraName, std::string clipFolder)
        : archive_(std::move(camera)), onvif_(onvif), cameraName_(std::move(cameraName)), clipFolder_(clipFolder) {
        if (!clipFolder.empty())
            clipIndex_ = std::make_unique<playback::ClipIndex>(playback::ClipIndexSettings{clipFolder});
    }

    PlaybackOffer check() override {
        if (!onvif_) return {false, "Only ONVIF cameras offer their recordings"};
        if (!archive_.connect()) return {false, archive_.reason()};
        if (!archive_.replayOffered()) return {false, archive_.reason()};
        return {true, {}};
    }

    PlaybackDay searchDay(int64_t fromMs, int64_t toMs) override {
        PlaybackDay day;
        const auto recordings = archive_.recordings();
        for (const onvif::Recording& r : recordings.items) {
            if (r.span.toMs <= fromMs || r.span.fromMs >= toMs) continue;
            day.recordings.push_back({r.span.fromMs, r.span.toMs, SpanKind::Recording});
        }
        if (!recordings.complete) day.incomplete = recordings.error;
        const auto events = archive_.events(fromMs, toMs);
        day.events = timelineEvents(events.items);
        if (!events.complete && day.incomplete.empty()) day.incomplete = events.error;
        day.clips = searchClips(fromMs, toMs);
        return day;
    }

    void cancel() override {
        cancelled_ = true;
        archive_.cancel();
    }

    std::unique_ptr<playback::Player> openPlayer(int64_t startMs, SpanKind kind, const playback::PlayerOutput& output,
                                                 bool play) override {
        if (kind == SpanKind::Clip) {
            if (const std::optional<std::string> clip = clipHolding(startMs))
                return playback::openClip(*clip, output, startMs, play);
        }
        return playback::openCameraReplay(archive_.replay(), output, startMs, play);
    }

    playback::ExportResult exportSpan(const playback::ExportSpan& span, SpanKind kind,
                                      const playback::ExportOptions& options) override {
        playback::ExportResult failed;
        if (clipFolder_.empty()) {
            failed.reason = "No capture folder is set";
            return failed;
        }
        if (!recorder::prepareCaptureFolder(clipFolder_, failed.reason)) return failed;
        const std::chrono::system_clock::time_point start{std::chrono::milliseconds(span.fromMs)};
        const std::string path =
            (std::filesystem::path(clipFolder_) / recorder::captureFileName(cameraName_, start, "mkv")).string();
        playback::ExportOptions named = options;
        named.cameraName = cameraName_;
        if (kind == SpanKind::Clip) {
            if (const std::optional<std::string> clip = clipHolding(span.fromMs))
                return playback::exportClip(*clip, span, path, named);
        }
        return playback::exportCameraRecording(archive_.replay(), span, path, named);
    }

private:
    std::optional<std::string> clipHolding(int64_t timeMs) {
        std::lock_guard lock(clipsLock_);
        for (const playback::ClipEntry& clip : clips_) {
            if (timeMs >= clip.startMs && timeMs < clip.endMs) return clip.path;
        }
        return std::nullopt;
    }

    std::vector<TimelineSpan> searchClips(int64_t fromMs, int64_t toMs) {
        if (!clipIndex_) return {};
        cancelled_ = false;
        const auto giveUp = std::chrono::steady_clock::now() + kClipIndexWait;
        while (!clipIndex_->ready() && !cancelled_ && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::vector<playback::ClipEntry> clips = clipIndex_->clips(cameraName_, fromMs, toMs);
        std::vector<TimelineSpan> spans;
        for (const playback::ClipEntry& clip : clips) spans.push_back({clip.startMs, clip.endMs, SpanKind::Clip});
        std::lock_guard lock(clipsLock_);
        clips_ = std::move(clips);
        return spans;
    }

    playback::CameraArchive archive_;
    const bool onvif_;
    const std::string cameraName_;
    const std::string clipFolder_;
    std::unique_ptr<playback::ClipIndex> clipIndex_;
    std::atomic<bool> cancelled_{false};
    std::mutex clipsLock_; // the search's thread writes, the GUI thread's openPlayer reads
    std::vector<playback::ClipEntry> clips_;
};

MarkKind markOf(onvif::RecordedEventKind kind) {
    switch (kind) {
    case onvif::RecordedEventKind::Motion: return MarkKind::Motion;
    case onvif::RecordedEventKind::Input: return MarkKind::Input;
    default: return MarkKind::Other;
    }
}

} // namespace

std::vector<TimelineEvent> timelineEvents(const std::vector<onvif::RecordedEvent>& events) {
    std::vector<TimelineEvent> marks;
    marks.reserve(events.size());
    for (const onvif::RecordedEvent& e : events) {
        if (e.startState || e.kind == onvif::RecordedEventKind::DataPresence) continue;
        if (e.state && !*e.state) continue;
        marks.push_back({e.timeMs, markOf(e.kind)});
    }
    return marks;
}

std::unique_ptr<PlaybackSource> cameraPlaybackSource(const CameraRecord& record, const std::string& clipFolder) {
    playback::ArchiveCamera camera;
    camera.host = std::string(textOf(record.host));
    camera.port = record.httpPort == 0 ? 80 : static_cast<int>(record.httpPort);
    camera.user = std::string(textOf(record.userName));
    camera.password = std::string(textOf(record.password));
    return std::make_unique<CameraPlaybackSource>(std::move(camera),
                                                  record.streamingType == transport::kOnvifStreamingType,
                                                  std::string(textOf(record.name)), clipFolder);
}

} // namespace tavolin
