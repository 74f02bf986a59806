#include "tavolin/camera_playback_source.h"

#include <playback/camera_archive.h>
#include <playback/camera_replay.h>
#include <transport/streaming_types.h>

#include <string>

namespace tavolin {

namespace {

class CameraPlaybackSource final : public PlaybackSource {
public:
    CameraPlaybackSource(playback::ArchiveCamera camera, bool onvif) : archive_(std::move(camera)), onvif_(onvif) {}

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
        return day;
    }

    void cancel() override { archive_.cancel(); }

    std::unique_ptr<playback::Player> openPlayer(int64_t startMs, const playback::PlayerOutput& output,
                                                 bool play) override {
        return playback::openCameraReplay(archive_.replay(), output, startMs, play);
    }

private:
    playback::CameraArchive archive_;
    const bool onvif_;
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

std::unique_ptr<PlaybackSource> cameraPlaybackSource(const CameraRecord& record) {
    playback::ArchiveCamera camera;
    camera.host = std::string(textOf(record.host));
    camera.port = record.httpPort == 0 ? 80 : static_cast<int>(record.httpPort);
    camera.user = std::string(textOf(record.userName));
    camera.password = std::string(textOf(record.password));
    return std::make_unique<CameraPlaybackSource>(std::move(camera),
                                                  record.streamingType == transport::kOnvifStreamingType);
}

} // namespace tavolin
